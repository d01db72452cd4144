// Files that are not regular files: results files that are FIFOs with a
// writer from the start or a late one, a socket or a device, and output
// files that are FIFOs with and without a reader. Every run has a time limit, so a hang fails
// the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kTimeLimit = 30;
// The C library's text for an opening that finds no device behind the name.
const std::string kNoDevice = host::error_text(ENXIO);

RunOptions limited(const std::string& input = "\n") {
  RunOptions options;
  options.input = input;
  options.time_limit = kTimeLimit;
  return options;
}

void make_fifo(const Sandbox& box, const std::string& name, mode_t mode = 0666) {
  ASSERT_EQ(::mkfifo(box.path(name).c_str(), mode), 0);
  ::chmod(box.path(name).c_str(), mode);
}

// What a run on a regular file with this text prints and leaves.
struct Reference {
  RunResult run;
  std::string best, summary;
};

Reference reference_run(const std::string& text) {
  Sandbox box;
  box.write("run1.OUT", text);
  Reference ref;
  ref.run = box.run({"run1", "5"}, "\n");
  ref.best = box.read("BEST.OUT");
  ref.summary = box.read("WexlaP.OUT");
  return ref;
}

TEST(HostileFiles, FifoWhoseWriterComesLateIsReadWhole) {
  // The run waits for the writer at the opening, however late it comes,
  // and reads to its end; the writer is not left waiting for a reader.
  Results results;
  results.section("20.25").section("12.5");
  Reference ref = reference_run(results.text());
  Sandbox box;
  make_fifo(box, "run1.OUT");
  box.write("BEST.OUT", "earlier best\n");
  FifoWriter writer(box.path("run1.OUT").string(), results.text(), 500);
  expect_run(
      box, {"run1", "5"}, limited(),
      {.out = ref.run.out,
       .files = {{"BEST.OUT", ref.best}, {"WexlaP.OUT", ref.summary}, {"temp.OUT", kAbsent}}});
  EXPECT_TRUE(writer.all_read());
}

TEST(HostileFiles, FifoIsReadToItsWritersEnd) {
  // A small file, and one of several pipe buffers' worth.
  Results small, large;
  small.section("20.25").section("12.5");
  for (int i = 0; i < 300; ++i) large.section(std::to_string(500 - i % 97));
  for (const std::string& text : {small.text(), large.text()}) {
    Reference ref = reference_run(text);
    Sandbox box;
    make_fifo(box, "run1.OUT");
    FifoWriter writer(box.path("run1.OUT").string(), text);
    std::string what = std::to_string(text.size()) + " bytes";
    expect_run(box, {"run1", "5"}, limited(),
               {.out = ref.run.out,
                .files = {{"BEST.OUT", ref.best}, {"WexlaP.OUT", ref.summary}},
                .what = what});
    EXPECT_TRUE(writer.all_read()) << what;
  }
}

TEST(HostileFiles, FifoThatCannotBeReadFailsAtOnce) {
  // Read attempts lack permission; the write-only attempt finds no reader
  // and does not wait for one.
  Sandbox box;
  make_fifo(box, "run1.OUT", 0222);
  SKIP_WHEN(why_permissions_do_not_bite());
  RunOptions options = limited();
  options.as_nobody = true;
  expect_run(
      box, {"run1", "5"}, options,
      {.status = 2,
       .out = banner() + table_heading(),
       .report = report("fit_scan.cpp (unit = 10)", "Cannot open file 'run1.OUT': " + kNoDevice),
       .files = {{"temp.OUT", kAbsent}}});
}

TEST(HostileFiles, OutputFifoIsRefusedWithOrWithoutAReader) {
  // A file the run writes must be a regular file: a FIFO under its name is
  // refused at the opening, before anything is written, and a reader
  // waiting on it gets nothing.
  struct Case {
    const char* name;
    const char* locus;
    bool reader;
  } cases[] = {{"temp.OUT", "capture.cpp (unit = 11)", false},
               {"WexlaP.OUT", "summary.cpp", false},
               {"temp.OUT", "capture.cpp (unit = 11)", true},
               {"WexlaP.OUT", "summary.cpp", true}};
  for (const Case& c : cases) {
    std::string what = std::string(c.name) + (c.reader ? " with a reader" : " alone");
    Sandbox box;
    box.write("run1.OUT", Results().section("12.5").text());
    box.write("BEST.OUT", "earlier best\n");
    make_fifo(box, c.name);
    std::unique_ptr<FifoReader> reader;
    if (c.reader) {
      reader = std::make_unique<FifoReader>(box.path(c.name).string(), box.path("taken").string());
    }
    expect_run(box, {"run1", "5"}, limited(),
               {.status = 2,
                .out = banner() + table_heading(),
                .report = report(c.locus, "Cannot open file '" + std::string(c.name) +
                                              "': it is a FIFO (named pipe); remove it or run "
                                              "elsewhere"),
                .files = {{"BEST.OUT", "earlier best\n"}},
                .what = what});
    if (reader) {
      EXPECT_EQ(box.read("taken"), "") << what;
    }
  }
}

TEST(HostileFiles, SocketCannotBeOpened) {
  Sandbox box;
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string path = box.path("run1.OUT").string();
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // The system's refusal differs: ENXIO on Linux, EOPNOTSUPP on macOS and
  // the BSDs. The report gives whichever it is.
  int opened = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  int refusal = errno;
  ASSERT_LT(opened, 0);
  expect_run(box, {"run1", "5"}, limited(),
             {.status = 2,
              .out = banner() + table_heading(),
              .report = report("fit_scan.cpp (unit = 10)",
                               "Cannot open file 'run1.OUT': " + host::error_text(refusal))});
  ::close(fd);
}

TEST(HostileFiles, DeviceReadsAsEmpty) {
  Sandbox box;
  fs::create_symlink("/dev/null", box.path("run1.OUT"));
  expect_run(box, {"run1", "5"}, limited(),
             {.out = no_fit_screen(), .files = {{"BEST.OUT", kAbsent}}});
}

}  // namespace
}  // namespace e2e
