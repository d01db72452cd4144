// Test-only exact reference for the form limits of a general field: P, R, L
// and T(0..d), each single-precision (and the one double-precision) step
// carried out on integer mantissas and rounded to nearest with ties to even
// by hand, so that no floating-point operation of the machine takes part.
// Values are held as IEEE single-precision bit patterns.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

namespace wexla::exact {

inline constexpr std::uint32_t kInfinityBits = 0x7F800000u;

// A finite non-negative single-precision value as mantissa * 2^exponent.
struct Binary {
  std::uint64_t mantissa = 0;
  int exponent = 0;
};

inline Binary unpack(std::uint32_t bits) {
  const std::uint32_t field = (bits >> 23) & 0xFFu;
  const std::uint64_t fraction = bits & 0x7FFFFFu;
  if (field == 0) return {fraction, -149};
  return {fraction | 0x800000u, static_cast<int>(field) - 150};
}

// n * 2^e, plus something below 2^e but above zero when `sticky`, rounded to
// `precision` significant bits, ties to even. When `sticky` is set, n must
// reach at least two bits past the kept ones, so the lost part is below the
// rounding bit. Gives the kept mantissa and its exponent.
inline Binary round_bits(std::uint64_t n, int e, bool sticky, int precision, int lowest_exponent) {
  const int length = static_cast<int>(std::bit_width(n));
  int unit = e + length - precision;
  if (unit < lowest_exponent) unit = lowest_exponent;
  const int shift = unit - e;
  if (shift <= 0) return {n << -shift, unit};
  if (shift >= 64) {
    const std::uint64_t half = std::uint64_t{1} << 63;
    return {shift == 64 && (n > half || (n == half && sticky)) ? 1u : 0u, unit};
  }
  std::uint64_t kept = n >> shift;
  const std::uint64_t rest = n & ((std::uint64_t{1} << shift) - 1);
  const std::uint64_t half = std::uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && (sticky || (kept & 1) != 0))) ++kept;
  if (static_cast<int>(std::bit_width(kept)) > precision) {
    kept >>= 1;
    ++unit;
  }
  return {kept, unit};
}

// n * 2^e (+ sticky) rounded to single precision, as bits.
inline std::uint32_t to_single(std::uint64_t n, int e, bool sticky = false) {
  if (n == 0) return 0;
  const Binary r = round_bits(n, e, sticky, 24, -149);
  if (r.mantissa == 0) return 0;
  if (r.mantissa < 0x800000u) return static_cast<std::uint32_t>(r.mantissa);  // subnormal
  const int biased = r.exponent + 150;
  if (biased >= 255) return kInfinityBits;
  return static_cast<std::uint32_t>(biased) << 23 |
         static_cast<std::uint32_t>(r.mantissa & 0x7FFFFFu);
}

// a * b, both single precision; a product with an infinity is infinite.
inline std::uint32_t multiply(std::uint32_t a, std::uint32_t b) {
  if (a == kInfinityBits || b == kInfinityBits) return kInfinityBits;
  const Binary x = unpack(a), y = unpack(b);
  return to_single(x.mantissa * y.mantissa, x.exponent + y.exponent);
}

// a - b for finite a >= b >= 0, single precision. b is aligned to a unit
// no finer than 38 bits below a's, which keeps everything in 64 bits; what
// falls below that unit only decides the rounding.
inline std::uint32_t subtract(std::uint32_t a, std::uint32_t b) {
  const Binary x = unpack(a), y = unpack(b);
  const int unit = y.exponent > x.exponent - 38 ? y.exponent : x.exponent - 38;
  std::uint64_t smaller = 0;
  bool sticky = false;
  if (y.exponent >= unit) {
    smaller = y.mantissa << (y.exponent - unit);
  } else if (unit - y.exponent < 64) {
    smaller = y.mantissa >> (unit - y.exponent);
    sticky = (y.mantissa & ((std::uint64_t{1} << (unit - y.exponent)) - 1)) != 0;
  } else {
    sticky = y.mantissa != 0;
  }
  const std::uint64_t larger = x.mantissa << (x.exponent - unit);
  return to_single(larger - smaller - (sticky ? 1 : 0), unit, sticky);
}

// 0.5 / p for p >= 1, single precision; zero for an infinite p.
inline std::uint32_t half_over(std::uint32_t p) {
  if (p == kInfinityBits) return 0;
  const Binary x = unpack(p);
  // 0.5 / (M * 2^e) = (2^62 / M) * 2^(-63 - e); with M below 2^24 the
  // quotient has at least 38 bits.
  const std::uint64_t top = std::uint64_t{1} << 62;
  return to_single(top / x.mantissa, -63 - x.exponent, top % x.mantissa != 0);
}

// r * 0.1 with r widened to double precision and 0.1 the double closest to
// it (3602879701896397 * 2^-55), the product rounded to double precision and
// then to single precision.
inline std::uint32_t tenth_in_double(std::uint32_t r) {
  const Binary x = unpack(r);
  constexpr std::uint64_t kTenth = 3602879701896397u;
  // The 76-bit product in two 64-bit halves.
  const std::uint64_t low_part = x.mantissa * (kTenth & 0xFFFFFFFFu);
  const std::uint64_t high_part = x.mantissa * (kTenth >> 32);
  std::uint64_t low = low_part + (high_part << 32);
  std::uint64_t high = (high_part >> 32) + (low < low_part ? 1 : 0);
  int e = x.exponent - 55;
  if (x.mantissa == 0) return 0;
  // Move whole bits down into 64 until the high half is empty, keeping the
  // bits that fall off as a sticky flag.
  bool sticky = false;
  while (high != 0) {
    sticky = sticky || (low & 1) != 0;
    low = low >> 1 | high << 63;
    high >>= 1;
    ++e;
  }
  // 64 bits remain, eleven past the 53 kept, so the folded bits only break
  // a tie.
  const Binary d = round_bits(low, e, sticky, 53, -1074);
  return to_single(d.mantissa, d.exponent);
}

// The limits of Gw.d, as bit patterns: P, R, L, and T(0) to T(d).
struct Limits {
  std::uint32_t power = 0, scale = 0, lower = 0;
  std::vector<std::uint32_t> decade;
};

inline Limits form_limits(int d) {
  constexpr std::uint32_t kOne = 0x3F800000u, kTen = 0x41200000u;
  Limits l;
  l.power = kOne;
  for (int i = 0; i < d; ++i) l.power = multiply(l.power, kTen);
  l.scale = subtract(kOne, half_over(l.power));
  l.lower = tenth_in_double(l.scale);
  l.decade.push_back(l.scale);
  std::uint32_t ten_k = kOne;
  for (int k = 1; k <= d; ++k) {
    ten_k = multiply(ten_k, kTen);
    l.decade.push_back(multiply(ten_k, l.scale));
  }
  return l;
}

// Whether a magnitude m (bits, finite, above zero) takes the exponent form:
// below L, or P - m in single precision at most 0.5. Positive values order
// as their bit patterns do.
inline bool takes_exponent_form(const Limits& l, std::uint32_t m) {
  if (m < l.lower) return true;
  if (l.power == kInfinityBits) return false;
  if (m >= l.power) return true;
  return subtract(l.power, m) <= 0x3F000000u;  // 0.5
}

// The decimals of the fixed form for a magnitude m (bits, finite, above
// zero): d - k for the smallest k with m below T(k).
inline int fixed_decimals(const Limits& l, std::uint32_t m) {
  const int d = static_cast<int>(l.decade.size()) - 1;
  int k = 0;
  while (k < d && !(m < l.decade[static_cast<std::size_t>(k)])) ++k;
  return d - k;
}

}  // namespace wexla::exact
