// A single-precision value as the shortest decimal text that reads back
// (with strtof, rounding to nearest) to exactly the same value, for the
// run's documents.
#pragma once

#include <string>

namespace wexla {

// For a finite value: the fewest significant digits that read back to the
// same bits (negative zero keeps its sign), written plainly ("1432.87",
// "0.001", "5") when the decimal exponent lies from -4 to 15, and otherwise
// with one digit before the point and an exponent ("1e30", "1.5e-7").
// Not for infinities and NaNs, which have no such text.
std::string shortest_real_text(float value);

// A finite real as the documents write it: the shortest text, but negative
// zero as "-0.0", since readers take "-0" for the integer 0 and lose the
// sign (Python's json, R's jsonlite).
std::string document_real_text(float value);

}  // namespace wexla
