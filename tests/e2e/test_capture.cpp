// The best fit's section in BEST.OUT, by way of the scratch file and cp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.hpp"
#include "results_file.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

struct Outcome {
  RunResult run;
  std::string best;       // BEST.OUT at the end
  std::string best_seen;  // BEST.OUT when the editor ran
  bool scratch_left;
};

Outcome run_on(const std::string& text, const std::string& old_best = "") {
  Sandbox box;
  box.write("run1.OUT", text);
  if (!old_best.empty()) box.write("BEST.OUT", old_best);
  Outcome o;
  o.run = expect_run(box, {"run1", "5"}, "\n", {});
  o.best = box.exists("BEST.OUT") ? box.read("BEST.OUT") : "<none>";
  o.best_seen = box.exists("bbedit.BEST") ? box.read("bbedit.BEST") : "<none>";
  o.scratch_left = box.exists("temp.OUT");
  return o;
}

TEST(Capture, OneFitIsCopiedAtTheEnd) {
  // The lines before the first header are dropped.
  Results r;
  r.line("preamble 1").line("preamble 2").section("12.5");
  Outcome o = run_on(r.text());
  Results section;
  section.section("12.5");
  EXPECT_EQ(o.best, records(section.text()));
  EXPECT_EQ(o.best_seen, o.best);
  EXPECT_FALSE(o.scratch_left);
}

TEST(Capture, BestSectionIsCopiedWhereverItStands) {
  const struct {
    const char* what;
    std::vector<std::string> before;  // the WSS of the sections before the best
    std::string best;
    std::vector<std::string> after;
  } cases[] = {
      {"between others", {"20.25", "12.5", "15"}, "8.75", {"30"}},
      {"last", {"20.25", "12.5"}, "1.5", {}},
      {"first of several", {}, "1.5", {"20.25", "12.5"}},
  };
  for (const auto& c : cases) {
    Results before, best, after;
    for (const std::string& wss : c.before) before.section(wss);
    best.section(c.best);
    for (const std::string& wss : c.after) after.section(wss);
    Outcome o = run_on(before.text() + best.text() + after.text());
    EXPECT_EQ(o.best, records(best.text())) << c.what;
    EXPECT_EQ(o.best_seen, o.best) << c.what;
  }
}

TEST(Capture, ClosingStatisticsTwoAboveAHeaderKeepTheSection) {
  // The second header stands two lines below "MAE  =": the fit after it
  // belongs to the first section, which is copied whole.
  Results first, last;
  first.header().fit("12.5").line("").closing().header().fit("20.25").line("");
  last.section("30");
  Outcome o = run_on(first.text() + last.text());
  EXPECT_EQ(o.best, records(first.text()));
  EXPECT_NE(o.run.out.find(table_line(2, true, "   20.2500    ", "   12.5000    ")),
            std::string::npos);
}

TEST(Capture, ClosingStatisticsWithOneBlankDoNotBlock) {
  // "MAE =" with a single blank is not the closing statistics' key.
  Results first, second;
  first.header().fit("12.5").line("").line(" MAE =  0.04").line(" more statistics");
  second.header().fit("20.25");
  Outcome o = run_on(first.text() + second.text());
  EXPECT_EQ(o.best, records(first.text()));
  EXPECT_NE(o.run.out.find(table_line(2, false, "   20.2500    ", "   12.5000    ")),
            std::string::npos);
}

TEST(Capture, NoQualifyingHeaderCopiesTheWholeFile) {
  Results r;
  r.line("preamble").fit("12.5").line("tail");
  Outcome o = run_on(r.text());
  EXPECT_EQ(o.best, records(r.text()));
}

TEST(Capture, NoFitLeavesAnOldBestUntouched) {
  Outcome o = run_on(Results().header().line("nothing").text(), "old best\n");
  EXPECT_EQ(o.best, "old best\n");
  EXPECT_EQ(o.best_seen, "old best\n");
  EXPECT_FALSE(o.scratch_left);
}

TEST(Capture, NoFitBelowTheInitialBestWritesNothing) {
  Outcome o = run_on(Results().section("1e30").section("2e30").text());
  EXPECT_EQ(o.best, "<none>");
}

TEST(Capture, LongEmptyAndTabbedLinesBecomeEightyCharacters) {
  std::string long_line(100, 'L');
  Results r;
  r.header().line(long_line).line("").line("a\tb").fit("12.5");
  Outcome o = run_on(r.text());
  EXPECT_EQ(o.best, records(r.text()));
  EXPECT_NE(o.best.find(std::string(80, 'L') + "\n"), std::string::npos);
}

TEST(Capture, LineEndsOfEveryKindGiveTheSameResult) {
  Results r;
  r.section("20.25").section("12.5").section("15");
  std::string lf = r.text();
  Outcome expected = run_on(lf);
  for (const char* end : {"\r\n", "\r"}) {
    std::string text;
    for (char c : lf) text += c == '\n' ? std::string(end) : std::string(1, c);
    Outcome o = run_on(text);
    EXPECT_EQ(o.run.out, expected.run.out) << "line end " << (end[1] ? "CRLF" : "CR");
    EXPECT_EQ(o.best, expected.best);
  }
  // A last line without its line feed is still read.
  Outcome unfinished = run_on(lf.substr(0, lf.size() - 1));
  EXPECT_EQ(unfinished.run.out, expected.run.out);
  EXPECT_EQ(unfinished.best, expected.best);
}

TEST(Capture, EmptyResultsFile) {
  Outcome o = run_on("");
  EXPECT_EQ(o.run.out, no_fit_screen());
  EXPECT_EQ(o.best, "<none>");
}

TEST(Capture, CommandOutputFollowsTheProgramText) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  box.write_script("bin/cp", "echo cp ran; exec /bin/cp \"$@\"\n");
  box.write_script("bin/rm", "echo rm ran; exec /bin/rm \"$@\"\n");
  const std::string screen = banner() + table_heading() + table_line(1, true, k12_5, k12_5) +
                             "cp ran\n" + "\n WSS within   5.00    % of best     1\nrm ran\n" +
                             "bbedit ran\n\n Press return to finish\n";
  expect_run(box, {"run1", "5"}, "\n", {.out = screen, .what = "to a pipe"});
  expect_run(box, {"run1", "5"}, RunOptions{.input = "\n", .stdout_to_file = true},
             {.files = {{"stdout.txt", screen}}, .what = "to a file"});
}

TEST(Capture, ResultsFileThatIsTheScratchFileIsRefused) {
  const struct {
    const char* name;
    const char* locus;
  } cases[] = {{"temp", "capture.cpp (unit = 11)"}, {"WexlaP", "summary.cpp"}};
  for (const auto& c : cases) {
    Sandbox box;
    std::string text = Results().section("12.5").text();
    std::string file = std::string(c.name) + ".OUT";
    box.write(file, text);
    expect_run(box, {c.name, "5"}, "\n",
               {.status = 2,
                .out = banner() + table_heading(),
                .report = report(
                    c.locus, "Cannot open file '" + file + "': it is the results file being read"),
                .files = {{file, text}},  // not a byte lost
                .what = c.name});
  }
}

}  // namespace
}  // namespace e2e
