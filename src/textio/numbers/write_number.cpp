// Number output fields. The digits of a real always come from its exact
// binary value rounded once, to nearest with ties to even: the magnitude is
// widened to double (exact) and converted by snprintf, which rounds the exact
// value correctly on the target platforms.
#include "textio/numbers/write_number.hpp"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "textio/text/characters.hpp"

namespace wexla {
namespace {

void fill_asterisks(char* out, int w) {
  if (w > 0) std::memset(out, '*', static_cast<std::size_t>(w));
}

// Copies text and moves past it; an empty view may have no data pointer.
void put(char*& p, std::string_view text) {
  if (text.empty()) return;
  std::memcpy(p, text.data(), text.size());
  p += text.size();
}

// Room for a sign, the 39 integer digits of the largest float, the point,
// up to 256 decimals or digits, an exponent of up to five characters and the
// terminator.
constexpr std::size_t kDigitBuffer = 320;

struct RoundedDigits {
  char text[kDigitBuffer];
  std::string_view integer;   // fixed form: integer digits, none below 1
  std::string_view fraction;  // fixed form: the q decimals; exponent form: the d digits
  int exponent = 0;           // exponent form: X of D1.D2...Dd * 10^X
};

// m rounded to q decimals ("%+-#.*f"): the integer digits without leading
// zeros, then the decimals.
bool round_to_decimals(double m, int q, RoundedDigits& r) {
  const int n = std::snprintf(r.text, sizeof r.text, "%+-#.*f", q, m);
  if (n < 2 || static_cast<std::size_t>(n) >= sizeof r.text) return false;
  const char* const end = r.text + n;
  const char* p = r.text + 1;  // past the sign
  while (p < end && *p == '0') ++p;
  const char* const integer = p;
  while (p < end && is_digit(*p)) ++p;
  r.integer = std::string_view(integer, static_cast<std::size_t>(p - integer));
  while (p < end && !is_digit(*p)) ++p;  // the decimal mark
  r.fraction = std::string_view(p, static_cast<std::size_t>(end - p));
  return r.fraction.size() == static_cast<std::size_t>(q);
}

// m (above zero) rounded to d significant digits ("%+-#.*e"), d >= 1. X is
// read back from the text, so a rounding that carries into the next decade
// gives the exponent of the rounded value.
bool round_to_digits(double m, int d, RoundedDigits& r) {
  char text[kDigitBuffer];
  const int n = std::snprintf(text, sizeof text, "%+-#.*e", d - 1, m);
  if (n < 4 || static_cast<std::size_t>(n) >= sizeof text) return false;
  const char* const e = std::strrchr(text, 'e');
  if (e == nullptr) return false;
  std::size_t count = 0;
  for (const char* p = text + 1; p < e; ++p) {
    if (is_digit(*p)) r.text[count++] = *p;
  }
  r.integer = {};
  r.fraction = std::string_view(r.text, count);
  const char* p = e + 1;
  const bool minus = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  int x = 0;
  for (; is_digit(*p); ++p) x = x * 10 + (*p - '0');
  r.exponent = minus ? -x : x;
  return count == static_cast<std::size_t>(d);
}

}  // namespace

void write_decimal(char* out, int w, int min_digits, std::int32_t value) {
  if (w <= 0) return;
  const bool negative = value < 0;
  // Unsigned negation, so that the most negative value has a magnitude.
  std::uint32_t magnitude =
      negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  char digits[10];
  int count = 0;
  do {
    digits[9 - count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  const int zeros = min_digits > count ? min_digits - count : 0;
  const int blanks = w - ((negative ? 1 : 0) + zeros + count);
  if (blanks < 0) {
    fill_asterisks(out, w);
    return;
  }
  char* p = out;
  std::memset(p, ' ', static_cast<std::size_t>(blanks));
  p += blanks;
  if (negative) *p++ = '-';
  std::memset(p, '0', static_cast<std::size_t>(zeros));
  p += zeros;
  std::memcpy(p, digits + 10 - count, static_cast<std::size_t>(count));
}

void build_infnan_string(char* out, int w, bool is_nan, bool negative) {
  if (w <= 0) return;
  std::string_view text;
  if (is_nan) {
    text = "NaN";
  } else if (!negative) {
    text = w > 7 ? "Infinity" : "Inf";
  } else if (w > 8) {
    text = "-Infinity";
  } else if (w >= 4) {
    text = "-Inf";
  }
  if (w < 3 || text.empty()) {
    fill_asterisks(out, w);
    return;
  }
  const std::size_t blanks = static_cast<std::size_t>(w) - text.size();
  std::memset(out, ' ', blanks);
  std::memcpy(out + blanks, text.data(), text.size());
}

void build_float_string(char* out, int w, bool negative, std::string_view integer_digits,
                        std::string_view fraction_digits, std::string_view tail) {
  if (w <= 0) return;
  std::ptrdiff_t blanks = static_cast<std::ptrdiff_t>(w) -
                          static_cast<std::ptrdiff_t>(tail.size() + integer_digits.size() + 1 +
                                                      fraction_digits.size()) -
                          (negative ? 1 : 0);
  if (blanks < 0) {
    fill_asterisks(out, w);
    return;
  }
  const bool leading_zero = integer_digits.empty() && blanks > 0;
  if (leading_zero) --blanks;
  char* p = out;
  std::memset(p, ' ', static_cast<std::size_t>(blanks));
  p += blanks;
  if (negative) *p++ = '-';
  if (leading_zero) *p++ = '0';
  put(p, integer_digits);
  *p++ = '.';
  put(p, fraction_digits);
  put(p, tail);
}

GeneralLimits general_limits(int d) {
  d = std::clamp(d, 0, kNumberFieldLimit);
  // From d = 38 on 0.5 / P underflows, from d = 39 on 10^d overflows. The
  // run's exception flags are reported when it stops, so a field must not
  // leave flags of its own behind.
  std::fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
  GeneralLimits limits{};
  float power = 1.0f;
  for (int i = 0; i < d; ++i) power = power * 10.0f;
  limits.power = power;
  limits.scale = 1.0f - 0.5f / power;
  limits.lower = static_cast<float>(static_cast<double>(limits.scale) * 0.1);
  limits.decade[0] = limits.scale;
  float ten_k = 1.0f;
  for (int k = 1; k <= d; ++k) {
    ten_k = ten_k * 10.0f;
    limits.decade[k] = ten_k * limits.scale;
  }
  std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
  return limits;
}

void get_float_string(char* out, int w, int d, float value) {
  if (w <= 0) return;
  if (std::isnan(value) || std::isinf(value)) {
    build_infnan_string(out, w, std::isnan(value), std::signbit(value));
    return;
  }
  if (d < 0 || d > kNumberFieldLimit) {
    fill_asterisks(out, w);
    return;
  }
  const bool negative = std::signbit(value);
  const float m = std::fabs(value);
  const GeneralLimits limits = general_limits(d);
  const bool exponent_form = m > 0.0f && (m < limits.lower || limits.power - m <= 0.5f);
  RoundedDigits r;

  if (!exponent_form) {
    int q = 0;
    if (m == 0.0f) {
      q = d > 0 ? d - 1 : 0;  // for d = 0, no decimals, as for every fixed value of Gw.0
    } else {
      // A value equal to T(k) belongs to the next decade. One that reaches
      // T(d) and still has the fixed form (T(d) below P - 0.5 for some d)
      // keeps no decimals.
      int k = 0;
      while (k < d && !(m < limits.decade[k])) ++k;
      q = d - k;
    }
    if (!round_to_decimals(static_cast<double>(m), q, r)) {
      fill_asterisks(out, w);
      return;
    }
    build_float_string(out, w, negative, r.integer, r.fraction, "    ");
    return;
  }

  // With no significant digits the exponent form cannot be written.
  if (d == 0 || !round_to_digits(static_cast<double>(m), d, r)) {
    fill_asterisks(out, w);
    return;
  }
  const int e = r.exponent + 1;  // 0.D1D2...Dd * 10^E
  if (e > 999 || e < -999) {
    fill_asterisks(out, w);
    return;
  }
  char exponent[8] = {'E'};
  const int n = std::snprintf(exponent + 1, sizeof exponent - 1, "%+0*d", 3, e);
  if (n < 3) {
    fill_asterisks(out, w);
    return;
  }
  // Two exponent digits follow "E"; three take the place of the "E".
  const std::string_view tail =
      n == 3 ? std::string_view(exponent, 4) : std::string_view(exponent + 1, 4);
  build_float_string(out, w, negative, r.integer, r.fraction, tail);
}

void get_fixed_string(char* out, int w, int d, float value) {
  if (w <= 0) return;
  if (std::isnan(value) || std::isinf(value)) {
    build_infnan_string(out, w, std::isnan(value), std::signbit(value));
    return;
  }
  RoundedDigits r;
  if (d < 0 || d > kNumberFieldLimit ||
      !round_to_decimals(static_cast<double>(std::fabs(value)), d, r)) {
    fill_asterisks(out, w);
    return;
  }
  build_float_string(out, w, std::signbit(value), r.integer, r.fraction, {});
}

}  // namespace wexla
