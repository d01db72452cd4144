// Number output fields: the exact characters of Iw, Iw.m, Gw.d and Fw.d
// fields. Each function writes exactly w characters to `out` (no
// terminator); a value that does not fit gives w asterisks.
#pragma once

#include <cstdint>
#include <string_view>

#include "textio/numbers/number_field.hpp"

namespace wexla {

// Iw (min_digits < 0) or Iw.m, 1 <= w <= 256, 0 <= m <= 256.
void write_decimal(char* out, int w, int min_digits, std::int32_t value);

// Gw.d on a single-precision value, 1 <= w <= 256, 0 <= d <= 256.
void get_float_string(char* out, int w, int d, float value);

// Fw.d on a single-precision value: fixed form with d decimals, no trailing
// blanks. The program's formats never write one; it exists so that every
// item the notation allows has an output meaning.
void get_fixed_string(char* out, int w, int d, float value);

// The field of an infinity or a NaN.
void build_infnan_string(char* out, int w, bool is_nan, bool negative);

// Lays out a finite real field of width w: blanks, "-" when negative, a "0"
// when there are no integer digits and a position is left for it, the
// integer digits, ".", the fraction digits, then `tail` (the exponent text,
// or the fixed form's four blanks). w asterisks when it does not fit.
void build_float_string(char* out, int w, bool negative, std::string_view integer_digits,
                        std::string_view fraction_digits, std::string_view tail);

// The limits that choose between fixed and exponent form for Gw.d,
// computed in single precision as the field itself computes them.
struct GeneralLimits {
  float power;                          // P = 10^d
  float scale;                          // R = 1 - 0.5 / P
  float lower;                          // L = R * 0.1, the product taken in double precision
  float decade[kNumberFieldLimit + 1];  // T(0) .. T(d)
};
// d is taken into 0..256; the entries of `decade` past T(d) are zero.
GeneralLimits general_limits(int d);

}  // namespace wexla
