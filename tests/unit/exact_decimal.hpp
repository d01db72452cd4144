// Test-only exact reference for real output fields: the exact decimal
// expansion of a single-precision value by integer arithmetic, rounding half
// to even on that digit string, and the field layout, written without any
// formatted conversion of the library.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace wexla::exact {

// value = digits * 10^-scale, digits without leading zeros ("0" for zero).
struct Decimal {
  std::string digits;
  int scale = 0;
};

// A magnitude of the form M * 2^e becomes M * 2^e (e >= 0) or M * 5^-e with
// scale -e (e < 0), held in base 10^9 limbs, lowest first.
inline Decimal exact_decimal(float value) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value) & 0x7FFFFFFFu;
  const std::uint32_t field = bits >> 23;
  std::uint32_t mantissa = bits & 0x7FFFFFu;
  int e = -149;
  if (field != 0) {
    mantissa |= 0x800000u;
    e = static_cast<int>(field) - 150;
  }
  if (mantissa == 0) return {"0", 0};

  constexpr std::uint32_t kBase = 1000000000u;
  std::vector<std::uint32_t> limbs{mantissa};
  auto multiply = [&limbs](std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t t = static_cast<std::uint64_t>(limb) * factor + carry;
      limb = static_cast<std::uint32_t>(t % kBase);
      carry = t / kBase;
    }
    while (carry != 0) {
      limbs.push_back(static_cast<std::uint32_t>(carry % kBase));
      carry /= kBase;
    }
  };
  Decimal d;
  if (e >= 0) {
    for (int left = e; left > 0; left -= 16) multiply(1u << (left < 16 ? left : 16));
  } else {
    for (int left = -e; left > 0; left -= 13) {
      std::uint32_t five = 1;
      for (int i = 0; i < (left < 13 ? left : 13); ++i) five *= 5;
      multiply(five);
    }
    d.scale = -e;
  }
  for (std::size_t i = limbs.size(); i-- > 0;) {
    std::string part;
    for (std::uint32_t v = limbs[i], n = 0; n < 9; ++n, v /= 10) {
      part.insert(part.begin(), static_cast<char>('0' + v % 10));
    }
    d.digits += part;
  }
  d.digits.erase(0, d.digits.find_first_not_of('0'));
  return d;
}

// The integer `digits` divided by 10^drop, rounded to nearest with ties to
// even. `tie` is set when the dropped part was exactly one half.
inline std::string drop_rounded(const std::string& digits, int drop, bool* tie = nullptr) {
  if (drop <= 0) return digits == "0" ? digits : digits + std::string(-drop, '0');
  const int len = static_cast<int>(digits.size());
  std::string kept = drop < len ? digits.substr(0, len - drop) : "0";
  const std::string rest =
      drop <= len ? digits.substr(len - drop) : std::string(drop - len, '0') + digits;
  bool up = rest[0] > '5';
  if (rest[0] == '5') {
    if (rest.find_first_not_of('0', 1) != std::string::npos) {
      up = true;
    } else {
      up = (kept.back() - '0') % 2 == 1;
      if (tie) *tie = true;
    }
  }
  if (up) {
    int i = static_cast<int>(kept.size()) - 1;
    while (i >= 0 && kept[i] == '9') kept[i--] = '0';
    if (i < 0) {
      kept.insert(kept.begin(), '1');
    } else {
      ++kept[i];
    }
  }
  return kept;
}

// The value rounded to q decimals: integer digits (none below 1) and decimals.
struct Fixed {
  std::string integer, fraction;
};
inline Fixed round_fixed(const Decimal& x, int q, bool* tie = nullptr) {
  std::string n = drop_rounded(x.digits, x.scale - q, tie);
  if (static_cast<int>(n.size()) < q + 1) n.insert(0, q + 1 - n.size(), '0');
  Fixed f{n.substr(0, n.size() - q), n.substr(n.size() - q)};
  f.integer.erase(0, f.integer.find_first_not_of('0'));  // all of it when zero
  return f;
}

// The value (above zero) rounded to n >= 1 significant digits, as
// 0.D1...Dn * 10^e.
struct Scientific {
  std::string digits;
  int e = 0;
};
inline Scientific round_scientific(const Decimal& x, int n, bool* tie = nullptr) {
  const int len = static_cast<int>(x.digits.size());
  int point = len - x.scale;  // digits before the point
  std::string kept = drop_rounded(x.digits, len - n, tie);
  if (static_cast<int>(kept.size()) > n) {
    kept.pop_back();
    ++point;
  }
  return {kept, point};
}

// Layout of a finite real field, as a developer reads the field's rules.
inline std::string layout(int w, bool negative, const std::string& integer,
                          const std::string& fraction, const std::string& tail) {
  int b =
      w - static_cast<int>(tail.size() + integer.size() + 1 + fraction.size()) - (negative ? 1 : 0);
  if (b < 0) return std::string(static_cast<std::size_t>(w), '*');
  std::string zero;
  if (integer.empty() && b > 0) {
    zero = "0";
    --b;
  }
  return std::string(static_cast<std::size_t>(b), ' ') + (negative ? "-" : "") + zero + integer +
         "." + fraction + tail;
}

inline std::string exponent_text(int e) {
  const int a = e < 0 ? -e : e;
  if (a > 999) return "";
  std::string digits;
  for (int v = a, n = 0; n < (a > 99 ? 3 : 2); ++n, v /= 10) {
    digits.insert(digits.begin(), static_cast<char>('0' + v % 10));
  }
  return std::string(a > 99 ? "" : "E") + (e < 0 ? "-" : "+") + digits;
}

}  // namespace wexla::exact
