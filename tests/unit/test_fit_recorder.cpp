// The recorder of a run's fits: what it is told comes back fit by fit, in
// order and whole, from memory and from its spill file alike, also for a
// record across the end of the file; the spill file leaves no name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <filesystem>
#include <string>

#include "scan/fit_recorder.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::ScratchFolder;

// The recorder makes its spill file in the current folder when no run
// folder is held: the test works in a scratch folder of its own.
struct InFolder {
  explicit InFolder(const ScratchFolder& dir)
      : home(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    EXPECT_EQ(::chdir(dir.dir().c_str()), 0);
  }
  ~InFolder() {
    EXPECT_EQ(::fchdir(home), 0);
    ::close(home);
  }
  int home;
};

std::string parameter(int fit, int line) {
  return " THETA(" + std::to_string(line) + ") of fit " + std::to_string(fit) + "  )";
}

TEST(FitRecorder, GivesBackEveryFitInOrderFromMemoryAndFromItsFile) {
  for (int fits : {0, 1, 7, 12000}) {
    ScratchFolder dir;
    InFolder in(dir);
    FitRecorder r;
    r.on = true;
    for (int k = 1; k <= fits; ++k) {
      float wss = k % 97 == 0 ? std::bit_cast<float>(0x7FC00000u) : 1000.0f / static_cast<float>(k);
      std::string field = "  " + std::to_string(k) + ".5e-3   ";
      field.resize(14, ' ');
      record_fit(r, k, wss, wss, k % 3 == 0, k % 2 == 0, field);
      for (int line = 0; line < k % 5; ++line) {
        std::string written = parameter(k, line) + "      ";
        record_parameter_line(r, written);
      }
    }
    FitReader reader = read_fits(r);
    int seen = 0;
    while (const RecordedFit* fit = next_fit(reader)) {
      ++seen;
      ASSERT_EQ(fit->number, seen);
      float wss =
          seen % 97 == 0 ? std::bit_cast<float>(0x7FC00000u) : 1000.0f / static_cast<float>(seen);
      EXPECT_EQ(std::bit_cast<std::uint32_t>(fit->wss), std::bit_cast<std::uint32_t>(wss));
      EXPECT_EQ(fit->marked, seen % 3 == 0);
      EXPECT_EQ(fit->new_best, seen % 2 == 0);
      EXPECT_EQ(fit->wss_text, std::to_string(seen) + ".5e-3");
      ASSERT_EQ(fit->parameters.size(), static_cast<std::size_t>(seen % 5)) << seen;
      for (int line = 0; line < seen % 5; ++line)
        EXPECT_EQ(fit->parameters[static_cast<std::size_t>(line)], parameter(seen, line));
    }
    EXPECT_EQ(seen, fits);
    if (fits == 12000) {
      EXPECT_GT(r.spilled, 0u) << "the records went to the spill file";
    }
    // A second reading gives the same again.
    FitReader again = read_fits(r);
    int count = 0;
    while (next_fit(again) != nullptr) ++count;
    EXPECT_EQ(count, fits);
    EXPECT_TRUE(std::filesystem::is_empty(dir.dir())) << "the spill file has no name";
  }
}

}  // namespace
}  // namespace wexla
