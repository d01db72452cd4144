// The best fit's section in BEST.OUT, by way of the scratch file and cp.
#include <gtest/gtest.h>

#include <string>

#include "harness.hpp"
#include "results_file.hpp"

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
  o.run = box.run({"run1", "5"}, "\n");
  o.best = box.exists("BEST.OUT") ? box.read("BEST.OUT") : "<none>";
  o.best_seen = box.exists("bbedit.BEST") ? box.read("bbedit.BEST") : "<none>";
  o.scratch_left = box.exists("temp.OUT");
  return o;
}

TEST(Capture, OneFitIsCopiedAtTheEnd) {
  Results r;
  r.line("Lines before the first header").section("12.5");
  Outcome o = run_on(r.text());
  EXPECT_EQ(o.run.status, 0) << o.run.err;
  Results section;
  section.section("12.5");
  EXPECT_EQ(o.best, records(section.text()));
  EXPECT_EQ(o.best_seen, o.best);
  EXPECT_FALSE(o.scratch_left);
}

TEST(Capture, BetterLaterSectionReplacesTheEarlierOne) {
  Results before, best, after;
  before.section("20.25").section("12.5").section("15");
  best.section("8.75");
  after.section("30");
  Outcome o = run_on(before.text() + best.text() + after.text());
  EXPECT_EQ(o.best, records(best.text()));
  EXPECT_EQ(o.best_seen, o.best);
}

TEST(Capture, BestInTheLastSection) {
  Results all, best;
  best.section("1.5");
  all.section("20.25").section("12.5");
  Outcome o = run_on(all.text() + best.text());
  EXPECT_EQ(o.best, records(best.text()));
}

TEST(Capture, BestInTheFirstOfSeveralSections) {
  Results all, best;
  best.section("1.5");
  all.section("20.25").section("12.5");
  Outcome o = run_on(best.text() + all.text());
  EXPECT_EQ(o.best, records(best.text()));
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

TEST(Capture, LinesBeforeTheFirstHeaderAreDropped) {
  Results r;
  r.line("preamble 1").line("preamble 2").section("12.5");
  Outcome o = run_on(r.text());
  Results section;
  section.section("12.5");
  EXPECT_EQ(o.best, records(section.text()));
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
  EXPECT_EQ(o.run.status, 0);
  EXPECT_EQ(o.run.out, banner() + table_heading() + screen_tail("  5.00    ", 0));
  EXPECT_EQ(o.best, "<none>");
}

TEST(Capture, CommandOutputFollowsTheProgramText) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  box.write_script("bin/cp", "echo cp ran; exec /bin/cp \"$@\"\n");
  box.write_script("bin/rm", "echo rm ran; exec /bin/rm \"$@\"\n");
  for (bool to_file : {false, true}) {
    RunOptions options;
    options.input = "\n";
    options.stdout_to_file = to_file;
    RunResult r = box.run({"run1", "5"}, options);
    std::string out = to_file ? box.read("stdout.txt") : r.out;
    EXPECT_EQ(out, banner() + table_heading() +
                       table_line(1, true, "   12.5000    ", "   12.5000    ") + "cp ran\n" +
                       "\n WSS within   5.00    % of best     1\nrm ran\nbbedit ran\n\n"
                       " Press return to finish\n")
        << (to_file ? "to a file" : "to a pipe");
  }
}

TEST(Capture, ResultsFileThatIsTheScratchFileIsRefused) {
  for (const char* name : {"temp", "WexlaP"}) {
    Sandbox box;
    std::string text = Results().section("12.5").text();
    box.write(std::string(name) + ".OUT", text);
    RunResult r = box.run({name, "5"}, "\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, banner() + table_heading());
    std::string unit = std::string(name) == "temp" ? " (unit = 11)" : "";
    std::string file = std::string(name) == "temp" ? "capture.cpp" : "summary.cpp";
    EXPECT_EQ(normalize_report(r.err), "At line # of file " + file + unit +
                                           "\nWexla run-time error: Cannot open file '" + name +
                                           ".OUT': it is the results file being read\n\n"
                                           "Error termination. Backtrace:\n");
    EXPECT_EQ(box.read(std::string(name) + ".OUT"), text);  // not a byte lost
  }
}

}  // namespace
}  // namespace e2e
