// What the unit tests share: a connection on a scratch file, one whose
// writes are refused, and a fresh connection table for every test.
#include "unit_support.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "textio/connections/connection_table.hpp"
#include "textio/ending/end_run.hpp"
#include "textio/ending/run_end.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"

namespace wexla::testing_support {

void open_with_content(const ScratchFolder& dir, int number, const std::string& content) {
  dir.write("input.txt", content);
  // The same file again would be left as it stands: it is connected afresh.
  close_connection(number);
  open_connection(number, dir.path("input.txt").string(), OpenStatus::old_file);
}

Connection& open_on_full_disk(int number, const ScratchFolder& dir, const std::string& name) {
  open_connection(number, dir.path(name).string(), OpenStatus::unknown);
  Connection& c = *find_connection(number);
  int full = ::open("/dev/full", O_WRONLY);
  ::dup2(full, c.descriptor);
  ::close(full);
  return c;
}

void as_a_run(const std::function<void()>& steps, Where where) {
  RunEnd end = run_end(RunEnd::Why::finished, 0, {}, where);
  try {
    steps();
  } catch (const RunEnd& early) {
    end = early;
  }
  close_every_connection(end);
  end_process(end.status);
}

namespace {

// Every test starts with the connections of a fresh run: none of an earlier
// test is left over.
struct FreshConnections : testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    if (IoError e = restart_connections()) ADD_FAILURE() << "closing: " << reason_text(e);
  }
};

const bool kFreshConnectionsInstalled = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new FreshConnections);
  return true;
}();

}  // namespace

}  // namespace wexla::testing_support
