// A batch run copies BEST.OUT itself and starts no process: it leaves what
// a run with cp leaves, replaces BEST.OUT whole (its permission bits kept),
// writes it in place only where the folder allows nothing else, refuses
// what cp could not write, removes what a killed run left, and never
// writes or reads through a link another user swaps in meanwhile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
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

const std::vector<std::string> kBatch = {"--batch", "run1", "5"};

unsigned mode_of(const Sandbox& box, const std::string& name) {
  struct stat st {};
  return ::lstat(box.path(name).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A batch run's failure is one line.
std::string copy_failure(const std::string& why) {
  return "wexla: Cannot copy 'temp.OUT' to 'BEST.OUT': " + why + "\n";
}

// The same results, with cp, rm and bbedit stand-ins that log their calls
// first on PATH: the batch run calls none of them and leaves what the run
// with them leaves.
TEST(BatchCopy, StartsNoProcessAndLeavesWhatCpLeaves) {
  const TwoSections two;
  Sandbox batch;
  batch.write("run1.OUT", two.text());
  batch.write("BEST.OUT", kOldBest);
  log_commands(batch);
  expect_run(batch, kBatch, "",
             {.out = banner() + two.table() + "\n WSS within   5.00    % of best     1\n",
              .err = "",
              .files = {{"commands.log", kAbsent},
                        {"temp.OUT", kAbsent},
                        {"BEST.OUT", records(two.second)},
                        {"WexlaP.OUT", two.summary()}}});
  for (const auto& entry : fs::directory_iterator(batch.dir())) {
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
  }

  Sandbox plain;
  plain.write("run1.OUT", two.text());
  plain.write("BEST.OUT", kOldBest);
  log_commands(plain);
  expect_run(plain, {"run1", "5"}, "\n",
             {.files = {{"commands.log",
                         "cp temp.OUT BEST.OUT\ncp temp.OUT BEST.OUT\n"
                         "rm temp.OUT\nbbedit BEST.OUT\n"}}});
  for (const char* name : {"BEST.OUT", "WexlaP.OUT"})
    EXPECT_EQ(batch.read(name), plain.read(name)) << name;
}

struct CopyCase {
  const char* name;
  void (*arrange)(const Sandbox& box);
  bool as_nobody;
  Expect expect;
  unsigned best_mode = 0;  // the permission bits BEST.OUT must have; 0: not checked
  void (*tidy)(const Sandbox& box) = nullptr;
};

void PrintTo(const CopyCase& row, std::ostream* os) {
  *os << row.name;
}

std::vector<CopyCase> copy_cases() {
  const TwoSections two;
  const std::string whole = banner() + two.table() + "\n WSS within   5.00    % of best     1\n";
  const std::string to_first = banner() + table_heading() + table_line(1, true, k20_25, k20_25);
  return {
      {"KeepsThePermissionBitsOfAnEarlierBest",
       [](const Sandbox& box) {
         box.write("BEST.OUT", kOldBest);
         ::chmod(box.path("BEST.OUT").c_str(), 0640);
       },
       false,
       {.out = whole, .files = {{"BEST.OUT", records(two.second)}, {"temp.OUT", kAbsent}}},
       0640},
      {"ANewBestGetsTheModeOfANewFile",
       [](const Sandbox&) {},
       false,
       {.out = whole, .files = {{"BEST.OUT", records(two.second)}}},
       0644},
      {"ReadOnlyBestIsAFailedCopy",
       [](const Sandbox& box) {
         box.write("BEST.OUT", kOldBest);
         ::chmod(box.path("BEST.OUT").c_str(), 0444);
       },
       true,
       {.status = 2,
        .out = to_first,
        .err = copy_failure("'BEST.OUT' cannot be written: " + host::error_text(EACCES)),
        .files = {{"BEST.OUT", kOldBest},
                  {"WexlaP.OUT", two.first_summary()},
                  {"temp.OUT", records(two.first)}}}},
      {"WriteOnlyScratchIsAFailedCopy",
       [](const Sandbox& box) {
         box.write("BEST.OUT", kOldBest);
         box.write("temp.OUT", "old scratch\n");
         ::chmod(box.path("temp.OUT").c_str(), 0222);
       },
       true,
       {.status = 2,
        .out = to_first,
        .err = copy_failure("'temp.OUT' cannot be read: " + host::error_text(EACCES)),
        .files = {{"BEST.OUT", kOldBest},
                  {"WexlaP.OUT", two.first_summary()},
                  {"temp.OUT", records(two.first)}}}},
      // Nothing can be created in the folder: the copy is written in place,
      // as cp writes it, and temp.OUT cannot be removed.
      {"FolderWhereNothingCanBeCreatedTakesTheCopyInPlace",
       [](const Sandbox& box) {
         for (const char* name : {"BEST.OUT", "temp.OUT", "WexlaP.OUT"}) {
           box.write(name, "old\n");
           ::chmod(box.path(name).c_str(), 0666);
         }
         ::chmod(box.dir().c_str(), 0555);
       },
       true,
       {.out = whole,
        .files = {{"BEST.OUT", records(two.second)},
                  {"WexlaP.OUT", two.summary()},
                  {"temp.OUT", records(two.second)}}},
       0666,
       [](const Sandbox& box) { ::chmod(box.dir().c_str(), 0777); }},
      // A folder that can be searched but not read has no descriptor to
      // work relative to: the copy works relative to the current folder.
      {"FolderThatCannotBeReadIsWorkedInByName",
       [](const Sandbox& box) { ::chmod(box.dir().c_str(), 0333); },
       true,
       {.out = whole,
        .files = {{"BEST.OUT", records(two.second)},
                  {"WexlaP.OUT", two.summary()},
                  {"temp.OUT", kAbsent}}},
       0644,
       [](const Sandbox& box) { ::chmod(box.dir().c_str(), 0777); }},
      // A link or a folder under BEST.OUT is refused before the copy, as
      // with cp: nothing is followed.
      {"LinkUnderBestIsRefused",
       [](const Sandbox& box) { fs::create_symlink("../elsewhere", box.path("BEST.OUT")); },
       false,
       {.status = 2,
        .out = to_first,
        .err = copy_failure("'BEST.OUT' is a symbolic link; remove it or run elsewhere"),
        .files = {{"temp.OUT", records(two.first)}}}},
  };
}

class BatchCopyCase : public testing::TestWithParam<CopyCase> {};

TEST_P(BatchCopyCase, LeavesWhatTheRowSays) {
  const CopyCase& c = GetParam();
  if (c.as_nobody) {
    SKIP_WHEN(why_permissions_do_not_bite());
  }
  const TwoSections two;
  Sandbox box;
  box.write("run1.OUT", two.text());
  c.arrange(box);
  expect_run(box, kBatch, RunOptions{.as_nobody = c.as_nobody, .umask_value = 022}, c.expect);
  if (c.tidy != nullptr) c.tidy(box);
  if (c.best_mode != 0) {
    EXPECT_EQ(mode_of(box, "BEST.OUT"), c.best_mode);
  }
}

INSTANTIATE_TEST_SUITE_P(Batch, BatchCopyCase, testing::ValuesIn(copy_cases()));

// In a folder where every user may create files but only remove their own
// (mode 1777), another user's BEST.OUT cannot be renamed over: the copy is
// written in place, as cp writes it.
TEST(BatchCopy, StickyFolderOfAnotherUsersBestTakesTheCopyInPlace) {
  SKIP_WHEN(why_permissions_do_not_bite());
  if (::geteuid() != 0) {
    GTEST_SKIP() << "BEST.OUT must belong to another user: root makes it so";
  }
  const TwoSections two;
  Sandbox box;
  box.write("run1.OUT", two.text());
  box.write("BEST.OUT", kOldBest);
  ::chmod(box.path("BEST.OUT").c_str(), 0666);
  ::chmod(box.dir().c_str(), 01777);
  expect_run(box, kBatch, RunOptions{.as_nobody = true},
             {.files = {{"BEST.OUT", records(two.second)}, {"temp.OUT", kAbsent}}});
  struct stat st {};
  ASSERT_EQ(::stat(box.path("BEST.OUT").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u) << "written in place, the file is still root's";
  ::chmod(box.dir().c_str(), 0777);
}

// A copy's temporary that a killed run left is removed by the next batch
// run; names of the same shape that are not of a run stay.
TEST(BatchCopy, TemporariesOfAKilledRunAreRemoved) {
  const TwoSections two;
  Sandbox box;
  box.write("run1.OUT", two.text());
  const std::vector<std::string> left = {".BEST.OUT.4194000.part", ".BEST.OUT.4194001.7.part"};
  const std::vector<std::string> kept = {".BEST.OUT.x.part", ".BEST.OUT.12.part.keep",
                                         ".run.json.4194000.part"};
  for (const std::string& name : left) box.write(name, "half a copy");
  for (const std::string& name : kept) box.write(name, "not a copy");
  expect_run(box, kBatch, "", {.files = {{"BEST.OUT", records(two.second)}}});
  for (const std::string& name : left) EXPECT_FALSE(box.exists(name)) << name;
  for (const std::string& name : kept) EXPECT_TRUE(box.exists(name)) << name;
}

// Another user of a shared folder swaps a name of the run for a link to a
// file of theirs outside the folder and back for a plain file, again and
// again (the look before the copy may then see a plain file): BEST.OUT in
// some runs, temp.OUT in others, both in the rest, while batch runs go on
// over a file whose every section is a new best. The runs may be refused;
// the decoy is never written, and BEST.OUT never holds its bytes.
TEST(BatchCopy, LinksSwappedInMeanwhileAreNeverFollowed) {
  Sandbox outside;
  const std::string decoy_text = "the decoy's own bytes, which must stay where they are\n";
  outside.write("decoy", decoy_text);
  ::chmod(outside.path("decoy").c_str(), 0600);
  Results results;
  for (int k = 0; k < 150; ++k) results.section(std::to_string(1000 - k));

  Sandbox box;
  box.write("run1.OUT", results.text());
  const std::string decoy = outside.path("decoy").string();
  const std::string link = box.path(".link").string(), plain = box.path(".plain").string();
  int runs = 0, ended_well = 0;
  for (; runs < 120; ++runs) {
    std::vector<std::string> swapped;
    if (runs % 3 != 1) swapped.push_back(box.path("BEST.OUT").string());
    if (runs % 3 != 0) swapped.push_back(box.path("temp.OUT").string());
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
      while (!stop.load()) {
        for (const std::string& name : swapped) {
          ::unlink(link.c_str());
          if (::symlink(decoy.c_str(), link.c_str()) == 0) ::rename(link.c_str(), name.c_str());
          int fd = ::open(plain.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
          if (fd >= 0) ::close(fd);
          ::rename(plain.c_str(), name.c_str());
        }
      }
    });
    RunResult r = box.run(kBatch);
    stop = true;
    swapper.join();
    if (r.status == 0) ++ended_well;
    ASSERT_TRUE(r.status == 0 || r.status == 2) << "status " << r.status << ": " << r.err;
    EXPECT_EQ(outside.read("decoy"), decoy_text) << "run " << runs;
    struct stat st {};
    if (::lstat(box.path("BEST.OUT").c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      EXPECT_EQ(box.read("BEST.OUT").find("decoy"), std::string::npos) << "run " << runs;
    }
    for (const char* name : {"BEST.OUT", "temp.OUT"}) fs::remove(box.path(name));
  }
  EXPECT_GE(runs, 20);
  std::printf("%d runs under swapped links, %d ended with status 0\n", runs, ended_well);
}

}  // namespace
}  // namespace e2e
