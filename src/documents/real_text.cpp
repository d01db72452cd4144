// The shortest decimal text that reads back to a single-precision value.
#include "documents/real_text.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "documents/join_text.hpp"

namespace wexla {
namespace {

// A decimal value: its significant digits times ten to `exponent`.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

std::string text_of(const Decimal& d) {
  std::string digits = d.digits;
  int exponent = d.exponent;
  while (digits.size() > 1 && digits.back() == '0') {
    digits.pop_back();
    ++exponent;
  }
  // The exponent of the first digit, as in 1.23e<point>.
  int point = static_cast<int>(digits.size()) - 1 + exponent;
  std::string text = d.negative ? "-" : "";
  if (digits == "0") return text + "0";
  if (point >= -4 && point < 16) {
    if (exponent >= 0) return text + digits + std::string(static_cast<std::size_t>(exponent), '0');
    if (point >= 0) {
      std::size_t whole = static_cast<std::size_t>(point) + 1;
      return text + digits.substr(0, whole) + "." + digits.substr(whole);
    }
    return join({text, "0.", std::string(static_cast<std::size_t>(-point - 1), '0'), digits});
  }
  text += digits[0];
  if (digits.size() > 1) text += join({".", std::string_view(digits).substr(1)});
  return join({text, "e", std::to_string(point)});
}

bool reads_back(const Decimal& d, float value) {
  std::string text = join({d.negative ? "-" : "", d.digits, "e", std::to_string(d.exponent)});
  float read = std::strtof(text.c_str(), nullptr);
  return std::memcmp(&read, &value, sizeof value) == 0;
}

// The value rounded to `count` significant digits (snprintf rounds
// correctly, the float being exact as a double).
Decimal rounded(float value, int count) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*e", count - 1, static_cast<double>(value));
  Decimal d;
  const char* at = text;
  if (*at == '-') {
    d.negative = true;
    ++at;
  }
  for (; *at != 'e'; ++at) {
    if (*at != '.') d.digits += *at;
  }
  d.exponent = std::atoi(at + 1) - (count - 1);
  return d;
}

// The decimal `step` units of its last digit away (step is 1 or -1), with
// the same number of digits where it can keep them.
Decimal neighbour(Decimal d, int step) {
  unsigned long long m = std::strtoull(d.digits.c_str(), nullptr, 10);
  if (step < 0 && m == 0) return d;
  m = step > 0 ? m + 1 : m - 1;
  d.digits = std::to_string(m);
  return d;
}

}  // namespace

std::string document_real_text(float value) {
  if (value == 0.0f && std::signbit(value)) return "-0.0";
  return shortest_real_text(value);
}

std::string shortest_real_text(float value) {
  // Nine significant digits always read back; fewer may. The rounded
  // decimal of a length is the nearest one, but where the value is a power
  // of two the decimals that read back reach further above than below, so
  // a neighbour can read back where the nearest does not.
  for (int count = 1; count < 9; ++count) {
    Decimal nearest = rounded(value, count);
    if (reads_back(nearest, value)) return text_of(nearest);
    for (int step : {1, -1}) {
      Decimal other = neighbour(nearest, step);
      if (other.digits.size() == nearest.digits.size() && reads_back(other, value))
        return text_of(other);
    }
  }
  return text_of(rounded(value, 9));
}

}  // namespace wexla
