// A run holds a lock on its folder from its start, before the first prompt,
// to its end. A second run in the same folder is refused before it writes
// anything, on the screen or in a file; runs
// in different folders do not meet. The timing is held by an editor
// stand-in that waits for a line on the run's standard input, which the
// harness sends only after the other run is over.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const std::string kRefused = report(
    "folder_lock.cpp (unit = 11)", "Cannot open file 'temp.OUT': another run is using this folder");
// A run refused before it writes anything, on the screen or in a file.
const Expect kRefusedRun = {.status = 2, .out = "", .report = kRefused};

// Every file of the folder (bin/ aside) with its content.
std::map<std::string, std::string> folder_files(const Sandbox& box) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(box.dir())) {
    if (entry.is_regular_file()) {
      std::string name = entry.path().filename().string();
      files[name] = box.read(name);
    }
  }
  return files;
}

// An editor that says it waits, waits for "go" on standard input, and then
// does what the usual stand-in does.
void waiting_editor(const Sandbox& box) {
  box.write_script("bin/bbedit",
                   "echo bbedit waiting\n"
                   "read answer\n"
                   "[ \"$answer\" = go ] || exit 1\n"
                   "echo \"$@\" > bbedit.args\n"
                   "echo bbedit ran\n");
}

// A run held in its editor while `meanwhile` runs.
RunResult run_holding(const Sandbox& box, const std::function<void()>& meanwhile) {
  RunOptions options;
  options.input = "go\n\n";
  options.wait_for = "bbedit waiting\n";
  options.meanwhile = meanwhile;
  options.time_limit = 60;
  return box.run({"run1", "5"}, options);
}

std::string held_screen(const TwoSections& two) {
  return banner() + two.table() + "\n WSS within   5.00    % of best     1\n" +
         "bbedit waiting\nbbedit ran\n\n Press return to finish\n";
}

TEST(FolderLock, SecondRunInTheFolderIsRefusedAndTheFirstCompletes) {
  TwoSections two;
  Sandbox alone;
  alone.write("run1.OUT", two.text());
  RunResult reference = alone.run({"run1", "5"}, "\n");
  ASSERT_EQ(reference.status, 0) << reference.err;

  Sandbox box;
  box.write("run1.OUT", two.text());
  waiting_editor(box);
  RunResult second;
  std::map<std::string, std::string> before, after;
  RunResult first = run_holding(box, [&] {
    before = folder_files(box);
    second = box.run({"run1", "5"}, "\n");
    after = folder_files(box);
  });

  check_run(box, second, kRefusedRun);
  EXPECT_EQ(after, before);
  EXPECT_EQ(before.count("temp.OUT"), 0u);  // removed by the first run before its editor

  EXPECT_EQ(alone.read("BEST.OUT"), records(two.second));
  check_run(
      box, first,
      {.out = held_screen(two),
       .err = "",
       .files = {{"BEST.OUT", alone.read("BEST.OUT")}, {"WexlaP.OUT", alone.read("WexlaP.OUT")}}});
}

TEST(FolderLock, RunWaitingForItsPercentageKeepsTheFolder) {
  // A run waiting at a prompt already holds the folder: a second run
  // started meanwhile is refused, and the first then writes its own files,
  // not files mixed with the second's.
  TwoSections two;
  Sandbox box;
  box.write("run1.OUT", two.text());
  box.write("other.OUT", Results().section("7.5").text());
  RunResult second;
  expect_run(box, {"run1"},
             RunOptions{.input = "5\n\n",
                        .wait_for = "Enter percent from Best WWW ",
                        .meanwhile =
                            [&] {
                              second = box.run({"other", "5"}, "\n");
                            },
                        .time_limit = 60},
             {.out = banner() + kPercentPrompt + two.table() + screen_tail("  5.00    ", 1),
              .files = {{"BEST.OUT", records(two.second)}, {"WexlaP.OUT", two.summary()}}});
  check_run(box, second, kRefusedRun);
}

TEST(FolderLock, RunsInTwoFoldersBothComplete) {
  TwoSections two;
  Sandbox box, other;
  box.write("run1.OUT", two.text());
  other.write("run1.OUT", two.text());
  waiting_editor(box);
  RunResult beside;
  RunResult first = run_holding(box, [&] { beside = other.run({"run1", "5"}, "\n"); });
  const std::vector<std::pair<std::string, std::string>> files = {{"BEST.OUT", records(two.second)},
                                                                  {"WexlaP.OUT", two.summary()}};
  check_run(other, beside, {.out = two.screen(), .files = files, .what = "beside"});
  check_run(box, first, {.out = held_screen(two), .files = files, .what = "held"});
}

TEST(FolderLock, LockHeldElsewhereLeavesEarlierFilesUntouched) {
  // Any process holding the lock refuses the run; the files an earlier run
  // left stay as they were. Once the lock is given up, a run goes through.
  TwoSections two;
  Sandbox box;
  box.write("run1.OUT", two.text());
  box.write("temp.OUT", "old scratch\n");
  box.write("WexlaP.OUT", "old summary\n");
  box.write("BEST.OUT", "old best\n");
  int fd = ::open(box.dir().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  std::map<std::string, std::string> before = folder_files(box);
  expect_run(box, {"run1", "5"}, "\n", kRefusedRun);
  EXPECT_EQ(folder_files(box), before);

  ::close(fd);
  expect_run(box, {"run1", "5"}, "\n",
             {.out = two.screen(),
              .files = {{"BEST.OUT", records(two.second)}, {"WexlaP.OUT", two.summary()}}});
}

TEST(FolderLock, CommandsDoNotInheritTheLock) {
  // The editor lists its descriptors that refer to the folder: the lock's
  // descriptor is closed in every command.
  // Listing a process's descriptors by name needs /proc/<pid>/fd, which
  // macOS and the BSDs do not have.
  if (!fs::exists("/proc/self/fd")) {
    GTEST_SKIP() << "no /proc/<pid>/fd on this system, so the descriptors a command "
                    "inherited cannot be listed";
  }
  TwoSections two;
  Sandbox box;
  box.write("run1.OUT", two.text());
  box.write_script("bin/bbedit",
                   "for f in /proc/$$/fd/*; do\n"
                   "  [ \"$(readlink \"$f\")\" = \"$(pwd -P)\" ] && echo \"$f\"\n"
                   "done > folder.fds\n"
                   "echo bbedit ran\n");
  expect_run(box, {"run1", "5"}, "\n", {.out = two.screen(), .files = {{"folder.fds", ""}}});
}

TEST(FolderLock, FolderThatCannotBeOpenedRunsWithoutTheLock) {
  // Without read permission "." cannot be opened to be locked; names in it
  // still work, and the run goes on as it would without the lock. Nobody,
  // the owner included, may read the folder.
  SKIP_WHEN(why_permissions_do_not_bite());
  TwoSections two;
  Sandbox box;
  box.write("run1.OUT", two.text());
  fs::permissions(box.dir(), fs::perms::owner_write | fs::perms::owner_exec |
                                 fs::perms::group_write | fs::perms::group_exec |
                                 fs::perms::others_write | fs::perms::others_exec);
  RunResult r =
      box.run({"run1", "5"}, RunOptions{.input = "\n", .as_nobody = true, .time_limit = 60});
  fs::permissions(box.dir(), fs::perms::all);
  check_run(box, r,
            {.out = two.screen(),
             .err = "",
             .files = {{"BEST.OUT", records(two.second)}, {"WexlaP.OUT", two.summary()}}});
}

}  // namespace
}  // namespace e2e
