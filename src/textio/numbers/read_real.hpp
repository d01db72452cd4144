// The real number input field: a field of characters is checked, rewritten
// into a canonical decimal text and converted to single precision.
#pragma once

#include <string_view>

namespace wexla {

// Reads one field with d implied decimals into `target`. Returns false when
// the field is refused; `target` is then unchanged.
bool read_real_field(std::string_view field, int d, float& target);

// Converts a canonical text (optional "-", digits with at most one ".",
// optional "e" exponent) to the nearest single-precision value, rounding to
// nearest even whatever rounding mode the caller has set.
void convert_real(const char* canonical, float& target);

// Stores the infinity or NaN that a canonical text names: "inf", "infinity"
// or "nan...", each with an optional leading "-".
void convert_infnan(std::string_view canonical, float& target);

}  // namespace wexla
