// The fit table: one line per model heading, the best-so-far marks, the
// fields of unusual WSS values, and the stop on a file without "Final WSS".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.hpp"
#include "results_file.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

// g14.6 fields of more WSS values used below (12.5 and 20.25 are shared).
const std::string k15 = "   15.0000    ";
const std::string k8_75 = "   8.75000    ";
const std::string k1e30 = "  0.100000E+31";
const std::string k2e30 = "  0.200000E+31";
const std::string kZero = "   0.00000    ";
const std::string kMinusZero = "  -0.00000    ";
const std::string kNaN = "           NaN";

struct Fit {
  std::string wss_text;  // as it stands in characters 14 to 27
  bool marked;
  std::string wss_field, best;  // expected fields
};

// Runs one section per fit and checks the whole screen.
void expect_table(const std::vector<Fit>& fits, const std::string& percent_field, int count) {
  Sandbox box;
  Results results;
  for (const Fit& fit : fits) results.section(fit.wss_text);
  box.write("run1.OUT", results.text());
  std::string table;
  for (std::size_t i = 0; i < fits.size(); ++i) {
    table += table_line(static_cast<int>(i + 1), fits[i].marked, fits[i].wss_field, fits[i].best);
  }
  expect_run(
      box, {"run1", "5"}, "\n",
      {.out = banner() + table_heading() + table + screen_tail(percent_field, count), .err = ""});
}

TEST(FitTable, MarksTheBestSoFar) {
  expect_table({{"20.25", true, k20_25, k20_25},
                {"12.5", true, k12_5, k12_5},
                {"15", false, k15, k12_5},
                {"8.75", true, k8_75, k8_75}},
               "  5.00    ", 1);
}

TEST(FitTable, EqualWssIsNotANewBest) {
  // Each fit in its own section: the copy at the second header clears the mark.
  expect_table({{"12.5", true, k12_5, k12_5}, {"12.5", false, k12_5, k12_5}}, "  5.00    ", 2);
}

TEST(FitTable, InitialBestAndAbove) {
  // 1e30 itself lies below 1.05 times the initial best.
  expect_table({{"1e30", false, k1e30, k1e30}, {"2e30", false, k2e30, k1e30}}, "  5.00    ", 1);
}

TEST(FitTable, ZeroNegativeZeroAndBlankFields) {
  expect_table({{"-0", true, kMinusZero, kMinusZero},
                {"0", false, kZero, kMinusZero},
                {"", false, kZero, kMinusZero}},
               "  5.00    ", 0);
}

TEST(FitTable, NaNIsNeverANewBest) {
  expect_table(
      {{"nan", false, kNaN, k1e30}, {"12.5", true, k12_5, k12_5}, {"nan", false, kNaN, k12_5}},
      "  5.00    ", 1);
}

TEST(FitTable, SecondFitInTheBestSectionIsMarkedEvenIfWorse) {
  Sandbox box;
  Results results;
  results.header().fit("12.5").fit("20.25").line("").closing().line("");
  box.write("run1.OUT", results.text());
  expect_run(box, {"run1", "5"}, "\n",
             {.out = banner() + table_heading() + table_line(1, true, k12_5, k12_5) +
                     table_line(2, true, k20_25, k12_5) + screen_tail("  5.00    ", 1)});
}

TEST(FitTable, OnlyCharactersFourteenToTwentySevenAreRead) {
  Sandbox box;
  Results results;
  // The number straddles character 27: only "1234" of "12345" is read, and
  // "99" before character 14 is not read at all.
  results.header().line(" Final WSS99 " + std::string(10, ' ') + "12345 more").line("a").line("b");
  for (int i = 0; i < 5; ++i) results.line("filler");
  results.line(kModelHeading);
  box.write("run1.OUT", results.text());
  expect_run(
      box, {"run1", "5"}, "\n",
      {.out = banner() + table_heading() + table_line(1, true, "   1234.00    ", "   1234.00    ") +
              screen_tail("  5.00    ", 1)});
}

TEST(FitTable, BadWssFieldEndsTheRun) {
  Sandbox box;
  Results results;
  results.header().fit("12.5x");
  box.write("run1.OUT", results.text());
  expect_run(box, {"run1", "5"}, "\n",
             {.status = 2,
              .out = banner() + table_heading(),
              .report = report("fit_scan.cpp", "Bad value during floating point read")});
}

TEST(FitTable, NoModelHeadingPrintsNoLine) {
  Sandbox box;
  box.write("run1.OUT", Results().header().line(wss_line("12.5")).text());
  expect_run(box, {"run1", "5"}, "\n", {.out = no_fit_screen()});
}

TEST(FitTable, KeysAreMatchedWithExactCaseAndSpacing) {
  Sandbox box;
  Results results;
  results.header().fit("12.5");
  results.line(" model and parameter definition").line(" Model and  Parameter Definition");
  results.line(" Final  WSS").line(" FINAL OUTPUT FROM KALVOR");
  box.write("run1.OUT", results.text());
  expect_run(box, {"run1", "5"}, "\n", {.out = one_fit_screen()});
}

const std::string kNotNormal =
    " This file, run1.OUT, does not appear to have resulted from a normal fit\n\n";

TEST(FitTableStop, ModelHeadingWithoutFinalWss) {
  Sandbox box;
  Results results;
  results.header().fit("12.5").line("x").line(kModelHeading);
  box.write("run1.OUT", results.text());
  // No copy, no wrap-up: the scratch file stays, the editor never ran.
  expect_run(box, {"run1", "5"}, "\n",
             {.out = banner() + table_heading() + table_line(1, true, k12_5, k12_5) + kNotNormal,
              .err = "",
              .files = {{"BEST.OUT", kAbsent}, {"temp.OUT", kPresent}, {"bbedit.args", kAbsent}}});
}

TEST(FitTableStop, ModelHeadingAmongTheFirstEightLines) {
  Sandbox box;
  box.write("run1.OUT", Results().line(wss_line("1")).line(kModelHeading).text());
  expect_run(box, {"run1", "5"}, "", {.out = banner() + table_heading() + kNotNormal});
}

TEST(FitTableStop, MessageShowsTheNameAsEntered) {
  Sandbox box;
  box.write("run1.OUT", Results().line(kModelHeading).text());
  expect_run(box, {}, "run1.OUT\n5\n",
             {.out = banner() + kNamePrompt + kPercentPrompt + table_heading() +
                     " This file, run1.OUT.OUT, does not appear to have resulted from a "
                     "normal fit\n\n"});
}

TEST(FitTableStop, FloatingPointNotes) {
  // A stop ends the run as its normal end does, with a note of the
  // floating-point exceptions that were signalled.
  const std::string note = "Note: The following floating-point exceptions are signalling: ";
  Results nan_wss;
  nan_wss.header().fit("nan").line(kModelHeading);
  Results ordinary;
  ordinary.section("12.5").line(kModelHeading);
  const struct {
    const char* what;
    std::string results;
    std::string percent;
    std::string err;
  } cases[] = {
      {"a NaN percentage", Results().line(kModelHeading).text(), "nan",
       note + "IEEE_INVALID_FLAG\n"},
      {"overflow in the reader", Results().line(kModelHeading).text(), "1e39",
       note + "IEEE_OVERFLOW_FLAG\n"},
      {"a NaN WSS compared with the best", nan_wss.text(), "5", note + "IEEE_INVALID_FLAG\n"},
      {"no note for ordinary values", ordinary.text(), "12.5", ""},
  };
  for (const auto& c : cases) {
    Sandbox box;
    box.write("run1.OUT", c.results);
    expect_run(box, {"run1", c.percent}, "", {.err = c.err, .what = c.what});
  }
}

TEST(FitTable, MoreThanAThousandFits) {
  Sandbox box;
  Results results;
  results.header();
  for (int i = 0; i < 1002; ++i) results.fit(std::to_string(2000 - i));
  box.write("run1.OUT", results.text());
  RunResult r = expect_run(box, {"run1", "5"}, "\n", {});
  std::string last = table_line(1002, true, "   999.000    ", "   999.000    ");
  EXPECT_NE(r.out.find(table_line(999, true, "   1002.00    ", "   1002.00    ")),
            std::string::npos);
  EXPECT_NE(r.out.find(table_line(1000, true, "   1001.00    ", "   1001.00    ")),
            std::string::npos);
  // 999 to 1048 lie below 1.05 times the best.
  EXPECT_NE(r.out.find(last + screen_tail("  5.00    ", 50)), std::string::npos);
}

}  // namespace
}  // namespace e2e
