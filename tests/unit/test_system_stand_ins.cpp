// The connection table's stand-ins for the system: the shell a command is
// handed to (pending output written first, the text without its trailing
// blanks, the wait status read as an outcome) and the end of the process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "../host_facilities.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/ending/end_run.hpp"
#include "textio/ending/failure.hpp"
#include "textio/ending/stop.hpp"
#include "textio/files/shell.hpp"
#include "textio/records/record.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::ScratchFolder;

constexpr int kUnit = 23;

// What the stand-in shell saw, and the status it answers.
struct Seen {
  std::string command;
  long file_size = -1;  // the connected file's size when the command ran
  std::string path;
  int answer = 0;
};
Seen seen;

int recording_shell(const char* command) {
  seen.command = command;
  struct stat st {};
  seen.file_size = ::stat(seen.path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
  return seen.answer;
}

TEST(ShellStandIn, GetsTheTrimmedTextAfterPendingOutputIsWritten) {
  (void)restart_connections();
  ScratchFolder dir;
  testing_support::open_with_content(dir, kUnit, "");
  seen = Seen{};
  seen.path = dir.path("input.txt").string();
  ASSERT_TRUE(std::filesystem::exists(seen.path));
  write_record(kUnit, kWholeRecord, std::string_view("pending"));
  connection_table().system.run_command = recording_shell;
  (void)run_shell_command("cp temp.OUT BEST.OUT    ");
  EXPECT_EQ(seen.command, "cp temp.OUT BEST.OUT");
  EXPECT_EQ(seen.file_size, 8) << "the record and its line end reach the file first";
  (void)restart_connections();
  EXPECT_EQ(connection_table().system.run_command, nullptr);
}

// The wait status a shell gives back, read as the command's ending.
TEST(ShellStandIn, WaitStatusesReadAsOutcomes) {
  using Ending = CommandOutcome::Ending;
  struct Row {
    int wait_status;
    Ending ending;
    int value;
    bool succeeded;
  };
  const Row rows[] = {
      {0, Ending::exited, 0, true},
      {1 << 8, Ending::exited, 1, false},
      {125 << 8, Ending::exited, 125, false},
      {126 << 8, Ending::not_run, 126, false},  // found, not executable
      {127 << 8, Ending::not_run, 127, false},  // not found
      {128 << 8, Ending::exited, 128, false},
      {130 << 8, Ending::signalled, SIGINT, false},  // the shell outlived it
      {192 << 8, Ending::signalled, 64, false},
      {193 << 8, Ending::exited, 193, false},
      {SIGKILL, Ending::signalled, SIGKILL, false},  // the shell itself ended
      {-1, Ending::not_run, 0, false},               // no shell at all
  };
  (void)restart_connections();
  connection_table().system.run_command = recording_shell;
  for (const Row& row : rows) {
    seen.answer = row.wait_status;
    CommandOutcome outcome = run_shell_command("rm temp.OUT");
    EXPECT_EQ(outcome.ending, row.ending) << row.wait_status;
    EXPECT_EQ(outcome.value, row.value) << row.wait_status;
    EXPECT_EQ(outcome.succeeded(), row.succeeded) << row.wait_status;
  }
  (void)restart_connections();
}

struct Ended {
  int status;
};

[[noreturn]] void throw_status(int status) {
  throw Ended{status};
}

// A run that cannot be described (memory ran out) ends at once: every
// connection closed, then the process ended through the seam.
TEST(EndProcessStandIn, GetsTheStatusOnceEveryConnectionIsClosed) {
  (void)restart_connections();
  ScratchFolder dir;
  testing_support::open_with_content(dir, kUnit, "old content\n");
  write_record(kUnit, kWholeRecord, std::string_view("new"));
  ConnectionTable& t = connection_table();
  t.system.end_process = throw_status;
  int status = -1;
  try {
    end_run_now(run_end(RunEnd::Why::failure, 5, {}));
  } catch (const Ended& ended) {
    status = ended.status;
  }
  EXPECT_EQ(status, 5);
  EXPECT_EQ(find_connection(kUnit), nullptr);
  EXPECT_EQ(dir.read("input.txt"), "new\n");
  (void)restart_connections();
  EXPECT_EQ(t.system.end_process, nullptr);
  EXPECT_FALSE(t.ending);
}

// A stop and a failure come back as the run's end, with their status and
// reason; a final write that fails at the end becomes the end, unless the
// run ends for a failure already reported.
TEST(RunEnds, WhatEachEndCarriesAndWhatAFailedFinalWriteMakesOfIt) {
  try {
    testing::internal::CaptureStderr();
    report_failure(Where::current(), {}, "a planted failure");
    ADD_FAILURE() << "the failure did not end the run";
  } catch (const RunEnd& end) {
    (void)testing::internal::GetCapturedStderr();
    EXPECT_EQ(end.why, RunEnd::Why::failure);
    EXPECT_EQ(end.status, 2);
    EXPECT_EQ(end.reason_text(), "a planted failure");
  }
  try {
    stop_run();
    ADD_FAILURE() << "the stop did not end the run";
  } catch (const RunEnd& end) {
    EXPECT_EQ(end.why, RunEnd::Why::stop);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.reason_text(), "");
  }

  SKIP_WHEN(host::why_no_full_device());
  struct Row {
    RunEnd::Why why;
    int status;
    RunEnd::Why then;
    int then_status;
    const char* reason;  // null: the full disk's
  };
  const Row rows[] = {
      {RunEnd::Why::finished, 0, RunEnd::Why::failure, 2, nullptr},
      {RunEnd::Why::stop, 0, RunEnd::Why::failure, 2, nullptr},
      {RunEnd::Why::not_found, 66, RunEnd::Why::failure, 66, nullptr},
      {RunEnd::Why::failure, 2, RunEnd::Why::failure, 2, "the first"},
  };
  for (const Row& row : rows) {
    (void)restart_connections();
    ScratchFolder dir;
    testing_support::open_on_full_disk(kUnit, dir, "f");
    write_record(kUnit, kWholeRecord, std::string_view("pending"));
    RunEnd end = run_end(row.why, row.status, row.reason != nullptr ? row.reason : "");
    testing::internal::CaptureStderr();
    close_every_connection(end);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(end.why, row.then) << row.status;
    EXPECT_EQ(end.status, row.then_status) << row.status;
    EXPECT_EQ(end.reason_text(), row.reason != nullptr ? row.reason : host::error_text(ENOSPC));
    EXPECT_EQ(err.empty(), row.reason != nullptr) << "reported once: " << err;
    EXPECT_EQ(find_connection(kUnit), nullptr);
  }
}

}  // namespace
}  // namespace wexla
