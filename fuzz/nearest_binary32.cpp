// The nearest single-precision value of a decimal text, worked out with
// exact integer arithmetic.
#include "nearest_binary32.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace wexla::fuzz {
namespace {

constexpr std::uint32_t kSign = 0x80000000u;
constexpr std::uint32_t kInfinity = 0x7F800000u;
constexpr int kMantissaBits = 24;           // with the hidden bit
constexpr long long kLeastExponent = -149;  // of the last mantissa bit of a subnormal

// A natural number as 32-bit limbs, least significant first, no leading
// zero limbs (zero is the empty vector).
using Natural = std::vector<std::uint32_t>;

void trim(Natural& n) {
  while (!n.empty() && n.back() == 0) n.pop_back();
}

void multiply_add(Natural& n, std::uint32_t factor, std::uint32_t addend) {
  std::uint64_t carry = addend;
  for (std::uint32_t& limb : n) {
    std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
    limb = static_cast<std::uint32_t>(product);
    carry = product >> 32;
  }
  if (carry != 0) n.push_back(static_cast<std::uint32_t>(carry));
  trim(n);
}

Natural from_digits(std::string_view digits) {
  Natural n;
  for (char c : digits) multiply_add(n, 10, static_cast<std::uint32_t>(c - '0'));
  return n;
}

void times_power_of_ten(Natural& n, long long exponent) {
  for (; exponent >= 9; exponent -= 9) multiply_add(n, 1000000000u, 0);
  for (; exponent > 0; --exponent) multiply_add(n, 10, 0);
}

long long bit_length(const Natural& n) {
  if (n.empty()) return 0;
  long long bits = static_cast<long long>(n.size() - 1) * 32;
  for (std::uint32_t top = n.back(); top != 0; top >>= 1) ++bits;
  return bits;
}

Natural shifted_left(const Natural& n, long long bits) {
  if (n.empty()) return n;
  std::size_t limbs = static_cast<std::size_t>(bits / 32);
  unsigned rest = static_cast<unsigned>(bits % 32);
  Natural out(limbs, 0);
  std::uint32_t carry = 0;
  for (std::uint32_t limb : n) {
    out.push_back(rest == 0 ? limb : (limb << rest) | carry);
    carry = rest == 0 ? 0 : limb >> (32 - rest);
  }
  if (carry != 0) out.push_back(carry);
  return out;
}

int compare(const Natural& a, const Natural& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// a -= b, where a >= b.
void subtract(Natural& a, const Natural& b) {
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::int64_t d = static_cast<std::int64_t>(a[i]) - borrow -
                     (i < b.size() ? static_cast<std::int64_t>(b[i]) : 0);
    borrow = d < 0 ? 1 : 0;
    a[i] = static_cast<std::uint32_t>(d + (borrow << 32));
  }
  trim(a);
}

struct Quotient {
  std::uint64_t whole = 0;  // floor(p / (q × 2^exponent))
  int half = 0;             // the remainder against half the divisor: -1, 0, 1
};

// p / (q × 2^exponent) by long division, for a quotient below 2^(kMantissaBits + 2).
Quotient divide(const Natural& p, const Natural& q, long long exponent) {
  Natural rest = exponent < 0 ? shifted_left(p, -exponent) : p;
  Natural divisor = exponent > 0 ? shifted_left(q, exponent) : q;
  Quotient out;
  for (int bit = kMantissaBits + 1; bit >= 0; --bit) {
    Natural part = shifted_left(divisor, bit);
    if (compare(rest, part) >= 0) {
      subtract(rest, part);
      out.whole |= std::uint64_t{1} << bit;
    }
  }
  out.half = compare(shifted_left(rest, 1), divisor);
  return out;
}

}  // namespace

std::uint32_t nearest_binary32(std::string_view digits, long long scale, bool negative) {
  std::uint32_t sign = negative ? kSign : 0;
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return sign;
  digits.remove_prefix(first);
  std::size_t last = digits.find_last_not_of('0');
  scale += static_cast<long long>(digits.size() - 1 - last);
  digits.remove_suffix(digits.size() - 1 - last);

  // The value lies in [10^magnitude, 10^(magnitude + 1)). Far outside the
  // binary32 range the answer is plain and the exact powers would be huge:
  // 10^39 exceeds 2^128, and 10^-46 is below 2^-150.
  long long magnitude = static_cast<long long>(digits.size()) - 1 + scale;
  if (magnitude >= 39) return sign | kInfinity;
  if (magnitude <= -47) return sign;

  // value = p / q exactly.
  Natural p = from_digits(digits);
  Natural q{1};
  if (scale > 0) times_power_of_ten(p, scale);
  if (scale < 0) times_power_of_ten(q, -scale);

  // An exponent that puts the quotient in [2^23, 2^25); one more step when
  // it lands at or above 2^24; never below the subnormals' exponent.
  long long exponent = bit_length(p) - bit_length(q) - kMantissaBits;
  exponent = std::max(exponent, kLeastExponent);
  Quotient quotient = divide(p, q, exponent);
  if (quotient.whole >= (std::uint64_t{1} << kMantissaBits)) {
    ++exponent;
    quotient = divide(p, q, exponent);
  }
  std::uint64_t mantissa = quotient.whole;
  if (quotient.half > 0 || (quotient.half == 0 && (mantissa & 1) != 0)) ++mantissa;

  // Biased exponent field times 2^23 plus the mantissa with its hidden bit:
  // a carry out of the mantissa moves into the exponent, a subnormal's
  // mantissa is below 2^23 at the least exponent.
  std::uint64_t bits = (static_cast<std::uint64_t>(exponent - kLeastExponent) << 23) + mantissa;
  if (bits >= kInfinity) return sign | kInfinity;
  return sign | static_cast<std::uint32_t>(bits);
}

}  // namespace wexla::fuzz
