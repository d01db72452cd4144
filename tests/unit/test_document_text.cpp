// The texts of the run's documents: JSON strings from any bytes, and reals
// as the shortest decimal that reads back to the same single-precision
// value, checked against exact arithmetic.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>

#include "documents/json_text.hpp"
#include "documents/real_text.hpp"
#include "exact_decimal.hpp"
#include "nearest_binary32.hpp"

namespace wexla {
namespace {

struct TextCase {
  std::string bytes;
  std::string json;
  bool utf8;
};

TEST(JsonText, EscapesAndStrayBytes) {
  const TextCase cases[] = {
      {"", "\"\"", true},
      {"run1.OUT", "\"run1.OUT\"", true},
      {"a\"b\\c", "\"a\\\"b\\\\c\"", true},
      {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\"", true},
      {std::string("\0\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001f\x7f\"", true},
      {"/", "\"/\"", true},
      // Valid sequences of two, three and four bytes are copied.
      {"\xc3\xa9t\xc3\xa9", "\"\xc3\xa9t\xc3\xa9\"", true},
      {"\xe2\x82\xac \xf0\x9f\x98\x80", "\"\xe2\x82\xac \xf0\x9f\x98\x80\"", true},
      {"\xef\xbf\xbd", "\"\xef\xbf\xbd\"", true},
      // Each stray byte becomes U+FFFD: Latin-1, a lone continuation, a cut
      // sequence, an overlong form, a surrogate, beyond U+10FFFF.
      {"caf\xe9", "\"caf\\ufffd\"", false},
      {"\x80x", "\"\\ufffdx\"", false},
      {"\xe2\x82", "\"\\ufffd\\ufffd\"", false},
      {"\xc0\xaf", "\"\\ufffd\\ufffd\"", false},
      {"\xe0\x80\xaf", "\"\\ufffd\\ufffd\\ufffd\"", false},
      {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\"", false},
      {"\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\"", false},
      {"\xff\xfe", "\"\\ufffd\\ufffd\"", false},
  };
  for (const TextCase& c : cases) {
    std::string out;
    append_json_string(out, c.bytes);
    EXPECT_EQ(out, c.json) << testing::PrintToString(c.bytes);
    EXPECT_EQ(is_utf8(c.bytes), c.utf8) << testing::PrintToString(c.bytes);
  }
  std::string hex;
  append_hex_string(hex, std::string("caf\xe9\x00", 5));
  EXPECT_EQ(hex, "\"636166e900\"");
}

struct RealCase {
  std::uint32_t bits;
  const char* text;
};

// Worked out by hand from each value's exact decimal expansion.
TEST(RealText, ShortestDecimals) {
  const RealCase cases[] = {
      {0x00000000, "0"},
      {0x80000000, "-0"},
      {0x3F800000, "1"},
      {0x40A00000, "5"},
      {0xC0A00000, "-5"},
      {0x41480000, "12.5"},
      {0x3A83126F, "0.001"},     // the smallest window
      {0x44B31BDF, "1432.871"},  // the sample's first WSS
      {0x7149F2CA, "1e30"},      // the initial best WSS
      {0x3DCCCCCD, "0.1"},
      {0x3E99999A, "0.3"},
      {0x4B189680, "10000000"},
      {0x5A0E1BCA, "1e16"},  // decimal exponent 16: written with an exponent
      {0x4CBEBC20, "100000000"},
      {0x38D1B717, "0.0001"},  // exponent -4: still plain
      {0x3727C5AC, "1e-5"},
      {0x00000001, "1e-45"},          // the smallest subnormal
      {0x7F7FFFFF, "3.4028235e38"},   // the largest finite value
      {0x00800000, "1.1754944e-38"},  // the smallest normal value
      {0x4B800000, "16777216"},       // 2^24
      {0x4C000000, "33554432"},       // 2^25
  };
  for (const RealCase& c : cases) {
    EXPECT_EQ(shortest_real_text(std::bit_cast<float>(c.bits)), c.text) << std::hex << c.bits;
  }
}

// The text as digits and a power of ten, for the exact reference.
struct Parsed {
  std::string digits;
  long long scale = 0;
  bool negative = false;
};

Parsed parse(const std::string& text) {
  Parsed p;
  std::size_t at = 0;
  if (text[0] == '-') {
    p.negative = true;
    at = 1;
  }
  long long after_point = 0;
  bool point = false;
  for (; at < text.size() && text[at] != 'e'; ++at) {
    if (text[at] == '.') {
      point = true;
      continue;
    }
    p.digits += text[at];
    if (point) ++after_point;
  }
  long long exponent = at < text.size() ? std::stoll(text.substr(at + 1)) : 0;
  p.scale = exponent - after_point;
  return p;
}

std::size_t significant(const std::string& digits) {
  std::size_t first = digits.find_first_not_of('0');
  std::size_t last = digits.find_last_not_of('0');
  return first == std::string::npos ? 1 : last - first + 1;
}

// Random values: the text reads back exactly (by the exact reference, not
// the C library), and neither decimal of one digit fewer that brackets the
// value does.
TEST(RealText, ReadsBackAndNothingShorterDoes) {
  std::mt19937 random(20261209);
  for (int i = 0; i < 20000; ++i) {
    std::uint32_t bits = random();
    if ((bits & 0x7F800000u) == 0x7F800000u) continue;
    float value = std::bit_cast<float>(bits);
    std::string text = shortest_real_text(value);
    Parsed p = parse(text);
    ASSERT_EQ(fuzz::nearest_binary32(p.digits, p.scale, p.negative), bits) << text;
    std::size_t count = significant(p.digits);
    if (count == 1 || (bits & 0x7FFFFFFFu) == 0) continue;
    // The exact value cut to count - 1 significant digits, and one unit up.
    exact::Decimal e = exact::exact_decimal(value);
    std::size_t keep = count - 1;
    std::string lower = e.digits.substr(0, keep);
    long long scale = static_cast<long long>(e.digits.size() - keep) - e.scale;
    std::string upper = std::to_string(std::stoull(lower) + 1);
    ASSERT_NE(fuzz::nearest_binary32(lower, scale, p.negative), bits) << text << " " << lower;
    ASSERT_NE(fuzz::nearest_binary32(upper, scale, p.negative), bits) << text << " " << upper;
  }
}

}  // namespace
}  // namespace wexla
