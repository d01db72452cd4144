// Replays every kept fuzz input through the check of its fuzz target: the
// seeds of fuzz/corpus/ and the inputs that once broke an invariant, kept in
// fuzz/regressions/ (one file each, named after the fault).
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "checks.hpp"
#include "scratch_folder.hpp"
#include "textio/numbers/read_real.hpp"

namespace wexla {
namespace {

namespace fs = std::filesystem;

using Check = std::string (*)(const std::uint8_t*, std::size_t);

struct Target {
  const char* name;
  Check check;
};

constexpr Target kTargets[] = {
    {"fuzz_read_real", fuzz::check_read_real},
    {"fuzz_format_write", fuzz::check_format_write},
    {"fuzz_record_read", fuzz::check_record_read},
    {"fuzz_scan", fuzz::check_scan},
};

std::vector<fs::path> inputs(const std::string& folder, const std::string& target) {
  std::vector<fs::path> found;
  fs::path dir = fs::path(WEXLA_FUZZ_DIR) / folder / target;
  if (!fs::is_directory(dir)) return found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file()) found.push_back(entry.path());
  }
  return found;
}

std::size_t replay(const Target& target, const std::vector<fs::path>& files) {
  for (const fs::path& file : files) {
    const std::string bytes = test_support::read_file(file.string());
    EXPECT_EQ(target.check(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
        << target.name << " on " << file;
  }
  return files.size();
}

void PrintTo(const Target& target, std::ostream* os) {
  *os << target.name;
}

class FuzzReplay : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, SeedsAndKeptFindingsKeepEveryInvariant) {
  EXPECT_GT(replay(GetParam(), inputs("corpus", GetParam().name)), 3u) << "seeds missing";
  replay(GetParam(), inputs("regressions", GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

// The first finding: d is subtracted from the exponent as written, however
// many digits it has, and only then is a magnitude above 9999 refused.
TEST(FuzzRegressions, ExponentIsBoundedAfterDIsSubtracted) {
  struct Row {
    const char* field;
    int d;
    bool accepted;
  };
  const Row rows[] = {
      {"1e99999", 7, false},   // 99992
      {"1e10007", 7, false},   // 10000
      {"1e10006", 7, true},    // 9999: +infinity
      {"1e-9993", 7, false},   // -10000
      {"1.e10006", 7, false},  // a point: d is not applied
  };
  for (const Row& row : rows) {
    float target = 2.0f;
    EXPECT_EQ(read_real_field(row.field, row.d, target), row.accepted) << row.field;
    EXPECT_EQ(target, row.accepted ? std::numeric_limits<float>::infinity() : 2.0f) << row.field;
  }
}

// The kept findings, each named; a lost file would silently drop its case.
TEST(FuzzRegressions, EveryKeptFindingIsPresent) {
  const char* kept[][2] = {
      {"fuzz_read_real", "exponent_cap_with_digits"},
  };
  for (const auto& [target, name] : kept) {
    EXPECT_TRUE(fs::is_regular_file(fs::path(WEXLA_FUZZ_DIR) / "regressions" / target / name))
        << target << "/" << name;
  }
}

}  // namespace
}  // namespace wexla
