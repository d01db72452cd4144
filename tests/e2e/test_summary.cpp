// The parameter summary "WexlaP.OUT": a numbered heading per fit and the
// first lines of its parameter block.
#include <gtest/gtest.h>

#include <string>

#include "harness.hpp"
#include "results_file.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

std::string heading(int heading_number, const std::string& wss_field) {
  char number[8];
  std::snprintf(number, sizeof number, "%03d", heading_number);
  return kModelHeading + " (" + number + ") WSS =" + wss_field + "\n";
}

std::string summary_of(const std::string& results_text, const std::string& old = "") {
  Sandbox box;
  box.write("run1.OUT", results_text);
  if (!old.empty()) box.write("WexlaP.OUT", old);
  expect_run(box, {"run1", "5"}, "\n", {});
  return box.exists("WexlaP.OUT") ? box.read("WexlaP.OUT") : "<none>";
}

TEST(Summary, HeadingAndBlockForEveryFit) {
  Results r;
  r.section("20.25").section("12.5");
  EXPECT_EQ(summary_of(r.text()),
            heading(1, k20_25) + summary_block() + heading(2, k12_5) + summary_block());
}

TEST(Summary, SeventhFitWithTwelveAndAHalf) {
  Results r;
  for (int i = 0; i < 6; ++i) r.section("20.25");
  r.section("12.5");
  std::string summary = summary_of(r.text());
  std::string expected = heading(7, k12_5);
  EXPECT_NE(summary.find(expected), std::string::npos) << summary;
  EXPECT_EQ(expected.substr(expected.size() - 27), " (007) WSS =   12.5000    \n");
}

TEST(Summary, HeadingCarriesTheWholeModelHeadingLine) {
  Results r;
  r.header().line(wss_line("12.5"));
  for (int i = 0; i < 7; ++i) r.line("filler");
  r.line("Fit 3: Model and Parameter Definition (two compartments)     ");
  r.line("a").line("b").line("c").line("d").line("e)").line("f");
  EXPECT_EQ(summary_of(r.text()),
            "Fit 3: Model and Parameter Definition (two compartments) (001) WSS =   12.5000    \n" +
                record80("a").substr(0, 38) + "\n" + record80("b").substr(0, 38) + "\n" +
                record80("c").substr(0, 38) + "\n" + record80("d").substr(0, 38) + "\n" +
                record80("e)").substr(0, 38) + "\n" + record80("f").substr(0, 38) + "\n");
}

TEST(Summary, BlockOfFiveLinesWhenTheFifthHasNoParenthesis) {
  Results r;
  r.header().fit("12.5", 1).line("").line("ignored");
  std::string blank38(38, ' ');
  std::string lines = summary_block(1);
  EXPECT_EQ(summary_of(r.text()), heading(1, k12_5) + lines + blank38 + "\n");
}

TEST(Summary, LongLinesAreCutAtThirtyEight) {
  Results r;
  r.header().line(wss_line("12.5"));
  for (int i = 0; i < 7; ++i) r.line("filler");
  r.line(kModelHeading);
  std::string long_line = std::string(50, 'x') + ")";
  for (int i = 0; i < 5; ++i) r.line(long_line);
  r.line("end");
  std::string summary = summary_of(r.text());
  std::string x38 = std::string(38, 'x') + "\n";
  EXPECT_EQ(summary,
            heading(1, k12_5) + x38 + x38 + x38 + x38 + x38 + record80("end").substr(0, 38) + "\n");
}

TEST(Summary, ModelHeadingInsideABlockStartsANewHeading) {
  Results r;
  r.header().line(wss_line("12.5")).line(wss_line("20.25"));
  for (int i = 0; i < 6; ++i) r.line("f)");
  r.line(kModelHeading).line(kModelHeading).line("x").line("y").line("z").line("w").line("v");
  EXPECT_EQ(summary_of(r.text()), heading(1, k12_5) + heading(2, k20_25) + "x" +
                                      std::string(37, ' ') + "\ny" + std::string(37, ' ') + "\nz" +
                                      std::string(37, ' ') + "\nw" + std::string(37, ' ') + "\nv" +
                                      std::string(37, ' ') + "\n");
}

TEST(Summary, OldFileIsCutAfterTheFirstRecord) {
  std::string old;
  for (int i = 0; i < 10; ++i) old += "old summary record " + std::to_string(i) + "\n";
  Results r;
  r.section("12.5");
  EXPECT_EQ(summary_of(r.text(), old), heading(1, k12_5) + summary_block());
}

TEST(Summary, NoModelHeadingKeepsAnOldFile) {
  std::string old;
  for (int i = 0; i < 10; ++i) old += "old summary record " + std::to_string(i) + "\n";
  EXPECT_EQ(summary_of(Results().header().line("no fit").text(), old), old);
  EXPECT_EQ(summary_of(Results().header().line("no fit").text()), "");
}

TEST(Summary, StopKeepsTheRecordsWrittenSoFar) {
  Sandbox box;
  Results r;
  r.header().fit("12.5").line("x").line(kModelHeading);
  box.write("run1.OUT", r.text());
  expect_run(box, {"run1", "5"}, "",
             {.files = {{"WexlaP.OUT", heading(1, k12_5) + summary_block()}}});
}

TEST(Summary, StandardErrorOnTheSummaryFileIsRefused) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  box.write("WexlaP.OUT", "old\n");
  expect_run(box, {"run1", "5"}, RunOptions{.input = "\n", .stderr_file = "WexlaP.OUT"},
             {.status = 2});
  EXPECT_EQ(normalize_report(box.read("WexlaP.OUT")),
            "old\n" + report("summary.cpp", "Cannot change STATUS parameter in OPEN statement"));
}

}  // namespace
}  // namespace e2e
