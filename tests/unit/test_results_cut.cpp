// A results file cut while a batch run reads it, through the seam's read:
// cut to nothing, cut behind what was read, cut ahead of the reader. The
// run ends as a failure, never with status 0 and a cut section in BEST.OUT;
// a run without --batch reads what is there, as it always did.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "in_process_run.hpp"
#include "results_file.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::run_in_process;
using testing_support::ScratchFolder;

// What the stand-in for read does: once `cut_after` bytes of the results
// file (known by its inode) have been read, it cuts the file to `cut_to`.
struct Cutter {
  ino_t results = 0;
  std::string path;
  long read_so_far = 0;
  long cut_after = 0;
  long cut_to = 0;
  bool cut = false;
};
Cutter cutter;

long cutting_read(int fd, char* data, std::size_t length) {
  ssize_t n = ::read(fd, data, length);
  struct stat st {};
  if (n > 0 && ::fstat(fd, &st) == 0 && st.st_ino == cutter.results) {
    cutter.read_so_far += n;
    if (!cutter.cut && cutter.read_so_far >= cutter.cut_after) {
      cutter.cut = ::truncate(cutter.path.c_str(), cutter.cut_to) == 0;
    }
  }
  return n;
}

// Twenty sections, each fit a new best.
std::string twenty_sections(std::string& first_best) {
  e2e::Results results;
  for (int k = 0; k < 20; ++k) {
    e2e::Results one;
    one.section(std::to_string(100 - k));
    if (k == 0) first_best = e2e::records(one.text());
    results.line(one.text().substr(0, one.text().size() - 1));
  }
  return results.text();
}

struct CutRow {
  const char* what;
  long cut_after;
  long cut_to;  // -1: a little ahead of where the reader is then
};

TEST(ResultsFileCut, WhileABatchRunReadsItIsAFailure) {
  const CutRow rows[] = {{"to nothing", 9000, 0},
                         {"behind the reader", 17000, 5000},
                         {"ahead of the reader", 9000, -1}};
  for (const CutRow& row : rows) {
    ScratchFolder dir;
    std::string first_best;
    const std::string text = twenty_sections(first_best);
    dir.write("run1.OUT", text);
    struct stat st {};
    ASSERT_EQ(::stat(dir.path("run1.OUT").c_str(), &st), 0);
    cutter = Cutter{st.st_ino, dir.path("run1.OUT").string(), 0, row.cut_after,
                    row.cut_to >= 0 ? row.cut_to : 16384 + 1000};
    SystemSeam seam;
    seam.read_input = cutting_read;
    testing_support::InProcessRun r = run_in_process(dir, {"--batch", "run1", "5"}, seam);
    ASSERT_TRUE(cutter.cut) << row.what;
    EXPECT_EQ(r.status, 2) << row.what << "\n" << r.err;
    EXPECT_EQ(r.err, "wexla: the results file was cut while it was read\n") << row.what << "\n"
                                                                            << r.err;
    // BEST.OUT holds a whole section that was read before the cut.
    bool whole = false;
    const std::string best = dir.read("BEST.OUT");
    const std::string all = e2e::records(text);
    whole = !best.empty() && all.find(best) != std::string::npos &&
            best.rfind(first_best.substr(0, 81), 0) == 0;
    EXPECT_TRUE(whole) << row.what << ": BEST.OUT is " << best.size() << " bytes";
  }
}

// Without --batch the run reads what is there, as it always has (its
// commands are the real cp and rm; no editor is found).
TEST(ResultsFileCut, ARunWithoutOptionsReadsWhatIsThere) {
  ScratchFolder dir;
  std::string first_best;
  dir.write("run1.OUT", twenty_sections(first_best));
  struct stat st {};
  ASSERT_EQ(::stat(dir.path("run1.OUT").c_str(), &st), 0);
  cutter = Cutter{st.st_ino, dir.path("run1.OUT").string(), 0, 9000, 0};
  SystemSeam seam;
  seam.read_input = cutting_read;
  testing_support::InProcessRun r = run_in_process(dir, {"run1", "5"}, seam, "\n");
  ASSERT_TRUE(cutter.cut) << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace wexla
