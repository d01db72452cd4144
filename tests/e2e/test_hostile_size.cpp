// Large results files read in flat memory: one line of 1 GiB without a line
// feed, and files made of empty lines or of lone carriage returns. The
// editor stand-in records the peak resident memory of the run (VmHWM: the
// program's own peak since it started; the peak that wait4 reports would
// also count the pages of this test process that the child had before exec).
// Each file is run at two sizes, and both runs must stay under one bound.
// Where there is no /proc the files are still read and checked, and the
// test is then skipped for want of the peak.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "robust_support.hpp"
#include "run_check.hpp"
#include "sanitizer.hpp"

namespace e2e {
namespace {

constexpr std::uint64_t kMiB = 1 << 20;
// The program needs about 3 MiB, or about 8 MiB with the sanitizers.
constexpr long kPeakBoundKiB = test_support::kSanitized ? 24 * 1024 : 8 * 1024;
// Between the small and the large file, the peak may differ by no more.
constexpr long kGrowthKiB = 512;

// Writes `size` bytes: `start`, then `fill` repeated to the end. With
// `hole`, only the first MiB is written and the rest is a hole in the file,
// which reads as NUL bytes and costs no disk.
void write_big(const Sandbox& box, const std::string& name, const std::string& start, char fill,
               bool hole, std::uint64_t size) {
  int fd = ::open(box.path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  std::string chunk(kMiB, fill);
  chunk.replace(0, start.size(), start);
  std::uint64_t written = hole ? std::min(size, kMiB) : size;
  for (std::uint64_t done = 0; done < written;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), written - done));
    ASSERT_EQ(::write(fd, chunk.data(), n), static_cast<ssize_t>(n));
    done += n;
    if (done == n) chunk.replace(0, start.size(), std::string(start.size(), fill));
  }
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
  ::close(fd);
}

struct Measured {
  long peak_kib;
  std::uint64_t scratch_bytes;  // temp.OUT just before it was removed
};

struct BigCase {
  const char* what;
  std::string start;
  char fill;
  bool hole;
  std::uint64_t small, large;  // bytes
  // Scratch records for a file of `size` bytes.
  std::uint64_t (*records_for)(std::uint64_t size);
};

Measured run_big(const BigCase& c, std::uint64_t size) {
  Sandbox box;
  write_big(box, "big.OUT", c.start, c.fill, c.hole, size);
  if (why_no_peak_memory().empty()) record_peak_memory(box);
  box.write_script("bin/rm", "/usr/bin/wc -c < temp.OUT > scratch.size\nexec /bin/rm \"$@\"\n");
  expect_run(box, {"big", "5"}, "\n",
             {.out = no_fit_screen(), .err = "", .files = {{"temp.OUT", kAbsent}}, .what = c.what});
  return {recorded_peak_kib(box), std::strtoull(box.read("scratch.size").c_str(), nullptr, 10)};
}

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BigCase& c, std::ostream* os) {
  *os << c.what;
}

std::uint64_t one_record(std::uint64_t) {
  return 1;
}
std::uint64_t record_per_byte(std::uint64_t size) {
  return size;
}

// Every empty line becomes an 81-byte scratch record, so files of line ends
// are kept small enough for the disk and, with the sanitizers, for time:
// 4 Mi lines (340 MB of scratch records), or 512 Ki lines when sanitized.
const std::uint64_t kManyLines = test_support::kSanitized ? 512 * 1024 : 4 * kMiB;

class HostileSize : public testing::TestWithParam<BigCase> {};

TEST_P(HostileSize, PeakMemoryDoesNotGrowWithTheFile) {
  const BigCase& c = GetParam();
  Measured small = run_big(c, c.small);
  Measured large = run_big(c, c.large);
  // Nothing dropped on the way: one 81-byte record per line read.
  EXPECT_EQ(small.scratch_bytes, 81 * c.records_for(c.small));
  EXPECT_EQ(large.scratch_bytes, 81 * c.records_for(c.large));
  SKIP_WHEN(why_no_peak_memory());
  std::cout << "[ peak     ] " << c.what << ": " << small.peak_kib << " KiB at " << c.small
            << " bytes, " << large.peak_kib << " KiB at " << c.large << " bytes\n";
  EXPECT_GT(small.peak_kib, 0);
  EXPECT_LE(small.peak_kib, kPeakBoundKiB);
  EXPECT_LE(large.peak_kib, kPeakBoundKiB);
  EXPECT_LE(large.peak_kib, small.peak_kib + kGrowthKiB);
}

INSTANTIATE_TEST_SUITE_P(
    BigFiles, HostileSize,
    testing::Values(
        // A MiB of text, then NUL bytes up to 1 GiB.
        BigCase{"OneLineOf1GiB", " Final WSS =         12.5 ", 'x', true, 2 * kMiB, 1024 * kMiB,
                one_record},
        BigCase{"EmptyLines", "", '\n', false, 64 * 1024, kManyLines, record_per_byte},
        BigCase{"LoneCarriageReturns", "", '\r', false, 64 * 1024, kManyLines, record_per_byte}),
    [](const testing::TestParamInfo<BigCase>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace e2e
