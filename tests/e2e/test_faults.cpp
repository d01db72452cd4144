// The fault matrix: full devices, files and folders without permission,
// the results file removed or replaced, commands missing, failing or
// interrupted. Each row checks the exit status, the report and what every
// file holds afterwards: nothing silently lost or half-written, and BEST.OUT
// always a whole earlier section or untouched. A copy to BEST.OUT that fails
// ends the run with status 2, leaving the section in temp.OUT.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
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
const std::string kOldSummary = "earlier summary\n";
const std::string kNoSpace = host::error_text(ENOSPC);
const std::string kTooLarge = host::error_text(EFBIG);
const std::string kDenied = host::error_text(EACCES);
const std::string kIsFolder = host::error_text(EISDIR);

// The scratch records from the first line of `text` up to and including
// the first model heading.
std::string records_to_first_heading(const std::string& text) {
  std::size_t at = text.find(kModelHeading);
  return records(text.substr(0, text.find('\n', at) + 1));
}

RunOptions options_with(const std::string& input = "\n", bool as_nobody = false) {
  RunOptions options;
  options.input = input;
  options.as_nobody = as_nobody;
  options.time_limit = 60;
  return options;
}

void set_mode(const Sandbox& box, const std::string& name, unsigned mode) {
  ::chmod(box.path(name).c_str(), mode);
}

// The screen up to the first fit's table line: where a run stops that
// fails at the first section change.
std::string screen_to_first_fit() {
  return banner() + table_heading() + table_line(1, true, k20_25, k20_25);
}

std::string copy_report(const std::string& how) {
  return report("capture.cpp", "Cannot copy 'temp.OUT' to 'BEST.OUT': cp " + how);
}

// A section of more than 51 records before its fit: the scratch file's
// first write comes before the first summary record.
std::string long_first_section() {
  Results r;
  r.header();
  for (int i = 0; i < 100; ++i) r.line(" iteration " + std::to_string(i));
  return r.fit("12.5").text();
}

// A section of 200 lines before its fit (12.5): more than 8 KiB of scratch
// records.
std::string long_second_section() {
  Results r;
  r.header();
  for (int i = 0; i < 200; ++i) r.line(" iteration " + std::to_string(i));
  return r.fit("12.5").text();
}

// One run on "run1.OUT" with the arguments "run1" and "5", in a folder set
// up by `arrange`, and everything it leaves.
struct Fault {
  const char* name = "";
  std::function<void(const Sandbox&)> arrange{};
  std::string results{};   // empty: the two sections
  bool as_nobody = false;  // file modes hold (as root: privileges dropped)
  unsigned umask_value = 022;
  bool stdout_to_file = false;    // standard output to "stdout.txt"
  bool only_bin_on_path = false;  // PATH holds the folder's bin alone
  unsigned long file_size_limit = 0;
  bool needs_dev_full = false;
  int status = 0;
  std::string out{};
  // The end of the normalized error stream (a report, or what a command
  // wrote); what comes before it must hold every message of `said`, and
  // be empty when there are none.
  std::string err{};
  std::vector<Said> said{};
  std::vector<std::pair<std::string, std::string>> files{};  // name, content or kAbsent
  std::vector<std::pair<std::string, unsigned>> modes{};     // name, permission bits
};

void PrintTo(const Fault& f, std::ostream* os) {
  *os << f.name;
}

// Twenty small sections, each fit a new best (WSS 99, 98, ...), under a
// size limit that the scratch file and every copy stay below while the
// summary file grows past it. The summary's records are written before
// each copy, so the write that crosses the limit is the one before copying
// the section of the fit whose records hold the limit's byte: that copy is
// not made, BEST.OUT keeps the section before, and the summary file keeps
// exactly the bytes below the limit.
Fault summary_beyond_the_size_limit() {
  constexpr std::size_t kLimit = 2048;
  std::vector<std::string> sections, fields;
  std::string text, summary, table = table_heading();
  std::size_t crossing = 0;  // index of the fit whose records cross the limit
  for (int i = 0; i < 20; ++i) {
    std::string wss = std::to_string(99 - i);
    sections.push_back(Results().section(wss).text());
    fields.push_back("   " + wss + ".0000    ");
    text += sections.back();
    char number[8];
    std::snprintf(number, sizeof number, "%03d", i + 1);
    std::string before = summary;
    summary += kModelHeading + " (" + number + ") WSS =" + fields.back() + "\n" + summary_block();
    if (before.size() <= kLimit && summary.size() > kLimit) crossing = static_cast<std::size_t>(i);
    if (crossing == 0 || static_cast<std::size_t>(i) <= crossing)
      table += table_line(i + 1, true, fields.back(), fields.back());
  }
  Fault f;
  f.name = "SummaryBeyondTheSizeLimitKeepsWholeSections";
  f.arrange = [](const Sandbox& box) { box.write("BEST.OUT", kOldBest); };
  f.results = text;
  f.file_size_limit = kLimit;
  f.status = 2;
  f.out = banner() + table;
  // The write is part of the flush before the copy; connection 0 shows no number.
  f.err = report("capture.cpp", kTooLarge);
  f.files = {{"WexlaP.OUT", summary.substr(0, kLimit)},
             {"temp.OUT", records(sections[crossing])},
             {"BEST.OUT", records(sections[crossing - 1])}};
  return f;
}

// Made when the tests are registered, after every shared text exists. A cp
// that fails (beyond its size limit, on a read-only BEST.OUT, missing from
// PATH) is a row of the table in test_copy_failures.cpp.
std::vector<Fault> faults() {
  const TwoSections kTwo;
  return {
      // --- Full devices ------------------------------------------------------
      {.name = "StandardOutputOnAFullDevice",
       .arrange =
           [](const Sandbox& box) {
             box.write("BEST.OUT", kOldBest);
             fs::create_symlink("/dev/full", box.path("stdout.txt"));
           },
       .stdout_to_file = true,
       .needs_dev_full = true,
       .status = 2,
       .err = report("dialogue.cpp (unit = 6, file = 'stdout')", kNoSpace),
       .files = {{"temp.OUT", kAbsent},
                 {"WexlaP.OUT", kAbsent},
                 {"BEST.OUT", kOldBest},
                 {"run1.OUT", kTwo.text()}}},
      {.name = "ScratchBeyondTheSizeLimitKeepsTheOtherFiles",
       // The scratch file's first write, of 51 records, crosses the limit
       // before any summary record is written.
       .arrange =
           [](const Sandbox& box) {
             box.write("BEST.OUT", kOldBest);
             box.write("WexlaP.OUT", kOldSummary);
           },
       .results = long_first_section(),
       .file_size_limit = 2048,
       .status = 2,
       .out = banner() + table_heading(),
       .err = report("capture.cpp (unit = 11, file = 'temp.OUT')", kTooLarge),
       // The summary file was opened but never written: its old content stays.
       .files = {{"WexlaP.OUT", kOldSummary},
                 {"BEST.OUT", kOldBest},
                 {"temp.OUT", records(long_first_section()).substr(0, 2048)}}},
      summary_beyond_the_size_limit(),
      {.name = "DeviceFillsDuringTheRun",
       // Files may not grow beyond 8 KiB: the first section is copied whole,
       // the second overflows the scratch file, and the run ends with the
       // report. BEST.OUT keeps the whole first section; the summary keeps
       // its records.
       .arrange = [](const Sandbox&) {},
       .results = kTwo.first + long_second_section(),
       .file_size_limit = 8192,
       .status = 2,
       .out = screen_to_first_fit(),
       .err = report("capture.cpp (unit = 11, file = 'temp.OUT')", kTooLarge),
       .files = {{"BEST.OUT", records(kTwo.first)},
                 {"WexlaP.OUT", kTwo.first_summary()},
                 {"temp.OUT", records(long_second_section()).substr(0, 8192)}}},
      {.name = "ScratchFileThatIsAFolder",
       .arrange =
           [](const Sandbox& box) {
             box.write("BEST.OUT", kOldBest);
             fs::create_directory(box.path("temp.OUT"));
           },
       .status = 2,
       .out = banner() + table_heading(),
       .err = report("capture.cpp (unit = 11)",
                     "Cannot open file 'temp.OUT': it is a folder; remove it or run elsewhere"),
       .files = {{"BEST.OUT", kOldBest}}},
      {.name = "SummaryFileThatIsAFolder",
       .arrange =
           [](const Sandbox& box) {
             box.write("BEST.OUT", kOldBest);
             fs::create_directory(box.path("WexlaP.OUT"));
           },
       .status = 2,
       .out = banner() + table_heading(),
       .err = report("summary.cpp",
                     "Cannot open file 'WexlaP.OUT': it is a folder; remove it or run elsewhere"),
       .files = {{"BEST.OUT", kOldBest}}},

      // --- Files and folders without permission (file modes hold) ----------
      {.name = "MaskThatLeavesNoPermission",
       // New files get mode 0. The scratch file is opened again at the first
       // section header, and that opening is refused; nothing else is touched.
       .arrange = [](const Sandbox& box) { box.write("BEST.OUT", kOldBest); },
       .as_nobody = true,
       .umask_value = 0777,
       .status = 2,
       .out = banner() + table_heading(),
       .err = report("capture.cpp (unit = 11)", "Cannot open file 'temp.OUT': " + kDenied),
       .files = {{"BEST.OUT", kOldBest}, {"temp.OUT", ""}, {"WexlaP.OUT", ""}},
       .modes = {{"temp.OUT", 0}, {"WexlaP.OUT", 0}}},
      {.name = "ResultsFileWithoutAnyPermission",
       .arrange =
           [](const Sandbox& box) {
             box.write("BEST.OUT", kOldBest);
             set_mode(box, "run1.OUT", 0);
           },
       .as_nobody = true,
       .status = 2,
       .out = banner() + table_heading(),
       .err = report("fit_scan.cpp (unit = 10)", "Cannot open file 'run1.OUT': " + kDenied),
       .files = {{"temp.OUT", kAbsent},
                 {"WexlaP.OUT", kAbsent},
                 {"BEST.OUT", kOldBest},
                 {"run1.OUT", kTwo.text()}}},
      {.name = "ScratchFileWithoutAnyPermission",
       .arrange =
           [](const Sandbox& box) {
             box.write("temp.OUT", "old scratch\n");
             set_mode(box, "temp.OUT", 0);
           },
       .as_nobody = true,
       .status = 2,
       .out = banner() + table_heading(),
       .err = report("capture.cpp (unit = 11)", "Cannot open file 'temp.OUT': " + kDenied),
       .files = {{"temp.OUT", "old scratch\n"}, {"WexlaP.OUT", kAbsent}}},
      {.name = "WriteOnlyScratchFileCannotBeCopied",
       // The scratch file is opened for writing only and filled; cp cannot
       // read it and says so, and so does the run. BEST.OUT keeps its old
       // content and the scratch file the section.
       .arrange =
           [](const Sandbox& box) {
             box.write("BEST.OUT", kOldBest);
             box.write("temp.OUT", "old scratch\n");
             set_mode(box, "temp.OUT", 0222);
             set_mode(box, "BEST.OUT", 0666);
           },
       .as_nobody = true,
       .status = 2,
       .out = screen_to_first_fit(),
       .err = copy_report("ended with status 1"),
       .said = {tool_said("cp", "temp.OUT", EACCES)},
       .files = {{"BEST.OUT", kOldBest},
                 {"WexlaP.OUT", kTwo.first_summary()},
                 {"temp.OUT", records(kTwo.first)}}},
      {.name = "ReadOnlySummaryFileIsNeverWritten",
       .arrange =
           [](const Sandbox& box) {
             box.write("BEST.OUT", kOldBest);
             box.write("WexlaP.OUT", kOldSummary);
             set_mode(box, "WexlaP.OUT", 0444);
           },
       .as_nobody = true,
       .status = 2,
       .out = screen_to_first_fit(),
       .err = report("summary.cpp", "Cannot write to file opened for READ"),
       .files = {{"WexlaP.OUT", kOldSummary},
                 {"temp.OUT", records_to_first_heading(kTwo.text())},
                 {"BEST.OUT", kOldBest}}},
      {.name = "SummaryFileWithoutAnyPermission",
       .arrange =
           [](const Sandbox& box) {
             box.write("WexlaP.OUT", kOldSummary);
             set_mode(box, "WexlaP.OUT", 0);
           },
       .as_nobody = true,
       .status = 2,
       .out = banner() + table_heading(),
       .err = report("summary.cpp", "Cannot open file 'WexlaP.OUT': " + kDenied),
       // The scratch file was opened, nothing written to it yet.
       .files = {{"WexlaP.OUT", kOldSummary}, {"temp.OUT", ""}}},
      {.name = "WriteOnlySummaryFileIsWrittenWhole",
       .arrange =
           [](const Sandbox& box) {
             box.write("WexlaP.OUT", kOldSummary + kOldSummary + kOldSummary);
             set_mode(box, "WexlaP.OUT", 0222);
           },
       .as_nobody = true,
       .status = 0,
       .out = kTwo.screen(),
       .files = {{"WexlaP.OUT", kTwo.summary()}, {"BEST.OUT", records(kTwo.second)}}},
      // A folder where nothing can be created, but where the run's files
      // exist and can be written. An existing BEST.OUT is written in place
      // and the run completes, though rm cannot remove the scratch file,
      // which keeps the last section whole. Without a BEST.OUT, cp cannot
      // create one and the run ends at the first copy.
      {.name = "ReadOnlyFolderWithTheRunsFiles",
       .arrange =
           [](const Sandbox& box) {
             box.write_script("bin/bbedit", "echo bbedit ran\n");
             box.write("temp.OUT", "old scratch\n");
             box.write("WexlaP.OUT", kOldSummary);
             box.write("BEST.OUT", kOldBest);
             for (const char* name : {"temp.OUT", "WexlaP.OUT", "BEST.OUT"})
               set_mode(box, name, 0666);
             set_mode(box, ".", 0555);
           },
       .as_nobody = true,
       .status = 0,
       .out = kTwo.screen(),
       .said = {tool_said("rm", "temp.OUT", EACCES)},
       .files = {{"temp.OUT", records(kTwo.second)},
                 {"WexlaP.OUT", kTwo.summary()},
                 {"BEST.OUT", records(kTwo.second)}}},
      {.name = "ReadOnlyFolderWithoutBest",
       .arrange =
           [](const Sandbox& box) {
             box.write_script("bin/bbedit", "echo bbedit ran\n");
             box.write("temp.OUT", "old scratch\n");
             box.write("WexlaP.OUT", kOldSummary);
             for (const char* name : {"temp.OUT", "WexlaP.OUT"}) set_mode(box, name, 0666);
             set_mode(box, ".", 0555);
           },
       .as_nobody = true,
       .status = 2,
       .out = screen_to_first_fit(),
       .err = copy_report("ended with status 1"),
       .said = {tool_said("cp", "BEST.OUT", EACCES)},
       .files = {{"temp.OUT", records(kTwo.first)},
                 {"WexlaP.OUT", kTwo.first_summary()},
                 {"BEST.OUT", kAbsent}}},

      // --- Commands missing, failing or interrupted --------------------------
      {.name = "EditorThatFailsAndWritesToBothStreams",
       .arrange =
           [](const Sandbox& box) {
             box.write_script("bin/bbedit",
                              "echo to standard output\necho to standard error >&2\nexit 3\n");
           },
       .status = 0,
       .out = banner() + kTwo.table() + "\n WSS within   5.00    % of best     1\n" +
              "to standard output\n\n Press return to finish\n",
       .err = "to standard error\n",
       .files = {{"BEST.OUT", records(kTwo.second)},
                 {"WexlaP.OUT", kTwo.summary()},
                 {"temp.OUT", kAbsent}}},
      {.name = "EditorThatReadsTheInputToItsEnd",
       // The Return meant for the final prompt is gone: that read meets the end.
       .arrange =
           [](const Sandbox& box) {
             box.write_script("bin/bbedit", "/bin/cat > /dev/null\necho bbedit ran\n");
           },
       .status = 2,
       .out = kTwo.screen(),
       .err = report("wrap_up.cpp (unit = 5, file = 'stdin')", "End of file"),
       .files = {{"BEST.OUT", records(kTwo.second)}, {"WexlaP.OUT", kTwo.summary()}}},
      // The editor dies of SIGINT, alone or with the program interrupted as
      // well: the program ignores the interrupt while it waits for a command.
      {.name = "InterruptedEditor",
       .arrange =
           [](const Sandbox& box) {
             box.write_script("bin/bbedit", "kill -INT $$\necho not reached\n");
           },
       .status = 0,
       .out = banner() + kTwo.table() + "\n WSS within   5.00    % of best     1\n" +
              "\n Press return to finish\n",
       .files = {{"BEST.OUT", records(kTwo.second)},
                 {"WexlaP.OUT", kTwo.summary()},
                 {"temp.OUT", kAbsent}}},
      {.name = "InterruptedEditorAndProgram",
       .arrange =
           [](const Sandbox& box) {
             box.write_script("bin/bbedit", kInterruptWexla + "kill -INT $$\necho not reached\n");
           },
       .status = 0,
       .out = banner() + kTwo.table() + "\n WSS within   5.00    % of best     1\n" +
              "\n Press return to finish\n",
       .files = {{"BEST.OUT", records(kTwo.second)},
                 {"WexlaP.OUT", kTwo.summary()},
                 {"temp.OUT", kAbsent}}},
      {.name = "CopyInterruptedBeforeItCopies",
       // The first copy (section 1) is made; the second cp is interrupted,
       // with the program, before it writes: BEST.OUT keeps the whole first
       // section, the scratch file the second, and the run ends at once.
       .arrange =
           [](const Sandbox& box) {
             box.write_script("bin/cp", "if [ -e copied ]; then\n" + kInterruptWexla +
                                            "kill -INT $$\nfi\n: > copied\nexec /bin/cp \"$@\"\n");
           },
       .status = 2,
       .out = banner() + kTwo.table(),
       .err = copy_report("was ended by signal 2"),
       .files = {{"BEST.OUT", records(kTwo.first)},
                 {"bbedit.BEST", kAbsent},
                 {"WexlaP.OUT", kTwo.summary()},
                 {"temp.OUT", records(kTwo.second)}}},
  };
}

class FaultTest : public ::testing::TestWithParam<Fault> {};

TEST_P(FaultTest, LeavesEveryFileAsExpected) {
  const Fault& f = GetParam();
  if (f.as_nobody) SKIP_WHEN(why_permissions_do_not_bite());
  if (f.needs_dev_full) SKIP_WHEN(host::why_no_full_device());
  Sandbox box;
  box.write("run1.OUT", f.results.empty() ? TwoSections().text() : f.results);
  f.arrange(box);
  RunOptions options = options_with("\n", f.as_nobody);
  options.umask_value = f.umask_value;
  options.stdout_to_file = f.stdout_to_file;
  options.file_size_limit = f.file_size_limit;
  if (f.only_bin_on_path) options.path = box.path("bin").string();
  expect_run(box, {"run1", "5"}, options,
             {.status = f.status, .out = f.out, .report = f.err, .said = f.said, .files = f.files});
  for (const auto& [name, mode] : f.modes) {
    struct stat st {};
    ASSERT_EQ(::stat(box.path(name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & 0777, mode) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTest, ::testing::ValuesIn(faults()),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                           return std::string(info.param.name);
                         });

// --- The results file removed or replaced ---------------------------------

struct Replacement {
  const char* what;
  std::function<void(const Sandbox& box)> replace;
  int status;
  std::string screen;  // after the percentage prompt
  std::string err{};
};

TEST(Faults, ResultsFileReplacedAfterTheExistenceTest) {
  const TwoSections kTwo;
  std::unique_ptr<FifoWriter> writer;
  const Replacement cases[] = {
      {"by another file",
       [](const Sandbox& box) {
         box.write("new.OUT", Results().section("7.5").text());
         fs::rename(box.path("new.OUT"), box.path("run1.OUT"));
       },
       0,
       table_heading() + table_line(1, true, "   7.50000    ", "   7.50000    ") +
           screen_tail("  5.00    ", 1),
       ""},
      {"by a folder",
       [](const Sandbox& box) {
         fs::remove(box.path("run1.OUT"));
         fs::create_directory(box.path("run1.OUT"));
       },
       2, table_heading(),
       report("fit_scan.cpp (unit = 10)", "Cannot open file 'run1.OUT': " + kIsFolder)},
      {"by a FIFO written late",
       [&writer](const Sandbox& box) {
         fs::remove(box.path("run1.OUT"));
         ::mkfifo(box.path("run1.OUT").c_str(), 0644);
         // The writer comes after the run has begun to wait for one.
         writer = std::make_unique<FifoWriter>(box.path("run1.OUT").string(),
                                               Results().section("7.5").text(), 300);
       },
       0,
       table_heading() + table_line(1, true, "   7.50000    ", "   7.50000    ") +
           screen_tail("  5.00    ", 1),
       ""},
  };
  for (const Replacement& c : cases) {
    Sandbox box;
    box.write("run1.OUT", kTwo.text());
    box.write("BEST.OUT", kOldBest);
    RunOptions options = options_with("5\n\n");
    options.wait_for = "Enter percent from Best WWW ";
    options.meanwhile = [&] { c.replace(box); };
    Expect expect{.status = c.status,
                  .out = banner() + kPercentPrompt + c.screen,
                  .report = c.err,
                  .files = {{"temp.OUT", kAbsent}},
                  .what = c.what};
    if (c.status != 0) expect.files.push_back({"BEST.OUT", kOldBest});
    expect_run(box, {"run1"}, options, expect);
  }
}

TEST(Faults, ResultsFileAppearsWhileTheNameIsAskedAgain) {
  Sandbox box;
  const TwoSections kTwo;
  RunOptions options = options_with("run1\n5\n\n");
  options.wait_for = "Enter the OUT file name ";
  options.meanwhile = [&] { box.write("run1.OUT", kTwo.text()); };
  expect_run(box, {"run1", "5"}, options,
             {.out = banner() + missing("run1.OUT") + kNamePrompt + kPercentPrompt + kTwo.table() +
                     screen_tail("  5.00    ", 1),
              .files = {{"BEST.OUT", records(kTwo.second)}}});
}

TEST(Faults, ResultsFileRemovedOrReplacedWhileItIsRead) {
  // A cp stand-in removes the results file, or puts another file in its
  // place, at the first section change; the open file is read to its end.
  Results many;
  for (int i = 0; i < 200; ++i) many.section(std::to_string(300 - i % 50));
  Sandbox reference;
  reference.write("run1.OUT", many.text());
  RunResult expected = reference.run({"run1", "5"}, "\n");
  ASSERT_EQ(expected.status, 0);
  for (const char* change :
       {"/bin/rm -f run1.OUT", "echo other > x.OUT && /bin/mv x.OUT run1.OUT"}) {
    Sandbox box;
    box.write("run1.OUT", many.text());
    box.write_script("bin/cp", std::string("[ -e changed ] || { ") + change +
                                   "; : > changed; }\nexec /bin/cp \"$@\"\n");
    expect_run(box, {"run1", "5"}, options_with(),
               {.out = expected.out,
                .files = {{"BEST.OUT", reference.read("BEST.OUT")},
                          {"WexlaP.OUT", reference.read("WexlaP.OUT")}},
                .what = change});
  }
}

}  // namespace
}  // namespace e2e
