// The fault matrix: full devices, files and folders without permission,
// the results file removed or replaced, commands missing, failing or
// interrupted. Each row checks the exit status, the report and what every
// file holds afterwards: nothing silently lost or half-written, and BEST.OUT
// always a whole earlier section or untouched.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const std::string k20_25 = "   20.2500    ";
const std::string kOldBest = "earlier best\n";
const std::string kOldSummary = "earlier summary\n";
const std::string kNoSpace = host::error_text(ENOSPC);
const std::string kDenied = host::error_text(EACCES);
const std::string kIsFolder = host::error_text(EISDIR);

// Two sections: the first (20.25) is copied when the second begins, the
// second (12.5, the best) at the end.
struct TwoSections {
  std::string first = Results().section("20.25").text();
  std::string second = Results().section("12.5").text();
  std::string text() const { return first + second; }
  std::string table() const {
    return table_heading() + table_line(1, true, k20_25, k20_25) +
           table_line(2, true, k12_5, k12_5);
  }
  std::string screen() const { return banner() + table() + screen_tail("  5.00    ", 1); }
  std::string summary() const {
    return kModelHeading + " (001) WSS =" + k20_25 + "\n" + summary_block() + kModelHeading +
           " (002) WSS =" + k12_5 + "\n" + summary_block();
  }
};

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

// --- Full devices --------------------------------------------------------

TEST(Faults, BestOnAFullDevice) {
  // cp reports the refused write; the run goes on and loses nothing else.
  SKIP_WHEN(host::why_no_full_device());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  fs::create_symlink("/dev/full", box.path("BEST.OUT"));
  // The usual stand-in would copy the endless /dev/full.
  box.write_script("bin/bbedit", "echo bbedit ran\n");
  RunResult r = box.run({"run1", "5"}, options_with());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, two.screen());
  EXPECT_TRUE(tool_reported(r.err, "cp", "BEST.OUT", ENOSPC)) << r.err;
  EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
  EXPECT_FALSE(box.exists("temp.OUT"));
  EXPECT_TRUE(fs::is_symlink(box.path("BEST.OUT")));
}

TEST(Faults, StandardOutputOnAFullDevice) {
  SKIP_WHEN(host::why_no_full_device());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  fs::create_symlink("/dev/full", box.path("stdout.txt"));
  RunOptions options = options_with();
  options.stdout_to_file = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(normalize_report(r.err),
            report("dialogue.cpp (unit = 6, file = 'stdout')", kNoSpace));
  EXPECT_FALSE(box.exists("temp.OUT"));
  EXPECT_FALSE(box.exists("WexlaP.OUT"));
  EXPECT_EQ(box.read("BEST.OUT"), kOldBest);
  EXPECT_EQ(box.read("run1.OUT"), two.text());
}

TEST(Faults, ScratchOnAFullDeviceKeepsTheOtherFiles) {
  SKIP_WHEN(host::why_no_full_device());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  box.write("WexlaP.OUT", kOldSummary);
  fs::create_symlink("/dev/full", box.path("temp.OUT"));
  RunResult r = box.run({"run1", "5"}, options_with());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + table_heading());
  EXPECT_EQ(normalize_report(r.err),
            report("capture.cpp (unit = 11, file = 'temp.OUT')", kNoSpace));
  // The summary file was opened but never written: its old content stays.
  EXPECT_EQ(box.read("WexlaP.OUT"), kOldSummary);
  EXPECT_EQ(box.read("BEST.OUT"), kOldBest);
  EXPECT_TRUE(fs::is_symlink(box.path("temp.OUT")));
}

TEST(Faults, SummaryOnAFullDeviceKeepsTheOldBest) {
  SKIP_WHEN(host::why_no_full_device());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  fs::create_symlink("/dev/full", box.path("WexlaP.OUT"));
  RunResult r = box.run({"run1", "5"}, options_with());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + table_heading() + table_line(1, true, k20_25, k20_25));
  EXPECT_EQ(normalize_report(r.err), report("summary.cpp", kNoSpace));
  EXPECT_EQ(box.read("temp.OUT"), records_to_first_heading(two.text()));
  EXPECT_EQ(box.read("BEST.OUT"), kOldBest);
}

TEST(Faults, DeviceFillsDuringTheRun) {
  // Files may not grow beyond 8 KiB: the first section is copied whole, the
  // second overflows the scratch file, and the run ends with the report.
  // BEST.OUT keeps the whole first section; the summary keeps its records.
  Results first, second;
  first.section("20.25");
  second.header();
  for (int i = 0; i < 200; ++i) second.line(" iteration " + std::to_string(i));
  second.fit("12.5");
  Sandbox box;
  box.write("run1.OUT", first.text() + second.text());
  RunOptions options = options_with();
  options.file_size_limit = 8192;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + table_heading() + table_line(1, true, k20_25, k20_25));
  EXPECT_EQ(normalize_report(r.err),
            report("capture.cpp (unit = 11, file = 'temp.OUT')", host::error_text(EFBIG)));
  EXPECT_EQ(box.read("BEST.OUT"), records(first.text()));
  EXPECT_EQ(box.read("WexlaP.OUT"),
            kModelHeading + " (001) WSS =" + k20_25 + "\n" + summary_block());
  EXPECT_EQ(box.read("temp.OUT"), records(second.text()).substr(0, 8192));
}

TEST(Faults, OutputFileThatIsAFolder) {
  struct Case {
    const char* name;
    const char* locus;
  } cases[] = {{"temp.OUT", "capture.cpp (unit = 11)"}, {"WexlaP.OUT", "summary.cpp"}};
  for (const Case& c : cases) {
    Sandbox box;
    box.write("run1.OUT", TwoSections().text());
    box.write("BEST.OUT", kOldBest);
    fs::create_directory(box.path(c.name));
    RunResult r = box.run({"run1", "5"}, options_with());
    EXPECT_EQ(r.status, 2) << c.name;
    EXPECT_EQ(r.out, banner() + table_heading()) << c.name;
    EXPECT_EQ(normalize_report(r.err),
              report(c.locus, "Cannot open file '" + std::string(c.name) + "': " + kIsFolder))
        << c.name;
    EXPECT_EQ(box.read("BEST.OUT"), kOldBest) << c.name;
  }
}

// --- Files and folders without permission (privileges dropped) ------------

TEST(Faults, MaskThatLeavesNoPermission) {
  // New files get mode 0. The scratch file is opened again at the first
  // section header, and that opening is refused; nothing else is touched.
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  RunOptions options = options_with("\n", true);
  options.umask_value = 0777;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + table_heading());
  EXPECT_EQ(normalize_report(r.err),
            report("capture.cpp (unit = 11)", "Cannot open file 'temp.OUT': " + kDenied));
  EXPECT_EQ(box.read("BEST.OUT"), kOldBest);
  for (const char* name : {"temp.OUT", "WexlaP.OUT"}) {
    struct stat st {};
    ASSERT_EQ(::stat(box.path(name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & 0777, 0u) << name;
    EXPECT_EQ(box.read(name), "") << name;
  }
}

TEST(Faults, ResultsFileWithoutAnyPermission) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  set_mode(box, "run1.OUT", 0);
  RunResult r = box.run({"run1", "5"}, options_with("\n", true));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + table_heading());
  EXPECT_EQ(normalize_report(r.err),
            report("fit_scan.cpp (unit = 10)", "Cannot open file 'run1.OUT': " + kDenied));
  EXPECT_FALSE(box.exists("temp.OUT"));
  EXPECT_FALSE(box.exists("WexlaP.OUT"));
  EXPECT_EQ(box.read("BEST.OUT"), kOldBest);
  EXPECT_EQ(box.read("run1.OUT"), two.text());
}

TEST(Faults, ScratchFileWithoutAnyPermission) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("temp.OUT", "old scratch\n");
  set_mode(box, "temp.OUT", 0);
  RunResult r = box.run({"run1", "5"}, options_with("\n", true));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(normalize_report(r.err),
            report("capture.cpp (unit = 11)", "Cannot open file 'temp.OUT': " + kDenied));
  EXPECT_EQ(box.read("temp.OUT"), "old scratch\n");
  EXPECT_FALSE(box.exists("WexlaP.OUT"));
}

TEST(Faults, WriteOnlyScratchFileCannotBeCopied) {
  // The scratch file is opened for writing only and filled; cp cannot read
  // it and says so, BEST.OUT keeps its old content, and rm removes it.
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  box.write("temp.OUT", "old scratch\n");
  set_mode(box, "temp.OUT", 0222);
  set_mode(box, "BEST.OUT", 0666);
  RunResult r = box.run({"run1", "5"}, options_with("\n", true));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, two.screen());
  EXPECT_TRUE(tool_reported(r.err, "cp", "temp.OUT", EACCES)) << r.err;
  EXPECT_EQ(box.read("BEST.OUT"), kOldBest);
  EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
  EXPECT_FALSE(box.exists("temp.OUT"));
}

TEST(Faults, ReadOnlySummaryFileIsNeverWritten) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  box.write("WexlaP.OUT", kOldSummary);
  set_mode(box, "WexlaP.OUT", 0444);
  RunResult r = box.run({"run1", "5"}, options_with("\n", true));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + table_heading() + table_line(1, true, k20_25, k20_25));
  EXPECT_EQ(normalize_report(r.err), report("summary.cpp", "Cannot write to file opened for READ"));
  EXPECT_EQ(box.read("WexlaP.OUT"), kOldSummary);
  EXPECT_EQ(box.read("temp.OUT"), records_to_first_heading(two.text()));
  EXPECT_EQ(box.read("BEST.OUT"), kOldBest);
}

TEST(Faults, SummaryFileWithoutAnyPermission) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("WexlaP.OUT", kOldSummary);
  set_mode(box, "WexlaP.OUT", 0);
  RunResult r = box.run({"run1", "5"}, options_with("\n", true));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + table_heading());
  EXPECT_EQ(normalize_report(r.err),
            report("summary.cpp", "Cannot open file 'WexlaP.OUT': " + kDenied));
  EXPECT_EQ(box.read("WexlaP.OUT"), kOldSummary);
  EXPECT_EQ(box.read("temp.OUT"), "");  // opened, nothing written yet
}

TEST(Faults, WriteOnlySummaryFileIsWrittenWhole) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("WexlaP.OUT", kOldSummary + kOldSummary + kOldSummary);
  set_mode(box, "WexlaP.OUT", 0222);
  RunResult r = box.run({"run1", "5"}, options_with("\n", true));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, two.screen());
  EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
  EXPECT_EQ(box.read("BEST.OUT"), records(two.second));
}

TEST(Faults, ReadOnlyBestIsLeftAsItWas) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  set_mode(box, "BEST.OUT", 0444);
  RunResult r = box.run({"run1", "5"}, options_with("\n", true));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, two.screen());
  EXPECT_TRUE(tool_reported(r.err, "cp", "BEST.OUT", EACCES)) << r.err;
  EXPECT_EQ(box.read("BEST.OUT"), kOldBest);
  EXPECT_EQ(box.read("bbedit.BEST"), kOldBest);
  EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
}

// A folder where nothing can be created, but where the run's files exist
// and can be written: the run completes; cp cannot create BEST.OUT and rm
// cannot remove the scratch file, which keeps the last section whole.
TEST(Faults, ReadOnlyFolderWithTheRunsFiles) {
  SKIP_WHEN(why_permissions_do_not_bite());
  for (bool best_exists : {false, true}) {
    Sandbox box;
    TwoSections two;
    box.write_script("bin/bbedit", "echo bbedit ran\n");
    box.write("run1.OUT", two.text());
    box.write("temp.OUT", "old scratch\n");
    box.write("WexlaP.OUT", kOldSummary);
    if (best_exists) box.write("BEST.OUT", kOldBest);
    for (const char* name : {"temp.OUT", "WexlaP.OUT", "BEST.OUT"}) set_mode(box, name, 0666);
    set_mode(box, ".", 0555);
    RunResult r = box.run({"run1", "5"}, options_with("\n", true));
    set_mode(box, ".", 0777);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, two.screen());
    EXPECT_TRUE(tool_reported(r.err, "rm", "temp.OUT", EACCES)) << r.err;
    EXPECT_EQ(box.read("temp.OUT"), records(two.second));
    EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
    if (best_exists) {
      // An existing BEST.OUT is written in place.
      EXPECT_EQ(box.read("BEST.OUT"), records(two.second));
    } else {
      EXPECT_TRUE(tool_reported(r.err, "cp", "BEST.OUT", EACCES)) << r.err;
      EXPECT_FALSE(box.exists("BEST.OUT"));
    }
  }
}

// --- The results file removed or replaced ---------------------------------

struct Replacement {
  const char* what;
  void (*replace)(const Sandbox& box);
  int status;
  std::string screen;  // after the percentage prompt
  std::string err;
};

TEST(Faults, ResultsFileReplacedAfterTheExistenceTest) {
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
      {"by a FIFO nobody writes",
       [](const Sandbox& box) {
         fs::remove(box.path("run1.OUT"));
         ::mkfifo(box.path("run1.OUT").c_str(), 0644);
       },
       0, table_heading() + screen_tail("  5.00    ", 0), ""},
  };
  for (const Replacement& c : cases) {
    Sandbox box;
    box.write("run1.OUT", TwoSections().text());
    box.write("BEST.OUT", kOldBest);
    RunOptions options = options_with("5\n\n");
    options.wait_for = "Enter percent from Best WWW ";
    options.meanwhile = [&] { c.replace(box); };
    RunResult r = box.run({"run1"}, options);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.out, banner() + kPercentPrompt + c.screen) << c.what;
    EXPECT_EQ(normalize_report(r.err), c.err) << c.what;
    if (c.status == 0) {
      EXPECT_FALSE(box.exists("temp.OUT")) << c.what;
    } else {
      EXPECT_EQ(box.read("BEST.OUT"), kOldBest) << c.what;
      EXPECT_FALSE(box.exists("temp.OUT")) << c.what;
    }
  }
}

TEST(Faults, ResultsFileAppearsWhileTheNameIsAskedAgain) {
  Sandbox box;
  TwoSections two;
  RunOptions options = options_with("run1\n5\n\n");
  options.wait_for = "Enter the OUT file name ";
  options.meanwhile = [&] { box.write("run1.OUT", two.text()); };
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + missing("run1.OUT") + kNamePrompt + kPercentPrompt + two.table() +
                       screen_tail("  5.00    ", 1));
  EXPECT_EQ(box.read("BEST.OUT"), records(two.second));
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
    RunResult r = box.run({"run1", "5"}, options_with());
    EXPECT_EQ(r.status, 0) << change << r.err;
    EXPECT_EQ(r.out, expected.out) << change;
    EXPECT_EQ(box.read("BEST.OUT"), reference.read("BEST.OUT")) << change;
    EXPECT_EQ(box.read("WexlaP.OUT"), reference.read("WexlaP.OUT")) << change;
  }
}

// --- Commands missing, failing or interrupted -----------------------------

TEST(Faults, CopyAndRemoveMissingFromPath) {
  // /bin/sh is still found; only the fake editor is on PATH.
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  box.write_script("bin/bbedit", "echo bbedit ran\n");
  RunOptions options = options_with();
  options.path = box.path("bin").string();
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, two.screen());
  // The shell's own words, which differ between shells.
  EXPECT_TRUE(shell_reported_missing(r.err, "cp")) << r.err;
  EXPECT_TRUE(shell_reported_missing(r.err, "rm")) << r.err;
  EXPECT_EQ(box.read("BEST.OUT"), kOldBest);
  // The scratch file stays, holding the last section whole.
  EXPECT_EQ(box.read("temp.OUT"), records(two.second));
  EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
}

TEST(Faults, EditorThatFailsAndWritesToBothStreams) {
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write_script("bin/bbedit", "echo to standard output\necho to standard error >&2\nexit 3\n");
  RunResult r = box.run({"run1", "5"}, options_with());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner() + two.table() + "\n WSS within   5.00    % of best     1\n" +
                       "to standard output\n\n Press return to finish\n");
  EXPECT_EQ(r.err, "to standard error\n");
  EXPECT_EQ(box.read("BEST.OUT"), records(two.second));
  EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
  EXPECT_FALSE(box.exists("temp.OUT"));
}

TEST(Faults, EditorThatReadsTheInputToItsEnd) {
  // The Return meant for the final prompt is gone: that read meets the end.
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write_script("bin/bbedit", "/bin/cat > /dev/null\necho bbedit ran\n");
  RunResult r = box.run({"run1", "5"}, options_with());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, two.screen());
  EXPECT_EQ(normalize_report(r.err),
            report("wrap_up.cpp (unit = 5, file = 'stdin')", "End of file"));
  EXPECT_EQ(box.read("BEST.OUT"), records(two.second));
  EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
}

TEST(Faults, InterruptedEditor) {
  // The editor dies of SIGINT, alone or with the program interrupted as
  // well: the program ignores the interrupt while it waits for a command.
  for (bool program_too : {false, true}) {
    Sandbox box;
    TwoSections two;
    box.write("run1.OUT", two.text());
    box.write_script("bin/bbedit", (program_too ? kInterruptWexla : "") + "kill -INT $$\n" +
                                       "echo not reached\n");
    RunResult r = box.run({"run1", "5"}, options_with());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, banner() + two.table() + "\n WSS within   5.00    % of best     1\n" +
                         "\n Press return to finish\n");
    EXPECT_EQ(box.read("BEST.OUT"), records(two.second));
    EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
    EXPECT_FALSE(box.exists("temp.OUT"));
  }
}

TEST(Faults, CopyInterruptedBeforeItCopies) {
  // The first copy (section 1) is made; the second cp is interrupted, with
  // the program, before it writes: BEST.OUT keeps the whole first section.
  Sandbox box;
  TwoSections two;
  box.write("run1.OUT", two.text());
  box.write_script("bin/cp", "if [ -e copied ]; then\n" + kInterruptWexla +
                                 "kill -INT $$\nfi\n: > copied\nexec /bin/cp \"$@\"\n");
  RunResult r = box.run({"run1", "5"}, options_with());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, two.screen());
  EXPECT_EQ(box.read("BEST.OUT"), records(two.first));
  EXPECT_EQ(box.read("bbedit.BEST"), records(two.first));
  EXPECT_EQ(box.read("WexlaP.OUT"), two.summary());
  EXPECT_FALSE(box.exists("temp.OUT"));
}

}  // namespace
}  // namespace e2e
