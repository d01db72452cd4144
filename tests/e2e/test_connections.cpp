// Files and streams: permissions, openings that fail, the standard streams
// redirected or closed, and writes that the system refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const std::string k12_5 = "   12.5000    ";

unsigned mode_of(const Sandbox& box, const std::string& name) {
  struct stat st {};
  ::stat(box.path(name).c_str(), &st);
  return st.st_mode & 0777;
}

// A run that stops on its second model heading, so temp.OUT stays behind.
std::string stopping_file() {
  Results r;
  r.header().fit("12.5").line("x").line(kModelHeading);
  return r.text();
}

TEST(Connections, NewFilesGetTheModeLessTheMask) {
  for (unsigned mask : {022u, 027u, 077u}) {
    Sandbox box;
    box.write("run1.OUT", stopping_file());
    RunOptions options;
    options.umask_value = mask;
    RunResult r = box.run({"run1", "5"}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mode_of(box, "temp.OUT"), 0666u & ~mask);
    EXPECT_EQ(mode_of(box, "WexlaP.OUT"), 0666u & ~mask);
  }
}

TEST(Connections, ReadOnlyResultsFileIsReadNormally) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  fs::permissions(box.path("run1.OUT"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  RunOptions options;
  options.input = "\n";
  options.as_nobody = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + table_heading() + table_line(1, true, k12_5, k12_5) +
                       screen_tail("  5.00    ", 1));
}

TEST(Connections, WriteOnlyResultsFileCannotBeRead) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  std::string text = Results().section("12.5").text();
  box.write("run1.OUT", text);
  fs::permissions(box.path("run1.OUT"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
  RunOptions options;
  options.as_nobody = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(normalize_report(r.err), report("fit_scan.cpp (unit = 10, file = 'run1.OUT')",
                                            "Cannot read from file opened for WRITE"));
  fs::permissions(box.path("run1.OUT"), fs::perms::owner_all);
  EXPECT_EQ(box.read("run1.OUT"), text);
}

TEST(Connections, UnwritableScratchFileIsOpenedForReadingOnly) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  box.write("temp.OUT", "old scratch\n");
  fs::permissions(box.path("temp.OUT"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  RunOptions options;
  options.as_nobody = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(normalize_report(r.err), report("capture.cpp (unit = 11, file = 'temp.OUT')",
                                            "Cannot write to file opened for READ"));
  EXPECT_EQ(box.read("temp.OUT"), "old scratch\n");
}

TEST(Connections, FolderWhereNothingCanBeCreated) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  fs::permissions(box.dir(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec);
  RunOptions options;
  options.as_nobody = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + table_heading());
  EXPECT_EQ(normalize_report(r.err),
            report("capture.cpp (unit = 11)",
                   "Cannot open file 'temp.OUT': " + host::error_text(EACCES)));
}

TEST(Connections, ResultsFileRemovedAfterTheExistenceTest) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  RunOptions options;
  options.input = "5\n";
  options.wait_for = "Enter percent from Best WWW ";
  options.meanwhile = [&] { fs::remove(box.path("run1.OUT")); };
  RunResult r = box.run({"run1"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(normalize_report(r.err),
            report("fit_scan.cpp (unit = 10)",
                   "Cannot open file 'run1.OUT': " + host::error_text(ENOENT)));
  EXPECT_FALSE(box.exists("run1.OUT"));
  EXPECT_FALSE(box.exists("temp.OUT"));
}

TEST(Connections, ReportStandsBeforeTextPendingForAFile) {
  // Standard output and standard error are one regular file: the report is
  // written at once, the screen text only when the run ends.
  Sandbox box;
  RunOptions options;
  options.stdout_to_file = true;
  options.stderr_to_stdout = true;
  RunResult r = box.run({}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(normalize_report(box.read("stdout.txt")),
            report("dialogue.cpp (unit = 5, file = 'stdin')", "End of file") + banner() +
                "Enter the OUT file name ");
}

TEST(Connections, StandardErrorClosedAtStart) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  RunOptions options;
  options.input = "\n";
  options.close_stderr = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner() + table_heading() + table_line(1, true, k12_5, k12_5) +
                       screen_tail("  5.00    ", 1));
  EXPECT_NE(box.read("WexlaP.OUT").find("(001) WSS ="), std::string::npos);
}

TEST(Connections, FilesNeverTakeTheStandardDescriptors) {
  // With descriptor 2 closed, the results file would be given descriptor 2
  // by the system; the report of the failure below must not land in it.
  Sandbox box;
  Results results;
  results.header().fit("12.5x");
  box.write("run1.OUT", results.text());
  RunOptions options;
  options.close_stderr = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(box.read("run1.OUT"), results.text());
  for (const char* name : {"temp.OUT", "WexlaP.OUT"}) {
    EXPECT_EQ(box.read(name).find("run-time error"), std::string::npos) << name;
  }
}

TEST(Connections, StandardInputClosedAtStart) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  RunOptions options;
  options.close_stdin = true;
  RunResult r = box.run({"run1", "5"}, options);
  // Every file is complete; only the final read fails.
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(normalize_report(r.err),
            report("wrap_up.cpp (unit = 5, file = 'stdin')", host::error_text(EBADF)));
  EXPECT_NE(box.read("WexlaP.OUT").find("(001) WSS ="), std::string::npos);
  EXPECT_TRUE(box.exists("BEST.OUT"));
  EXPECT_FALSE(box.exists("temp.OUT"));
}

TEST(Connections, StandardOutputClosedAtStart) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  RunOptions options;
  options.close_stdout = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(normalize_report(r.err),
            report("dialogue.cpp (unit = 6, file = 'stdout')", host::error_text(EBADF)));
}

TEST(Connections, StandardOutputWithoutAReader) {
  // The first screen text is refused (EPIPE): a report, not a silent death
  // by SIGPIPE, and every file the run wrote so far is closed whole.
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  RunOptions options;
  options.input = "\n";
  options.stdout_reader_gone = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(normalize_report(r.err),
            report("dialogue.cpp (unit = 6, file = 'stdout')", host::error_text(EPIPE)));
}

TEST(Connections, CommandsKeepTheDefaultPipeSignal) {
  // The program catches SIGPIPE for its own writes; the commands it runs
  // must not inherit it as ignored. The editor stand-in has cat write 1 MiB
  // into a pipe whose reader has left: with the default action cat dies of
  // SIGPIPE (the shell gives 128 + the signal's number); had it inherited
  // the signal as ignored, its write would fail and cat would end with 1.
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  box.write("big.txt", std::string(1 << 20, 'x'));
  box.write_script("bin/bbedit", "( /bin/cat big.txt; echo $? > cat.status ) | :\n");
  RunResult r = box.run({"run1", "5"}, "\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(box.read("cat.status"), std::to_string(128 + SIGPIPE) + "\n") << r.err;
}

}  // namespace
}  // namespace e2e
