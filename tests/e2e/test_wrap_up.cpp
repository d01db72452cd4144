// The end of a run: the count within the percentage window, the commands,
// and the final prompt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.hpp"
#include "results_file.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

std::string count_line(const std::vector<std::string>& all_wss, const std::string& percent) {
  Sandbox box;
  Results r;
  for (const std::string& w : all_wss) r.section(w);
  box.write("run1.OUT", r.text());
  RunResult run = expect_run(box, {"run1", percent}, "\n", {});
  std::size_t at = run.out.find("\n WSS within");
  return at == std::string::npos ? run.out
                                 : run.out.substr(at + 1, run.out.find('\n', at + 1) - at);
}

TEST(Count, FitsWithinTheWindow) {
  struct Case {
    std::vector<std::string> all_wss;
    std::string percent;
    std::string line;
  } cases[] = {
      {{"10", "10.5", "12"}, "10", " WSS within   10.0    % of best     2\n"},
      {{"12", "10.5", "10"}, "10", " WSS within   10.0    % of best     2\n"},
      // 12 is not below 1.2 times 10: the comparison is strict.
      {{"10", "10.5", "12"}, "20", " WSS within   20.0    % of best     2\n"},
      {{"10", "10.5", "12"}, "21", " WSS within   21.0    % of best     3\n"},
      // 1 + 1e-8 is 1 in single precision: not even the best fit counts.
      {{"10", "10.5"}, "1e-6", " WSS within  0.100E-05% of best     0\n"},
      {{"10", "10.5"}, "1e-5", " WSS within  0.100E-04% of best     1\n"},
      {{"10", "10.5"}, "0", " WSS within  0.100E-02% of best     1\n"},
      {{"0", "5"}, "50", " WSS within   50.0    % of best     0\n"},
      {{}, "5", " WSS within   5.00    % of best     0\n"},
      {{"nan", "10"}, "5", " WSS within   5.00    % of best     1\n"},
      {{"10", "12"}, "nan", " WSS within        NaN% of best     0\n"},
      {{"10", "10"}, "5", " WSS within   5.00    % of best     2\n"},
      {{"-10", "-9"}, "5", " WSS within   5.00    % of best     0\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(count_line(c.all_wss, c.percent), c.line) << "percent " << c.percent;
  }
}

TEST(WrapUp, CommandsRunInOrderAndTheScratchFileGoes) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  box.write_script("bin/cp", "echo \"cp $*\" >> commands.log; exec /bin/cp \"$@\"\n");
  box.write_script("bin/rm", "echo \"rm $*\" >> commands.log; exec /bin/rm \"$@\"\n");
  box.write_script("bin/bbedit", "echo \"bbedit $*\" >> commands.log\n");
  expect_run(box, {"run1", "5"}, "\n",
             {.files = {{"commands.log", "cp temp.OUT BEST.OUT\nrm temp.OUT\nbbedit BEST.OUT\n"},
                        {"temp.OUT", kAbsent}}});
}

TEST(WrapUp, MissingEditorDoesNotStopTheRun) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  std::filesystem::remove(box.path("bin/bbedit"));
  RunResult r = expect_run(box, {"run1", "5"}, "\n",
                           {.out = banner() + table_heading() + table_line(1, true, k12_5, k12_5) +
                                   "\n WSS within   5.00    % of best     1\n\n Press return to "
                                   "finish\n"});
  EXPECT_NE(r.err.find("bbedit"), std::string::npos);  // the shell's own message
}

TEST(WrapUp, EndOfInputAtTheFinalPrompt) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  expect_run(box, {"run1", "5"}, "",
             {.status = 2,
              .out = one_fit_screen(),
              .report = report("wrap_up.cpp (unit = 5, file = 'stdin')", "End of file"),
              .files = {{"BEST.OUT", kPresent}}});
}

TEST(WrapUp, HundredFitsInSeveralSections) {
  // Ten sections of ten fits; the best (1.25) is fit 57, in section 6.
  Sandbox box;
  Results all, best_section;
  std::string summary;
  for (int s = 0; s < 10; ++s) {
    Results section;
    section.header();
    for (int f = 0; f < 10; ++f) {
      int n = s * 10 + f + 1;
      section.fit(n == 57 ? "1.25" : std::to_string(100 + n));
    }
    section.line("").closing().line("");
    all.line(section.text().substr(0, section.text().size() - 1));
    if (s == 5) best_section = section;
  }
  box.write("run1.OUT", all.text());
  RunResult r = expect_run(box, {"run1", "5"}, "\n", {});
  EXPECT_EQ(box.read("BEST.OUT"), records(best_section.text()));
  std::string wexlap = box.read("WexlaP.OUT");
  EXPECT_NE(wexlap.find(kModelHeading + " (057) WSS =   1.25000    \n"), std::string::npos);
  EXPECT_NE(wexlap.find(kModelHeading + " (100) WSS =   200.000    \n"), std::string::npos);
  EXPECT_EQ(wexlap.size(), 100 * (kModelHeading.size() + 27 + summary_block().size()));
  EXPECT_NE(r.out.find(table_line(57, true, "   1.25000    ", "   1.25000    ")),
            std::string::npos);
  EXPECT_NE(r.out.find(table_line(58, true, "   158.000    ", "   1.25000    ")),
            std::string::npos);
  EXPECT_NE(r.out.find(table_line(61, false, "   161.000    ", "   1.25000    ")),
            std::string::npos);
  EXPECT_NE(r.out.find(screen_tail("  5.00    ", 1)), std::string::npos);
}

}  // namespace
}  // namespace e2e
