// What the unit tests share: a connection on a scratch file, and reading
// back what a test wrote.
#include "unit_support.hpp"

#include <gtest/gtest.h>

#include "textio/connections/connection_table.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"

namespace wexla::testing_support {

void open_with_content(const ScratchFolder& dir, int number, const std::string& content) {
  dir.write("input.txt", content);
  // The same file again would be left as it stands: it is connected afresh.
  close_connection(number);
  open_connection(number, dir.path("input.txt").string(), OpenStatus::old_file);
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
