// The exact reference for the nearest single-precision value of a decimal
// text, checked against known values.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "nearest_binary32.hpp"
#include "real_oracle.hpp"

namespace wexla::fuzz {
namespace {

// 2^-149, 2^-150 and 2^-126 - 2^-150 written out in decimal: 5^149 / 10^149,
// 5^150 / 10^150 and (2^24 - 1) * 5^150 / 10^150.
const std::string kLeastSubnormal =
    "140129846432481707092372958328991613128026194187651577175706828388979108268586060148663818836"
    "212158203125";
const std::string kHalfLeastSubnormal =
    "700649232162408535461864791644958065640130970938257885878534141944895541342930300743319094181"
    "060791015625";
const std::string kBelowLeastNormalByHalf =
    "117549428075736429172788299103576651332285899275899042768296311842500306496517303855853242566"
    "80905818939208984375";

struct Row {
  std::string digits;
  long long scale;
  bool negative;
  std::uint32_t bits;
};

const Row kRows[] = {
    // zero, with and without its sign, however written
    {"", 0, false, 0x00000000},
    {"000", 7, false, 0x00000000},
    {"0", -3, true, 0x80000000},
    // exact values; trailing and leading zeros move nothing
    {"1", 0, false, 0x3F800000},
    {"1000", -3, false, 0x3F800000},
    {"0001", 0, false, 0x3F800000},
    {"15", -1, true, 0xBFC00000},
    {"16777216", 0, false, 0x4B800000},
    // nearest, below and above 2^24 where the spacing is 2: ties go to the even mantissa
    {"16777217", 0, false, 0x4B800000},
    {"16777218", 0, false, 0x4B800001},
    {"16777219", 0, false, 0x4B800002},
    {"1677721700000000000000000000001", -23, false, 0x4B800001},
    {"1", -1, false, 0x3DCCCCCD},
    {"10000000000000000000000000000000000000001", -40, false, 0x3F800000},
    // the top: the largest finite value, the tie above it (odd mantissa, so up), 10^38
    {"340282346638528859811704183484516925440", 0, false, 0x7F7FFFFF},
    {"340282356779733661637539395458142568447", 0, false, 0x7F7FFFFF},
    {"340282356779733661637539395458142568448", 0, false, 0x7F800000},
    {"340282356779733661637539395458142568448", 0, true, 0xFF800000},
    {"1", 38, false, 0x7E967699},
    {"1", 39, false, 0x7F800000},
    {"99999", 9999, true, 0xFF800000},
    // the bottom: subnormals, the ties at half the least one and below the least normal
    {kLeastSubnormal, -149, false, 0x00000001},
    {kHalfLeastSubnormal, -150, false, 0x00000000},
    {kHalfLeastSubnormal + "1", -151, false, 0x00000001},
    {kHalfLeastSubnormal, -150, true, 0x80000000},
    {kBelowLeastNormalByHalf, -150, false, 0x00800000},
    {"8", -46, false, 0x00000001},
    {"1", -46, false, 0x00000000},
    {"99999", -51, false, 0x00000000},
};

TEST(NearestBinary32, RoundsExactlyToNearestEven) {
  for (const Row& row : kRows) {
    EXPECT_EQ(nearest_binary32(row.digits, row.scale, row.negative), row.bits)
        << row.digits << "e" << row.scale << (row.negative ? " negative" : "");
  }
}

// The field reader's oracle hands the field's digits and exponent over
// unchanged: implied decimals, exponent letters and blanks.
TEST(NearestBinary32, OracleFieldsReachTheConversion) {
  struct FieldRow {
    std::string field;
    int d;
    std::uint32_t bits;
  };
  const FieldRow rows[] = {
      {"  1.5", 0, 0x3FC00000}, {"15", 1, 0x3FC00000},     {"-0.1", 0, 0xBDCCCCCD},
      {"1 D 1", 0, 0x41200000}, {"3.5E38", 0, 0x7F800000}, {"1.E-46", 0, 0x00000000},
  };
  for (const FieldRow& row : rows) {
    OracleReal got = oracle_read_real(row.field, row.d);
    EXPECT_TRUE(got.accepted) << row.field;
    EXPECT_EQ(got.bits, row.bits) << row.field;
  }
}

}  // namespace
}  // namespace wexla::fuzz
