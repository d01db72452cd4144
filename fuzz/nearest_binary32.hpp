// The binary32 value nearest to a decimal number, worked out with exact
// integer arithmetic: an oracle that shares nothing with the C library's
// conversions, which the program itself uses.
#pragma once

#include <cstdint>
#include <string_view>

namespace wexla::fuzz {

// The bits of the binary32 nearest to digits × 10^scale, ties to even, with
// the sign bit set when `negative`. `digits` holds decimal digits only (an
// empty string is zero). Values at or beyond the largest finite value's
// rounding limit give infinity; values at or below half the smallest
// subnormal give zero.
std::uint32_t nearest_binary32(std::string_view digits, long long scale, bool negative);

}  // namespace wexla::fuzz
