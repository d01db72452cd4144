// Files and streams: permissions, openings that fail, the standard streams
// redirected or closed, and writes that the system refuses. The standard
// streams closed at start, alone or together, are rows of one table in
// test_hostile_streams.cpp.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;

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
    expect_run(box, {"run1", "5"}, RunOptions{.umask_value = mask},
               {.what = "umask " + std::to_string(mask)});
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
  expect_run(box, {"run1", "5"}, RunOptions{.input = "\n", .as_nobody = true},
             {.out = one_fit_screen()});
}

TEST(Connections, WriteOnlyResultsFileCannotBeRead) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  std::string text = Results().section("12.5").text();
  box.write("run1.OUT", text);
  fs::permissions(box.path("run1.OUT"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
  expect_run(box, {"run1", "5"}, RunOptions{.as_nobody = true},
             {.status = 2,
              .report = report("fit_scan.cpp (unit = 10, file = 'run1.OUT')",
                               "Cannot read from file opened for WRITE"),
              .files = {{"run1.OUT", text}}});
}

TEST(Connections, UnwritableScratchFileIsOpenedForReadingOnly) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  box.write("temp.OUT", "old scratch\n");
  fs::permissions(box.path("temp.OUT"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  expect_run(box, {"run1", "5"}, RunOptions{.as_nobody = true},
             {.status = 2,
              .report = report("capture.cpp (unit = 11, file = 'temp.OUT')",
                               "Cannot write to file opened for READ"),
              .files = {{"temp.OUT", "old scratch\n"}}});
}

TEST(Connections, FolderWhereNothingCanBeCreated) {
  SKIP_WHEN(why_permissions_do_not_bite());
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  fs::permissions(box.dir(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec);
  expect_run(box, {"run1", "5"}, RunOptions{.as_nobody = true},
             {.status = 2,
              .out = banner() + table_heading(),
              .report = report("capture.cpp (unit = 11)",
                               "Cannot open file 'temp.OUT': " + host::error_text(EACCES))});
}

TEST(Connections, ResultsFileRemovedAfterTheExistenceTest) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  expect_run(box, {"run1"},
             RunOptions{.input = "5\n",
                        .wait_for = "Enter percent from Best WWW ",
                        .meanwhile = [&] { fs::remove(box.path("run1.OUT")); }},
             {.status = 2,
              .report = report("fit_scan.cpp (unit = 10)",
                               "Cannot open file 'run1.OUT': " + host::error_text(ENOENT)),
              .files = {{"run1.OUT", kAbsent}, {"temp.OUT", kAbsent}}});
}

TEST(Connections, ReportStandsBeforeTextPendingForAFile) {
  // Standard output and standard error are one regular file: the report is
  // written at once, the screen text only when the run ends.
  Sandbox box;
  expect_run(box, {}, RunOptions{.stdout_to_file = true, .stderr_to_stdout = true}, {.status = 2});
  EXPECT_EQ(
      normalize_report(box.read("stdout.txt")),
      report("dialogue.cpp (unit = 5, file = 'stdin')", "End of file") + banner() + kNamePrompt);
}

TEST(Connections, FilesNeverTakeTheStandardDescriptors) {
  // With descriptor 2 closed, the results file would be given descriptor 2
  // by the system; the report of the failure below must not land in it.
  Sandbox box;
  Results results;
  results.header().fit("12.5x");
  box.write("run1.OUT", results.text());
  expect_run(box, {"run1", "5"}, RunOptions{.close_stderr = true},
             {.status = 2, .files = {{"run1.OUT", results.text()}}});
  for (const char* name : {"temp.OUT", "WexlaP.OUT"}) {
    EXPECT_EQ(box.read(name).find("run-time error"), std::string::npos) << name;
  }
}

TEST(Connections, StandardOutputWithoutAReader) {
  // The first screen text is refused (EPIPE): a report, not a silent death
  // by SIGPIPE, and every file the run wrote so far is closed whole.
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  expect_run(
      box, {"run1", "5"}, RunOptions{.input = "\n", .stdout_reader_gone = true},
      {.status = 2,
       .report = report("dialogue.cpp (unit = 6, file = 'stdout')", host::error_text(EPIPE))});
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
  expect_run(box, {"run1", "5"}, "\n",
             {.files = {{"cat.status", std::to_string(128 + SIGPIPE) + "\n"}}});
}

}  // namespace
}  // namespace e2e
