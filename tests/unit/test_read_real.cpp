// The real number input field: the table of accepted and refused texts
// through every path (a record, a line's columns, a typed line), implied
// decimals, the rounding mode and flags of the conversion, and the report
// of a refused field. Random fields against an exact reference are the
// fuzz target's (fuzz/check_read_real.cpp), whose kept inputs
// test_fuzz_regressions.cpp replays.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "textio/files/closing.hpp"
#include "textio/numbers/read_real.hpp"
#include "textio/records/record.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::as_a_run;
using testing_support::ScratchFolder;

constexpr std::uint32_t kRefused = 0xDEADBEEF;  // marks a refused field
constexpr int kFileUnit = 21;

struct Row {
  std::string field;  // the field's leading text; the rest of the 14 characters is blank
  std::uint32_t bits;
};

// Every example of the number reader, valid wherever the field stands.
const Row kRows[] = {
    {"", 0x00000000},
    {"12", 0x41400000},
    {"  12", 0x41400000},
    {"1 2", 0x41400000},
    {"-12", 0xC1400000},
    {"- 12", 0xC1400000},
    {"-", 0x00000000},
    {"+", 0x00000000},
    {"-0", 0x80000000},
    {"-.", 0x80000000},
    {"1.5", 0x3FC00000},
    {".5", 0x3F000000},
    {"5.", 0x40A00000},
    {".", 0x00000000},
    {"1.5e3", 0x44BB8000},
    {"1.5E+3", 0x44BB8000},
    {"1.5d3", 0x44BB8000},
    {"1.5Q3", 0x44BB8000},
    {"1.5+3", 0x44BB8000},
    {"1.5e 3", 0x44BB8000},
    {"1.5-3", 0x3AC49BA6},
    {"1e-5", 0x3727C5AC},
    {"1.-5", 0x3727C5AC},
    {"0.001", 0x3A83126F},
    {"123.4567", 0x42F6E9D5},
    {"12345678901234", 0x5533A73D},
    {"E5", 0x00000000},
    {"5e- ", 0x40A00000},
    {"5- ", 0x40A00000},
    {"1e+ ", 0x3F800000},
    {"3.4028235e38", 0x7F7FFFFF},
    {"3.4028236e38", 0x7F800000},
    {"1e39", 0x7F800000},
    {"1e9999", 0x7F800000},
    {"-1e39", 0xFF800000},
    {"1e-45", 0x00000001},
    {"1e-46", 0x00000000},
    {"-1e-46", 0x80000000},
    {"inf", 0x7F800000},
    {"INF", 0x7F800000},
    {"Infinity", 0x7F800000},
    {"+inf", 0x7F800000},
    {"-inf", 0xFF800000},
    {"- Infinity", 0xFF800000},
    {"nan", 0x7FC00000},
    {"NaN", 0x7FC00000},
    {"nan(q1)", 0x7FC00000},
    {"nan()", 0x7FC00000},
    {"-nan", 0xFFC00000},
    {"inf x1", 0x7F800000},
    {"1.2.3", kRefused},
    {"12abc", kRefused},
    {"1e", kRefused},
    {"1e  ", kRefused},
    {"\t5", kRefused},
    {"in", kRefused},
    {"infx", kRefused},
    {"inf(x)", kRefused},
    {"nan(", kRefused},
    {"nan(a b)", kRefused},
    {"1e10000", kRefused},
    {"1e-10000", kRefused},
    {"1/2", kRefused},
    {"\xC3\xA9", kRefused},
};

std::string padded(const std::string& text, std::size_t width) {
  std::string field = text;
  field.resize(width, ' ');
  return field;
}

std::string describe(std::uint32_t bits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", bits);
  return text;
}

std::uint32_t read_direct(const std::string& field) {
  float value = std::bit_cast<float>(kRefused);
  if (!read_real_field(field, 0, value)) return kRefused;
  return std::bit_cast<std::uint32_t>(value);
}

TEST(RealField, ExamplesInAFourteenCharacterRecord) {
  for (const Row& row : kRows) {
    EXPECT_EQ(describe(read_direct(padded(row.field, 14))), describe(row.bits))
        << "field '" << row.field << "'";
  }
}

TEST(RealField, ExamplesInColumnsFourteenToTwentySevenOfALine) {
  constexpr Format kWssField = WEXLA_FORMAT("(13x,g14.0)");
  for (const Row& row : kRows) {
    if (row.bits == kRefused) continue;  // refusals end the run; covered below
    // Characters 1-13 and 28-80 hold text that must not be read.
    std::string line = padded("Final WSS  = " + padded(row.field, 14) + "9999 trailing", 80);
    float value = std::bit_cast<float>(kRefused);
    read_record(std::span<const char>(line.data(), line.size()), kWssField, value);
    EXPECT_EQ(describe(std::bit_cast<std::uint32_t>(value)), describe(row.bits))
        << "field '" << row.field << "'";
  }
}

TEST(RealField, ExamplesTypedAsALine) {
  constexpr Format kPercent = WEXLA_FORMAT("(f14.0)");
  ScratchFolder dir;
  for (const Row& row : kRows) {
    if (row.bits == kRefused) continue;
    // Typed lines carry the trailing blanks of the table rows only where
    // the row needs them (a sign followed by blanks).
    testing_support::open_with_content(dir, kFileUnit, padded(row.field, 14) + "\nnext\n");
    float value = std::bit_cast<float>(kRefused);
    read_record(kFileUnit, kPercent, value);
    EXPECT_EQ(describe(std::bit_cast<std::uint32_t>(value)), describe(row.bits))
        << "field '" << row.field << "'";
  }
  close_connection(kFileUnit);
}

TEST(RealField, TypedLineEndsTheField) {
  // At a terminal the field ends at the line end or at a comma.
  struct Case {
    std::string line;
    std::optional<std::uint32_t> bits;
  } cases[] = {
      {"1,5\n", 0x3F800000},
      {"12\n", 0x41400000},
      {"\n", 0x00000000},
      {"-\n", 0x00000000},
      {"5-\n", std::nullopt},
      {"1e+\n", std::nullopt},
      {"1e\n", std::nullopt},
      {"5\r\n", 0x40A00000},
      {"5\r", 0x40A00000},
      {"5", 0x40A00000},
      {",7\n", 0x00000000},
      // Only 14 characters are read; the rest of the line is skipped.
      {"12345678901234567\n", 0x5533A73D},
      {"00000000000005xyz\n", 0x40A00000},
  };
  constexpr Format kPercent = WEXLA_FORMAT("(f14.0)");
  ScratchFolder dir;
  for (const Case& c : cases) {
    std::string field;
    if (c.bits) {
      testing_support::open_with_content(dir, kFileUnit, c.line);
      float value = 0;
      read_record(kFileUnit, kPercent, value);
      EXPECT_EQ(describe(std::bit_cast<std::uint32_t>(value)), describe(*c.bits)) << c.line;
    } else {
      // The field the terminal hands over is the line without its end.
      EXPECT_FALSE([&] {
        float value = 0;
        return read_real_field(c.line.substr(0, c.line.size() - 1), 0, value);
      }()) << c.line;
    }
  }
  close_connection(kFileUnit);
}

TEST(RealField, CommaInsideARecordIsRefused) {
  EXPECT_EQ(read_direct(padded("1,5", 14)), kRefused);
}

TEST(RealField, RefusalLeavesTheTargetUnchanged) {
  float value = 42.0f;
  EXPECT_FALSE(read_real_field("12abc", 0, value));
  EXPECT_EQ(value, 42.0f);
}

TEST(RealField, ImpliedDecimalsApplyOnlyWithoutAPoint) {
  float value = 0;
  ASSERT_TRUE(read_real_field("1234", 2, value));
  EXPECT_EQ(value, 12.34f);
  ASSERT_TRUE(read_real_field("12.5", 2, value));
  EXPECT_EQ(value, 12.5f);
  ASSERT_TRUE(read_real_field("5e1", 1, value));
  EXPECT_EQ(value, 5.0f);
}

TEST(RealField, ConversionRoundsToNearestWhateverTheMode) {
  std::fesetround(FE_UPWARD);
  float value = 0;
  convert_real("0.1", value);
  int mode = std::fegetround();
  std::fesetround(FE_TONEAREST);
  EXPECT_EQ(describe(std::bit_cast<std::uint32_t>(value)), "0x3DCCCCCD");
  EXPECT_EQ(mode, FE_UPWARD);  // the caller's mode is restored
}

TEST(RealField, OverflowAndUnderflowRaiseTheirFlags) {
  float value = 0;
  std::feclearexcept(FE_ALL_EXCEPT);
  ASSERT_TRUE(read_real_field("1e39", 0, value));
  EXPECT_TRUE(std::fetestexcept(FE_OVERFLOW));
  std::feclearexcept(FE_ALL_EXCEPT);
  ASSERT_TRUE(read_real_field("1e-46", 0, value));
  EXPECT_TRUE(std::fetestexcept(FE_UNDERFLOW));
  std::feclearexcept(FE_ALL_EXCEPT);
  ASSERT_TRUE(read_real_field("12.5", 0, value));
  EXPECT_FALSE(std::fetestexcept(FE_OVERFLOW | FE_UNDERFLOW | FE_INVALID));
}

TEST(RealFieldDeathTest, RefusedFieldInARecordEndsTheRun) {
  constexpr Format kPercent = WEXLA_FORMAT("(f14.0)");
  std::string record = padded("12abc", 40);
  EXPECT_EXIT(as_a_run([&] {
                float value = 0;
                read_record(std::span<const char>(record.data(), record.size()), kPercent, value);
              }),
              testing::ExitedWithCode(2),
              "At line [0-9]+ of file test_read_real.cpp\n"
              "Wexla run-time error: Bad value during floating point read\n\n"
              "Error termination. Backtrace:\n#0 ");
}

}  // namespace
}  // namespace wexla
