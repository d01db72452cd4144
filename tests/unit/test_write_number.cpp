// Integer and general real output fields: the tables of field texts,
// the form limits, ties to even, and a random comparison with an exact
// reference.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "exact_decimal.hpp"
#include "exact_limits.hpp"
#include "sanitizer.hpp"
#include "textio/numbers/write_number.hpp"

namespace wexla {
namespace {

float from_bits(std::uint32_t bits) {
  return std::bit_cast<float>(bits);
}
std::uint32_t to_bits(float x) {
  return std::bit_cast<std::uint32_t>(x);
}

// Each field is written into a buffer of exactly w characters, so that the
// address sanitizer sees any write past the field.
std::string general(int w, int d, float x) {
  std::vector<char> field(static_cast<std::size_t>(w));
  get_float_string(field.data(), w, d, x);
  return {field.begin(), field.end()};
}
std::string fixed(int w, int d, float x) {
  std::vector<char> field(static_cast<std::size_t>(w));
  get_fixed_string(field.data(), w, d, x);
  return {field.begin(), field.end()};
}
std::string integer(int w, int m, std::int32_t v) {
  std::vector<char> field(static_cast<std::size_t>(w));
  write_decimal(field.data(), w, m, v);
  return {field.begin(), field.end()};
}
std::string infnan(int w, bool is_nan, bool negative) {
  std::vector<char> field(static_cast<std::size_t>(w));
  build_infnan_string(field.data(), w, is_nan, negative);
  return {field.begin(), field.end()};
}

// ---------------------------------------------------------------------------
// Integer fields

TEST(IntegerField, ProgramItems) {
  struct Row {
    int w, m;
    std::int32_t value;
    const char* text;
  } rows[] = {
      {3, -1, 0, "  0"},        {3, -1, 1, "  1"},        {3, -1, 42, " 42"},
      {3, -1, 999, "999"},      {3, -1, 1000, "***"},     {3, -1, -5, " -5"},
      {3, -1, -100, "***"},     {3, 3, 0, "000"},         {3, 3, 1, "001"},
      {3, 3, 42, "042"},        {3, 3, 999, "999"},       {3, 3, 1000, "***"},
      {3, 3, -1, "***"},        {5, -1, 0, "    0"},      {5, -1, 17, "   17"},
      {5, -1, 99999, "99999"},  {5, -1, 100000, "*****"}, {5, -1, -9999, "-9999"},
      {5, -1, -10000, "*****"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(integer(r.w, r.m, r.value), r.text) << "i" << r.w << "." << r.m << " " << r.value;
  }
}

TEST(IntegerField, ExtremesAndMinimumDigits) {
  constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(integer(11, -1, lowest), "-2147483648");
  EXPECT_EQ(integer(10, -1, lowest), "**********");
  EXPECT_EQ(integer(12, 11, lowest), "-02147483648");
  EXPECT_EQ(integer(12, -1, highest), "  2147483647");
  EXPECT_EQ(integer(6, 5, -42), "-00042");
  EXPECT_EQ(integer(5, 5, -42), "*****");
  EXPECT_EQ(integer(5, 0, 0), "    0");  // m = 0 asks for no zeros; zero still has its digit
  EXPECT_EQ(integer(1, -1, 0), "0");
  EXPECT_EQ(integer(1, -1, -1), "*");
  EXPECT_EQ(integer(4, 2, 7), "  07");
  EXPECT_EQ(integer(256, 256, 7), std::string(255, '0') + "7");
  EXPECT_EQ(integer(256, 256, -7), std::string(256, '*'));
  EXPECT_EQ(integer(256, -1, -7), std::string(254, ' ') + "-7");
}

// ---------------------------------------------------------------------------
// General fields: the edge-case table for g14.6 and g10.3

struct TableRow {
  std::uint32_t bits;
  const char* g14_6;
  const char* g10_3;
};

constexpr TableRow kEdgeRows[] = {
    {0x00000000u, "   0.00000    ", "  0.00    "},  // zero
    {0x80000000u, "  -0.00000    ", " -0.00    "},  // negative zero
    {0x7149F2CAu, "  0.100000E+31", " 0.100E+31"},  // 1e30, the initial best WSS
    {0x3A83126Fu, "  0.100000E-02", " 0.100E-02"},  // 0.001, the replacement percentage
    {0x3DCBFB16u, "  0.996000E-01", " 0.996E-01"},  // 0.0996
    {0x3DCCCCC6u, "  0.100000    ", " 0.100    "},  // 0.09999995
    {0x3DCCCCC7u, "  0.100000    ", " 0.100    "},  // 0.09999996
    {0x3DCCCCCDu, "  0.100000    ", " 0.100    "},  // 0.1
    {0x3F000000u, "  0.500000    ", " 0.500    "},  // 0.5
    {0x3F800000u, "   1.00000    ", "  1.00    "},  // 1
    {0x411FFFFFu, "   10.0000    ", "  10.0    "},  // 9.9999995
    {0x414587E6u, "   12.3457    ", "  12.3    "},  // 12.3456785
    {0x42C7E666u, "   99.9500    ", "  100.    "},  // 99.95
    {0x4479D99Au, "   999.400    ", "  999.    "},  // 999.4
    {0x4479E000u, "   999.500    ", " 0.100E+04"},  // 999.5
    {0x449A522Bu, "   1234.57    ", " 0.123E+04"},  // 1234.5678
    {0x47C34FFAu, "   100000.    ", " 0.100E+06"},  // 99999.95
    {0x47C35040u, "   100000.    ", " 0.100E+06"},  // 100000.5
    {0x47C350C0u, "   100002.    ", " 0.100E+06"},  // 100001.5
    {0x47F12033u, "   123456.    ", " 0.123E+06"},  // 123456.4
    {0x497423F6u, "   999999.    ", " 0.100E+07"},  // 999999.4
    {0x497423F8u, "  0.100000E+07", " 0.100E+07"},  // 999999.5
    {0x497423FAu, "  0.100000E+07", " 0.100E+07"},  // 999999.6
    {0x4996B428u, "  0.123456E+07", " 0.123E+07"},  // 1234565
    {0x4996B438u, "  0.123457E+07", " 0.123E+07"},  // 1234567
    {0x4996B478u, "  0.123458E+07", " 0.123E+07"},  // 1234575
    {0x377BA882u, "  0.150000E-04", " 0.150E-04"},  // 1.5e-5
    {0xC0200000u, "  -2.50000    ", " -2.50    "},  // -2.5
    {0xBF000000u, " -0.500000    ", "-0.500    "},  // -0.5
    {0x3F900000u, "   1.12500    ", "  1.12    "},  // 1.125
    {0x3FB00000u, "   1.37500    ", "  1.38    "},  // 1.375
    {0x41440000u, "   12.2500    ", "  12.2    "},  // 12.25
    {0x7F7FFFFFu, "  0.340282E+39", " 0.340E+39"},  // largest finite
    {0x00000001u, "  0.140130E-44", " 0.140E-44"},  // smallest positive
    {0x7FC00000u, "           NaN", "       NaN"},  // NaN
    {0x7F800000u, "      Infinity", "  Infinity"},  // positive infinity
    {0xFF800000u, "     -Infinity", " -Infinity"},  // negative infinity
};

TEST(GeneralField, EdgeCaseTable) {
  for (const TableRow& row : kEdgeRows) {
    const float x = from_bits(row.bits);
    EXPECT_EQ(general(14, 6, x), row.g14_6) << std::hex << row.bits;
    EXPECT_EQ(general(10, 3, x), row.g10_3) << std::hex << row.bits;
  }
}

// ---------------------------------------------------------------------------
// The form limits

// The limits of the program's two general items, as tabulated: P, R, L and
// T(0) to T(d).
const exact::Limits kG14_6Limits = {
    0x49742400u,
    0x3F7FFFF8u,
    0x3DCCCCC6u,
    {0x3F7FFFF8u, 0x411FFFFBu, 0x42C7FFFAu, 0x4479FFF8u, 0x461C3FFBu, 0x47C34FFAu, 0x497423F8u}};
const exact::Limits kG10_3Limits = {
    0x447A0000u, 0x3F7FDF3Bu, 0x3DCCB296u, {0x3F7FDF3Bu, 0x411FEB85u, 0x42C7E666u, 0x4479E000u}};

// The code's limits for d as bit patterns, T(0) to T(d).
exact::Limits limits_in_code(int d) {
  const GeneralLimits g = general_limits(d);
  exact::Limits l{to_bits(g.power), to_bits(g.scale), to_bits(g.lower), {}};
  for (int k = 0; k <= d; ++k) l.decade.push_back(to_bits(g.decade[k]));
  return l;
}

void expect_same_limits(const exact::Limits& got, const exact::Limits& want, int d) {
  EXPECT_EQ(got.power, want.power) << "P of d = " << d;
  EXPECT_EQ(got.scale, want.scale) << "R of d = " << d;
  EXPECT_EQ(got.lower, want.lower) << "L of d = " << d;
  ASSERT_EQ(got.decade.size(), want.decade.size()) << "d = " << d;
  for (std::size_t k = 0; k < want.decade.size(); ++k) {
    EXPECT_EQ(got.decade[k], want.decade[k]) << "T(" << k << ") of d = " << d;
  }
}

TEST(GeneralLimits, MatchTheTabulatedBits) {
  ASSERT_EQ(std::bit_cast<float>(kG14_6Limits.power), 1000000.0f);
  ASSERT_EQ(std::bit_cast<float>(kG10_3Limits.power), 1000.0f);
  expect_same_limits(limits_in_code(6), kG14_6Limits, 6);
  expect_same_limits(limits_in_code(3), kG10_3Limits, 3);
}

TEST(GeneralLimits, ExactReferenceGivesTheTabulatedBits) {
  expect_same_limits(exact::form_limits(6), kG14_6Limits, 6);
  expect_same_limits(exact::form_limits(3), kG10_3Limits, 3);
}

TEST(GeneralLimits, MatchTheExactReferenceForEveryDigitCount) {
  // Rows worked out by hand: R of g w.0 is 1 - 0.5 = 0.5, and L is 0.05 as
  // the double 0.5 * 0.1 rounds to single precision; from d = 8 on, 0.5 / P
  // is below half a unit of 1 and R is 1, so L is 0.1f.
  EXPECT_EQ(exact::form_limits(0).scale, 0x3F000000u);
  EXPECT_EQ(exact::form_limits(0).lower, 0x3D4CCCCDu);
  EXPECT_EQ(exact::form_limits(8).scale, 0x3F800000u);
  EXPECT_EQ(exact::form_limits(8).lower, 0x3DCCCCCDu);
  EXPECT_EQ(exact::form_limits(39).power, exact::kInfinityBits);
  for (int d = 0; d <= kNumberFieldLimit; ++d) {
    expect_same_limits(limits_in_code(d), exact::form_limits(d), d);
    if (HasFailure()) break;
  }
}

TEST(GeneralLimits, LargeDigitCountsStayFiniteOrInfiniteAndKeepFlags) {
  std::feclearexcept(FE_ALL_EXCEPT);
  const GeneralLimits g = general_limits(256);
  const int raised = std::fetestexcept(FE_OVERFLOW | FE_UNDERFLOW | FE_INVALID | FE_DIVBYZERO);
  EXPECT_EQ(raised, 0);
  EXPECT_TRUE(std::isinf(g.power));
  EXPECT_EQ(g.scale, 1.0f);
  EXPECT_EQ(g.lower, 0.1f);
  EXPECT_TRUE(std::isfinite(g.decade[38]));
  EXPECT_TRUE(std::isinf(g.decade[39]));
  EXPECT_EQ(general_limits(1000).decade[256], g.decade[256]);  // d is taken into range
}

// ---------------------------------------------------------------------------
// General fields: worked examples of rounding and of the limits

TEST(GeneralFieldRounding, TiesGoToTheEvenDigit) {
  EXPECT_EQ(general(14, 6, from_bits(0x4996B428u)), "  0.123456E+07");  // 1234565
  EXPECT_EQ(general(14, 6, from_bits(0x4996B478u)), "  0.123458E+07");  // 1234575
  EXPECT_EQ(general(14, 6, from_bits(0x47C35040u)), "   100000.    ");  // 100000.5
  EXPECT_EQ(general(14, 6, from_bits(0x47C350C0u)), "   100002.    ");  // 100001.5
  EXPECT_EQ(general(10, 3, from_bits(0x3F900000u)), "  1.12    ");      // 1.125
  EXPECT_EQ(general(10, 3, from_bits(0x3FB00000u)), "  1.38    ");      // 1.375
  // 9.5 with one digit: 9 is odd, so the tie carries into the next decade.
  EXPECT_EQ(general(12, 1, 9.5f), "     0.1E+02");
  EXPECT_EQ(general(12, 1, 8.5f), "      8.    ");
}

TEST(GeneralFieldRounding, DigitsComeFromTheStoredValue) {
  // 12.3456785 is stored as 12.345678329467773.
  EXPECT_EQ(general(14, 6, from_bits(0x414587E6u)), "   12.3457    ");
  // 1234.5678 is stored as 1234.5677490234375: more decimals show it.
  EXPECT_EQ(general(30, 10, from_bits(0x449A522Bu)), std::string(15, ' ') + "1234.567749    ");
}

TEST(GeneralFieldRounding, CarryIntoANewDecadeTakesItsExponent) {
  // 0.0099999998 is stored as 0.009999999776482582 (bits of 0.01f).
  ASSERT_EQ(to_bits(0.01f), 0x3C23D70Au);
  EXPECT_EQ(general(14, 6, from_bits(0x3C23D70Au)), "  0.100000E-01");
  EXPECT_EQ(general(10, 3, from_bits(0x3C23D70Au)), " 0.100E-01");
}

TEST(GeneralFieldRounding, AValueEqualToALimitGoesToTheLargerDecade) {
  const float t2 = from_bits(kG10_3Limits.decade[2]);  // 99.95 as stored
  EXPECT_EQ(general(10, 3, t2), "  100.    ");
  EXPECT_EQ(general(10, 3, std::nextafter(t2, 0.0f)), "  99.9    ");

  const float lower = from_bits(kG14_6Limits.lower);  // 0.09999995 as stored
  EXPECT_EQ(general(14, 6, lower), "  0.100000    ");
  EXPECT_EQ(general(14, 6, std::nextafter(lower, 0.0f)), "  0.999999E-01");

  const float top = from_bits(0x497423F8u);  // 999999.5 = P - 0.5 = T(6)
  EXPECT_EQ(general(14, 6, top), "  0.100000E+07");
  EXPECT_EQ(general(14, 6, std::nextafter(top, 0.0f)), "   999999.    ");
}

// ---------------------------------------------------------------------------
// General fields of other widths and digit counts

TEST(GeneralField, LeadingZeroOnlyWhenAPositionIsFree) {
  const float big = from_bits(0x7149F2CAu);  // 1e30
  EXPECT_EQ(general(9, 3, big), "0.100E+31");
  EXPECT_EQ(general(8, 3, big), ".100E+31");
  EXPECT_EQ(general(9, 3, -big), "-.100E+31");
  EXPECT_EQ(general(11, 6, big), ".100000E+31");
  EXPECT_EQ(general(9, 3, -0.5f), "-.500    ");
  EXPECT_EQ(general(5, 0, 0.3f), ".    ");
}

TEST(GeneralField, OverflowFillsTheWholeField) {
  const float big = from_bits(0x7149F2CAu);
  EXPECT_EQ(general(7, 3, big), "*******");
  EXPECT_EQ(general(8, 3, -big), "********");
  EXPECT_EQ(general(10, 6, big), "**********");
  EXPECT_EQ(general(8, 3, -0.5f), "********");
  EXPECT_EQ(general(3, 1, 0.0f), "***");
  EXPECT_EQ(general(1, 0, 0.0f), "*");
}

TEST(GeneralField, NoSignificantDigits) {
  // g w.0: P = 1, R = 0.5, L = 0.05; only [0.05, 0.5) and zero are fixed.
  EXPECT_EQ(general(6, 0, 0.3f), "0.    ");
  EXPECT_EQ(general(6, 0, 0.0f), "0.    ");
  EXPECT_EQ(general(6, 0, -0.0f), "-.    ");
  EXPECT_EQ(general(6, 0, 0.5f), "******");
  EXPECT_EQ(general(6, 0, 0.04f), "******");
  EXPECT_EQ(general(20, 0, 7.0f), std::string(20, '*'));
  // 1 - 0.49999997 is 0.5 + 2^-25, which rounds to 0.5 in single precision:
  // exponent form, although the value is below P - 0.5.
  EXPECT_EQ(general(6, 0, from_bits(0x3EFFFFFFu)), "******");
  EXPECT_EQ(general(6, 0, from_bits(0x3EFFFFFEu)), "0.    ");
}

TEST(GeneralField, ValueBetweenLastDecadeAndExponentLimit) {
  // For g15.7, T(7) = 9999999 lies below P - 0.5, so 9999999 keeps the
  // fixed form with no decimals.
  ASSERT_EQ(exact::form_limits(7).decade[7], to_bits(9999999.0f));
  EXPECT_EQ(general(15, 7, 9999999.0f), "   9999999.    ");
  EXPECT_EQ(general(15, 7, 9999998.0f), "   9999998.    ");
  EXPECT_EQ(general(15, 7, 10000000.0f), "  0.1000000E+08");
}

TEST(GeneralFieldInfNan, EveryWidthUpToTen) {
  struct Row {
    int w;
    const char* nan;
    const char* inf;
    const char* minus_inf;
  } rows[] = {
      {1, "*", "*", "*"},
      {2, "**", "**", "**"},
      {3, "NaN", "Inf", "***"},
      {4, " NaN", " Inf", "-Inf"},
      {7, "    NaN", "    Inf", "   -Inf"},
      {8, "     NaN", "Infinity", "    -Inf"},
      {9, "      NaN", " Infinity", "-Infinity"},
      {10, "       NaN", "  Infinity", " -Infinity"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(infnan(r.w, true, false), r.nan) << r.w;
    EXPECT_EQ(infnan(r.w, true, true), r.nan) << r.w;
    EXPECT_EQ(infnan(r.w, false, false), r.inf) << r.w;
    EXPECT_EQ(infnan(r.w, false, true), r.minus_inf) << r.w;
  }
  EXPECT_EQ(general(14, 6, from_bits(0xFFC00000u)), "           NaN");  // sign bit set
  EXPECT_EQ(general(3, 0, -std::numeric_limits<float>::infinity()), "***");
}

// ---------------------------------------------------------------------------
// Fw.d fields

TEST(FixedNumberField, RoundsToTheDecimalsWithoutTrailingBlanks) {
  EXPECT_EQ(fixed(10, 3, from_bits(0x449A522Bu)), "  1234.568");
  EXPECT_EQ(fixed(6, 3, -0.5f), "-0.500");
  EXPECT_EQ(fixed(5, 3, -0.5f), "-.500");
  EXPECT_EQ(fixed(4, 3, -0.5f), "****");
  EXPECT_EQ(fixed(8, 0, 100000.5f), " 100000.");
  EXPECT_EQ(fixed(8, 0, 100001.5f), " 100002.");
  EXPECT_EQ(fixed(7, 0, 100000.5f), "100000.");
  EXPECT_EQ(fixed(6, 0, 100000.5f), "******");
  EXPECT_EQ(fixed(4, 1, -0.0f), "-0.0");
  EXPECT_EQ(fixed(5, 2, 0.125f), " 0.12");
  EXPECT_EQ(fixed(3, 2, 0.125f), ".12");
  EXPECT_EQ(fixed(4, 2, 0.375f), "0.38");
  EXPECT_EQ(fixed(5, 2, -0.001f), "-0.00");
  EXPECT_EQ(fixed(45, 1, std::numeric_limits<float>::max()),
            "    340282346638528859811704183484516925440.0");
  EXPECT_EQ(fixed(9, 2, std::numeric_limits<float>::infinity()), " Infinity");
  EXPECT_EQ(fixed(3, 1, -std::numeric_limits<float>::infinity()), "***");
  EXPECT_EQ(fixed(5, 1, std::numeric_limits<float>::quiet_NaN()), "  NaN");
}

// ---------------------------------------------------------------------------
// The exact reference used by the cross-checks below

TEST(ExactDecimal, ExpandsTheBinaryValue) {
  const exact::Decimal tenth = exact::exact_decimal(0.1f);
  EXPECT_EQ(tenth.digits, "100000001490116119384765625");
  EXPECT_EQ(tenth.scale, 27);
  const exact::Decimal max = exact::exact_decimal(std::numeric_limits<float>::max());
  EXPECT_EQ(max.digits, "340282346638528859811704183484516925440");
  EXPECT_EQ(max.scale, 0);
  const exact::Decimal tiny = exact::exact_decimal(from_bits(1));  // 2^-149
  EXPECT_EQ(tiny.scale, 149);
  EXPECT_EQ(tiny.digits.size(), 105u);
  EXPECT_EQ(tiny.digits.substr(0, 20), "14012984643248170709");
  EXPECT_EQ(tiny.digits.substr(tiny.digits.size() - 6), "203125");
  EXPECT_EQ(exact::exact_decimal(-0.0f).digits, "0");
}

TEST(ExactDecimal, RoundsHalfToEven) {
  bool tie = false;
  EXPECT_EQ(exact::drop_rounded("125", 1, &tie), "12");
  EXPECT_TRUE(tie);
  tie = false;
  EXPECT_EQ(exact::drop_rounded("135", 1, &tie), "14");
  EXPECT_TRUE(tie);
  tie = false;
  EXPECT_EQ(exact::drop_rounded("1251", 2, &tie), "13");
  EXPECT_FALSE(tie);
  EXPECT_EQ(exact::drop_rounded("9996", 1), "1000");
  EXPECT_EQ(exact::drop_rounded("5", 1), "0");
  EXPECT_EQ(exact::drop_rounded("51", 3), "0");
  EXPECT_EQ(exact::drop_rounded("12", -2), "1200");
  const exact::Scientific s = exact::round_scientific(exact::exact_decimal(0.01f), 6);
  EXPECT_EQ(s.digits, "100000");
  EXPECT_EQ(s.e, -1);
  const exact::Fixed f = exact::round_fixed(exact::exact_decimal(0.375f), 2);
  EXPECT_EQ(f.integer, "");
  EXPECT_EQ(f.fraction, "38");
}

// ---------------------------------------------------------------------------
// Cross-checks against the exact reference

// A general item with its limits, taken from the table or from the exact
// reference, never from the code under test.
struct Item {
  int w, d;
  exact::Limits limits;
};

Item g14_6_item() {
  return {14, 6, kG14_6Limits};
}
Item g10_3_item() {
  return {10, 3, kG10_3Limits};
}

// The general field worked out from the exact decimal expansion. `tie` is
// set when the rounding met an exact half.
std::string reference_general(const Item& item, float x, bool* tie = nullptr) {
  const int w = item.w;
  if (std::isnan(x) || std::isinf(x)) {
    std::string text = std::isnan(x) ? "NaN" : w > 7 ? "Infinity" : "Inf";
    if (std::isinf(x) && std::signbit(x)) text = w > 8 ? "-Infinity" : w >= 4 ? "-Inf" : "";
    if (w < 3 || text.empty()) return std::string(static_cast<std::size_t>(w), '*');
    return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + text;
  }
  const bool negative = std::signbit(x);
  const std::uint32_t m = to_bits(x) & 0x7FFFFFFFu;
  const exact::Decimal e = exact::exact_decimal(x);
  if (m == 0 || !exact::takes_exponent_form(item.limits, m)) {
    const int q = m == 0 ? (item.d > 0 ? item.d - 1 : 0) : exact::fixed_decimals(item.limits, m);
    const exact::Fixed f = exact::round_fixed(e, q, tie);
    return exact::layout(w, negative, f.integer, f.fraction, "    ");
  }
  if (item.d == 0) return std::string(static_cast<std::size_t>(w), '*');
  const exact::Scientific s = exact::round_scientific(e, item.d, tie);
  const std::string tail = exact::exponent_text(s.e);
  if (tail.empty()) return std::string(static_cast<std::size_t>(w), '*');
  return exact::layout(w, negative, "", s.digits, tail);
}

// Compares the field with the reference for every value; reports the first
// few differences and returns how many rounding ties were met.
int cross_check(const Item& item, const std::vector<std::uint32_t>& values) {
  int failures = 0;
  int ties = 0;
  for (std::uint32_t bits : values) {
    const float x = from_bits(bits);
    bool tie = false;
    const std::string want = reference_general(item, x, &tie);
    ties += tie ? 1 : 0;
    const std::string got = general(item.w, item.d, x);
    if (got != want && ++failures <= 10) {
      ADD_FAILURE() << "g" << item.w << "." << item.d << " of bits " << std::hex << bits
                    << ": got \"" << got << "\", want \"" << want << "\"";
    }
  }
  EXPECT_EQ(failures, 0) << "g" << item.w << "." << item.d;
  return ties;
}

constexpr int kRandomCount = test_support::kSanitized ? 250000 : 1000000;

TEST(GeneralFieldCrossCheck, RandomBitPatterns) {
  std::mt19937 random(20240603u);
  std::vector<std::uint32_t> values(kRandomCount);
  for (std::uint32_t& v : values) v = static_cast<std::uint32_t>(random());
  cross_check(g14_6_item(), values);
  cross_check(g10_3_item(), values);
}

TEST(GeneralFieldCrossCheck, RandomValuesInTheFixedRange) {
  // Uniform bit patterns seldom fall between 0.05 and 2e6; these all do.
  std::mt19937 random(77u);
  std::vector<std::uint32_t> values(kRandomCount / 4);
  std::uniform_int_distribution<std::uint32_t> field(122, 148);
  for (std::uint32_t& v : values) {
    v = (static_cast<std::uint32_t>(random()) & 0x807FFFFFu) | (field(random) << 23);
  }
  cross_check(g14_6_item(), values);
  cross_check(g10_3_item(), values);
}

TEST(GeneralFieldCrossCheck, ShortBinaryValuesMeetTies) {
  // Values with few mantissa bits have short decimal expansions, so many of
  // them stop exactly one digit past the kept ones.
  std::mt19937 random(5u);
  std::vector<std::uint32_t> values(kRandomCount / 5);
  std::uniform_int_distribution<std::uint32_t> field(100, 170);
  std::uniform_int_distribution<int> kept_bits(0, 14);
  for (std::uint32_t& v : values) {
    const std::uint32_t mask = ~((1u << (23 - kept_bits(random))) - 1u) & 0x7FFFFFu;
    v = (static_cast<std::uint32_t>(random()) & (0x80000000u | mask)) | (field(random) << 23);
  }
  const int ties14 = cross_check(g14_6_item(), values);
  const int ties10 = cross_check(g10_3_item(), values);
  RecordProperty("ties_g14_6", ties14);
  RecordProperty("ties_g10_3", ties10);
  EXPECT_GT(ties14, kRandomCount / 500) << ties14;
  EXPECT_GT(ties10, kRandomCount / 500) << ties10;
}

TEST(GeneralFieldCrossCheck, AroundEveryLimit) {
  for (const Item& item : {g14_6_item(), g10_3_item()}) {
    std::vector<std::uint32_t> limits = item.limits.decade;
    limits.push_back(item.limits.lower);
    limits.push_back(to_bits(from_bits(item.limits.power) - 0.5f));
    std::vector<std::uint32_t> values;
    for (std::uint32_t limit : limits) {
      for (int step = -4; step <= 4; ++step) {
        const std::uint32_t bits = limit + static_cast<std::uint32_t>(step);
        values.push_back(bits);
        values.push_back(bits | 0x80000000u);
      }
    }
    cross_check(item, values);
  }
}

TEST(GeneralFieldCrossCheck, EveryDigitCountAtTheWidthBoundaries) {
  // Limits, digits and layout for any d from the exact reference. The
  // widths around the exact length needed, and the extremes, probe both the
  // layout and the buffers.
  const float values[] = {
      0.0f,       -0.0f,  0.3f,  -0.0996f,      1234.5678f,
      9999999.0f, 1e-10f, 1e30f, from_bits(1u), -std::numeric_limits<float>::max()};
  int failures = 0;
  for (int d = 0; d <= kNumberFieldLimit; ++d) {
    Item item{0, d, exact::form_limits(d)};
    for (float x : values) {
      item.w = 256;
      const std::string wide = reference_general(item, x);
      const int needed = static_cast<int>(wide.size() - wide.find_first_not_of(' '));
      for (int w :
           {1, 2, 3, 4, 5, needed - 2, needed - 1, needed, needed + 1, needed + 2, 255, 256}) {
        if (w < 1 || w > 256) continue;
        item.w = w;
        const std::string want = reference_general(item, x);
        const std::string got = general(w, d, x);
        if (got != want && ++failures <= 10) {
          ADD_FAILURE() << "g" << w << "." << d << " of " << x << ": got \"" << got << "\", want \""
                        << want << "\"";
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(GeneralFieldCrossCheck, EveryWidthForLongFields) {
  const float values[] = {-std::numeric_limits<float>::max(), from_bits(1u), -0.0f, 0.3f};
  int failures = 0;
  for (int d : {0, 1, 37, 38, 39, 250, 256}) {
    Item item{0, d, exact::form_limits(d)};
    for (float x : values) {
      for (int w = 1; w <= 256; ++w) {
        item.w = w;
        if (general(w, d, x) != reference_general(item, x) && ++failures <= 10) {
          ADD_FAILURE() << "g" << w << "." << d << " of " << x;
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(FixedNumberFieldCrossCheck, RandomValuesAndItems) {
  std::mt19937 random(31u);
  std::uniform_int_distribution<std::uint32_t> field(0, 254);
  std::uniform_int_distribution<int> digits(0, 12);
  std::uniform_int_distribution<int> width(1, 60);
  int failures = 0;
  for (int i = 0; i < kRandomCount / 10; ++i) {
    const std::uint32_t bits =
        (static_cast<std::uint32_t>(random()) & 0x807FFFFFu) | (field(random) << 23);
    const float x = from_bits(bits);
    const int d = digits(random);
    const int w = width(random);
    const exact::Fixed f = exact::round_fixed(exact::exact_decimal(x), d);
    const std::string want = exact::layout(w, std::signbit(x), f.integer, f.fraction, "");
    const std::string got = fixed(w, d, x);
    if (got != want && ++failures <= 10) {
      ADD_FAILURE() << "f" << w << "." << d << " of bits " << std::hex << bits << ": got \"" << got
                    << "\", want \"" << want << "\"";
    }
  }
  EXPECT_EQ(failures, 0);
}

// ---------------------------------------------------------------------------

TEST(GeneralField, LeavesTheExceptionFlagsAlone) {
  // The run reports these flags when it stops; a field must add none.
  const float values[] = {0.0f,    1234.5678f, from_bits(1u), std::numeric_limits<float>::max(),
                          -1e-40f, 999999.5f};
  std::vector<char> field(256);
  std::feclearexcept(FE_ALL_EXCEPT);
  for (int d = 0; d <= kNumberFieldLimit; d += 1) {
    for (float x : values) {
      get_float_string(field.data(), 256, d, x);
      get_fixed_string(field.data(), 256, d, x);
    }
  }
  EXPECT_EQ(std::fetestexcept(FE_OVERFLOW | FE_UNDERFLOW | FE_INVALID | FE_DIVBYZERO), 0);
  std::feraiseexcept(FE_OVERFLOW);
  get_float_string(field.data(), 14, 6, 1.0f);
  EXPECT_NE(std::fetestexcept(FE_OVERFLOW), 0);  // flags raised earlier stay raised
  std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace
}  // namespace wexla
