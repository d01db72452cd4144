// A copy of the best section that fails ends the run at once with status 2:
// no run that reports success leaves a wrong BEST.OUT. Each row makes one
// copy fail and checks the status, the report and every file afterwards;
// the section that could not be copied is always whole in temp.OUT.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const std::string kOldBest = "earlier best\n";
const std::string kWhat = "Cannot copy 'temp.OUT' to 'BEST.OUT': cp ";

// A cp stand-in that does its work at the first call and runs `failure`
// (shell text) at the second: the final copy fails, the mid-scan one not.
std::string fail_second_time(const std::string& failure) {
  return "if [ -e copied ]; then\n" + failure + "fi\n: > copied\nexec /bin/cp \"$@\"\n";
}

// Shell text that sends `signal` to the shell that ran the script, or to
// the script itself when that shell became the script (its parent is then
// the wexla process, whose id every run finds in its environment).
std::string kill_the_shell(const std::string& signal) {
  return "if [ \"$PPID\" = \"$" + std::string(kWexlaPidVariable) +
         "\" ]; then\n"
         "  kill -" +
         signal +
         " $$\n"
         "else\n"
         "  kill -" +
         signal +
         " $PPID\n"
         "fi\nexit 0\n";
}

// The shell may note the end of its command by SIGTERM, in its own words;
// nothing else comes before the report.
const Said kAtMostANoteOfTheSignal = {
    "nothing, or one line of the shell naming SIGTERM",
    [](const std::string& err) { return at_most_a_signal_note(err, SIGTERM); }};

// The shell says that it could not run the command `command`.
Said shell_said_not_run(const std::string& command, int code) {
  return {"the shell could not run " + command + ": " + host::error_text(code),
          [=](const std::string& err) { return shell_reported_not_run(err, command, code); }};
}

struct CopyFailure {
  const char* name;
  void (*arrange)(const Sandbox& box);
  bool final_copy;        // the copy at the end fails, not the one at the second header
  bool only_bin_on_path;  // PATH holds the folder's bin alone: no cp there
  bool as_nobody;         // file modes hold (as root: privileges dropped)
  // cp may write no more than this many bytes (0: no limit): BEST.OUT then
  // holds the start of the section.
  std::size_t cp_size_limit;
  std::string reason;              // after "...: cp "
  std::vector<Said> command_says;  // cp's or the shell's own messages; none: silence
};

const CopyFailure kCopyFailures[] = {
    {"StandInExitsWithOne",
     [](const Sandbox& box) { box.write_script("bin/cp", "exit 1\n"); },
     false,
     false,
     false,
     0,
     "ended with status 1",
     {}},
    {"StandInExitsWithThreeAtTheFinalCopy",
     [](const Sandbox& box) { box.write_script("bin/cp", fail_second_time("exit 3\n")); },
     true,
     false,
     false,
     0,
     "ended with status 3",
     {}},
    // The shell that ran the stand-in outlives it and tells of the signal
    // in its status (and may say "Terminated").
    {"StandInKilledBySignal",
     [](const Sandbox& box) { box.write_script("bin/cp", "kill -TERM $$\n"); },
     false,
     false,
     false,
     0,
     "was ended by signal 15",
     {kAtMostANoteOfTheSignal}},
    {"StandInInterruptedAtTheFinalCopy",
     [](const Sandbox& box) { box.write_script("bin/cp", fail_second_time("kill -INT $$\n")); },
     true,
     false,
     false,
     0,
     "was ended by signal 2",
     {}},
    // The shell itself is ended by the signal (or the stand-in, where the
    // shell became the command instead of waiting for it).
    {"ShellKilledBySignal",
     [](const Sandbox& box) { box.write_script("bin/cp", kill_the_shell("TERM")); },
     false,
     false,
     false,
     0,
     "was ended by signal 15",
     {}},
    {"ShellInterruptedAtTheFinalCopy",
     [](const Sandbox& box) {
       box.write_script("bin/cp", fail_second_time(kill_the_shell("INT")));
     },
     true,
     false,
     false,
     0,
     "was ended by signal 2",
     {}},
    // /bin/sh is still found; only the folder's bin is on PATH. The first
    // copy cannot run: the run ends there, before rm.
    {"MissingFromPath",
     [](const Sandbox&) {},
     false,
     true,
     false,
     0,
     "could not be run",
     // The shell's own words, which differ between shells.
     {shell_said_missing("cp")}},
    {"StandInNotExecutable",
     [](const Sandbox& box) {
       box.write_script("bin/cp", "exit 0\n");
       ::chmod(box.path("bin/cp").c_str(), 0644);
     },
     false,
     true,
     false,
     0,
     "could not be run",
     {shell_said_not_run("cp", EACCES)}},
    // cp cannot write BEST.OUT: the run ends before the editor sees it.
    {"ReadOnlyBest",
     [](const Sandbox& box) {
       box.write("BEST.OUT", kOldBest);
       ::chmod(box.path("BEST.OUT").c_str(), 0444);
     },
     false,
     false,
     true,
     0,
     "ended with status 1",
     {tool_said("cp", "BEST.OUT", EACCES)}},
    // cp may write no more than 512 bytes: it reports the refused write,
    // and so does the run.
    {"BestBeyondTheSizeLimitOfCp",
     [](const Sandbox& box) {
       box.write_script("bin/cp", "trap '' XFSZ\nulimit -f 1\nexec /bin/cp \"$@\"\n");
     },
     false,
     false,
     false,
     512,
     "ended with status 1",
     {tool_said("cp", "BEST.OUT", EFBIG)}},
};

void PrintTo(const CopyFailure& c, std::ostream* os) {
  *os << c.name;
}

class CopyFailureTest : public ::testing::TestWithParam<CopyFailure> {};

TEST_P(CopyFailureTest, EndsTheRunAndKeepsTheSection) {
  const CopyFailure& c = GetParam();
  if (c.as_nobody) SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  box.write_script("bin/bbedit", "echo \"$@\" > bbedit.args\necho bbedit ran\n");
  c.arrange(box);
  RunOptions options{.input = "\n", .as_nobody = c.as_nobody, .time_limit = 60};
  if (c.only_bin_on_path) options.path = box.path("bin").string();
  // The report comes at once: no count line, no editor, no final prompt.
  // The section that could not be copied is whole in the scratch file.
  std::string best = c.cp_size_limit > 0 ? records(two.first).substr(0, c.cp_size_limit)
                     : c.final_copy      ? records(two.first)
                                         : kOldBest;
  expect_run(
      box, {"run1", "5"}, options,
      {.status = 2,
       .out = banner() +
              (c.final_copy ? two.table() : table_heading() + table_line(1, true, k20_25, k20_25)),
       .report = report("capture.cpp", kWhat + c.reason),
       .said = c.command_says,
       .files = {{"temp.OUT", records(c.final_copy ? two.second : two.first)},
                 {"BEST.OUT", best},
                 {"WexlaP.OUT", c.final_copy ? two.summary() : two.first_summary()},
                 {"run1.OUT", two.text()},
                 {"bbedit.args", kAbsent}}});
}

INSTANTIATE_TEST_SUITE_P(Copy, CopyFailureTest, ::testing::ValuesIn(kCopyFailures),
                         [](const ::testing::TestParamInfo<CopyFailure>& info) {
                           return std::string(info.param.name);
                         });

TEST(Copy, SuccessfulCopiesLeaveTheRunAsItWas) {
  // A cp that succeeds at both copies: status 0, nothing on the error stream.
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write_script("bin/cp", "exec /bin/cp \"$@\"\n");
  expect_run(box, {"run1", "5"}, "\n",
             {.out = two.screen(),
              .err = "",
              .files = {{"BEST.OUT", records(two.second)}, {"temp.OUT", kAbsent}}});
}

TEST(Copy, FailingRemoveAndEditorAreNotExamined) {
  // rm and bbedit both fail; the run still ends with status 0.
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write_script("bin/rm", "exit 1\n");
  box.write_script("bin/bbedit", "echo bbedit ran\nkill -INT $$\n");
  expect_run(box, {"run1", "5"}, "\n",
             {.out = two.screen(),
              .err = "",
              .files = {{"BEST.OUT", records(two.second)}, {"temp.OUT", records(two.second)}}});
}

}  // namespace
}  // namespace e2e
