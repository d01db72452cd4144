// The documents take flat memory: a batch run that writes the JSON and the
// CSV over 200,000 fits needs at most 16 bytes a fit more at its peak than
// over 50,000 (the table of WSS values holds 4 a fit; what the documents
// need beyond it waits in a file with no name). A size check: the peak is
// the resident set the system reports for the finished run, which also
// counts the pages of this process at the start, the same for both.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "harness.hpp"
#include "sanitizer.hpp"

extern char** environ;

namespace e2e {
namespace {

// Writes `fits` fits of few lines each to `path`, every section starting
// afresh; every 1000th fit a new best. Written as it goes, so that this
// process stays small: a child started from it counts its pages too.
void write_many_fits(const std::filesystem::path& path, int fits) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  ASSERT_NE(out, nullptr);
  for (int k = 1; k <= fits; ++k) {
    double value = k % 1000 == 1 ? 1e6 / k : 2e6 + k;
    std::fprintf(out,
                 " FINAL OUTPUT FROM Kalvor\n Final WSS = %14.6f\n\n\n\n\n\n\n\n"
                 " Model and Parameter Definition\n THETA(1) (CL) 1.5\n end\n",
                 value);
  }
  ASSERT_EQ(std::fclose(out), 0);
}

// The last bytes of a file.
std::string tail_of(const std::filesystem::path& path, long bytes) {
  std::FILE* in = std::fopen(path.c_str(), "r");
  if (in == nullptr) return {};
  std::fseek(in, -bytes, SEEK_END);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  text.resize(std::fread(text.data(), 1, text.size(), in));
  std::fclose(in);
  return text;
}

// Runs WEXLA in `dir` and gives its peak resident memory in KiB, as
// peak_of measures it (this process is large; it would count too).
long peak_kib(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(PEAK_OF), const_cast<char*>(WEXLA_BINARY)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int report[2];
  if (::pipe(report) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, report[1], 2);
  posix_spawn_file_actions_addclose(&actions, report[0]);
  const std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  pid_t pid = -1;
  int error = posix_spawn(&pid, PEAK_OF, &actions, nullptr, argv.data(), environ);
  std::filesystem::current_path(home);
  posix_spawn_file_actions_destroy(&actions);
  ::close(report[1]);
  std::string said;
  char buffer[256];
  for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;) said.append(buffer, n);
  ::close(report[0]);
  if (error != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::atol(said.c_str());
}

TEST(DocumentMemory, GrowsByAtMostSixteenBytesAFit) {
  if (test_support::kSanitized) {
    GTEST_SKIP() << "the sanitizers keep memory of their own, which grows with what is freed";
  }
  long peaks[2] = {0, 0};
  const int sizes[2] = {50000, 200000};
  for (int k = 0; k < 2; ++k) {
    Sandbox box;
    write_many_fits(box.path("run1.OUT"), sizes[k]);
    peaks[k] = peak_kib(box.dir(), {"--batch", "--json=run.json", "--csv=run.csv",
                                    "--html=run.html", "--svg=run.svg", "run1", "5"});
    ASSERT_GT(peaks[k], 0) << sizes[k] << " fits: the run failed";
    EXPECT_NE(
        tail_of(box.path("run.json"), 4096).find("\"fit\": " + std::to_string(sizes[k]) + ","),
        std::string::npos)
        << "the document holds every fit";
    EXPECT_NE(tail_of(box.path("run.svg"), 4096).find("data-fit=\"" + std::to_string(sizes[k])),
              std::string::npos)
        << "the chart holds every fit";
  }
  double per_fit = static_cast<double>(peaks[1] - peaks[0]) * 1024.0 / (sizes[1] - sizes[0]);
  std::printf("peak %ld KiB at 50,000 fits, %ld KiB at 200,000: %.1f bytes a fit\n", peaks[0],
              peaks[1], per_fit);
  EXPECT_LE(per_fit, 16.0);
}

}  // namespace
}  // namespace e2e
