// The scanner passes over a line without searching it for the header and the
// heading key when the line lacks a byte that both keys hold. That must never
// pass over a line that holds either key.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scan/fit_scan.hpp"

namespace wexla {
namespace {

bool holds_a_key(const Line& line, const ScanKeys& keys) {
  return string_index(line.view(), keys.section_header_key) != 0 ||
         string_index(line.view(), keys.model_heading_key) != 0;
}

TEST(ScanKeys, TheProgramKeysShareAnUpperCaseByte) {
  FitScan scan;
  ScanKeys keys = trimmed_keys(scan);
  EXPECT_EQ(keys.section_header_key, "FINAL OUTPUT FROM Kalvor");
  EXPECT_EQ(keys.statistics_key, "MAE  =");
  EXPECT_EQ(keys.model_heading_key, "Model and Parameter Definition");
  ASSERT_TRUE(keys.has_common);
  EXPECT_EQ(keys.common, 'P');

  struct Case {
    const char* line;
    bool may_hold;
  } cases[] = {
      {"1                    FINAL OUTPUT FROM Kalvor  --  estimation step 1 of 7", true},
      {" Model and Parameter Definition      (fit 1)", true},
      {"    12.25       23.812      22.508         3.728    0.8936   obs flagged", false},
      {" Final WSS =       1432.871   (weighted sum of squares)", false},
      {" P", true},  // holds the byte but no key: searched, and found to hold none
      {"", false},
  };
  for (const Case& c : cases) {
    Line line{c.line};
    EXPECT_EQ(may_hold_key(line, keys), c.may_hold) << c.line;
  }
}

TEST(ScanKeys, KeysWithoutACommonByteOrEmptyPassOverNoLine) {
  FitScan scan;
  scan.section_header_key.assign("abc");
  scan.model_heading_key.assign("xyz");
  EXPECT_FALSE(trimmed_keys(scan).has_common);
  EXPECT_TRUE(may_hold_key(Line{"nothing here"}, trimmed_keys(scan)));

  // An all-blank key is found at position 1 of every line.
  scan.model_heading_key.assign("");
  ScanKeys keys = trimmed_keys(scan);
  EXPECT_FALSE(keys.has_common);
  EXPECT_TRUE(may_hold_key(Line{"nothing here"}, keys));
  EXPECT_TRUE(holds_a_key(Line{"nothing here"}, keys));
}

// Random keys and lines over a few letters: every line that holds a key
// must be kept for the search.
TEST(ScanKeys, NoLineHoldingAKeyIsPassedOver) {
  std::uint32_t state = 99;
  auto next = [&state] { return state = state * 1664525u + 1013904223u; };
  auto text = [&](std::size_t length) {
    std::string t(length, ' ');
    for (char& c : t) c = "abA 1"[(next() >> 16) % 5];
    return t;
  };
  int kept = 0;
  for (int round = 0; round < 20000; ++round) {
    FitScan scan;
    scan.section_header_key.assign(text(1 + next() % 3));
    scan.model_heading_key.assign(text(1 + next() % 3));
    ScanKeys keys = trimmed_keys(scan);
    Line line{text(next() % 12)};
    if (holds_a_key(line, keys)) {
      ASSERT_TRUE(may_hold_key(line, keys))
          << '"' << keys.section_header_key << "\" \"" << keys.model_heading_key << "\" \""
          << line.trimmed() << '"';
      ++kept;
    }
  }
  EXPECT_GT(kept, 1000);  // the rounds do hit keys
}

}  // namespace
}  // namespace wexla
