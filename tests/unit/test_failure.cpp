// The failure report: its locus line for each kind of connection, its
// reason line and the exit statuses.
#include <gtest/gtest.h>

#include <cerrno>
#include <cfenv>
#include <cstdlib>
#include <new>
#include <string>

#include "../host_facilities.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/ending/failure.hpp"
#include "textio/ending/stop.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::as_a_run;

TEST(FailureDeathTest, MemoryExhaustionEndsWithStatusOne) {
  EXPECT_EXIT(out_of_memory(), testing::ExitedWithCode(1),
              "^Operating system error: " + host::regex_quoted(host::error_text(ENOMEM)) +
                  "\n"
                  "Memory allocation failed\n\n"
                  "Error termination. Backtrace:\n#0  0x");
}

TEST(FailureDeathTest, AllocationFailureReachesTheReport) {
  EXPECT_EXIT(
      {
        install_failure_handlers();
        std::new_handler handler = std::get_new_handler();
        if (handler != nullptr) handler();
      },
      testing::ExitedWithCode(1), "Memory allocation failed\n");
}

TEST(FailureDeathTest, ReportLayouts) {
  EXPECT_EXIT(as_a_run([&] {
                report_failure(Where::current(), {5, "stdin"}, "End of file");
              }),
              testing::ExitedWithCode(2),
              "^At line [0-9]+ of file test_failure.cpp \\(unit = 5, file = 'stdin'\\)\n"
              "Wexla run-time error: End of file\n\nError termination. Backtrace:\n#0  ");
  EXPECT_EXIT(as_a_run([&] {
                report_failure(Where::current(), {10, {}}, "Cannot open file 'x': y");
              }),
              testing::ExitedWithCode(2),
              "^At line [0-9]+ of file test_failure.cpp \\(unit = 10\\)\n");
  EXPECT_EXIT(as_a_run([&] {
                report_failure(Where::current(), {0, "WexlaP.OUT"}, "reason");
              }),
              testing::ExitedWithCode(2), "^At line [0-9]+ of file test_failure.cpp\n");
}

TEST(FailureDeathTest, StopWritesTheNoteOnlyForRaisedFlags) {
  EXPECT_EXIT(as_a_run([&] {
                std::feclearexcept(FE_ALL_EXCEPT);
                stop_run();
              }),
              testing::ExitedWithCode(0), "^$");
  EXPECT_EXIT(
      as_a_run([&] {
        std::feclearexcept(FE_ALL_EXCEPT);
        std::feraiseexcept(FE_UNDERFLOW | FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_INEXACT);
        stop_run();
      }),
      testing::ExitedWithCode(0),
      "^Note: The following floating-point exceptions are signalling: IEEE_INVALID_FLAG "
      "IEEE_DIVIDE_BY_ZERO IEEE_OVERFLOW_FLAG IEEE_UNDERFLOW_FLAG\n$");
  EXPECT_EXIT(as_a_run([&] {
                std::feclearexcept(FE_ALL_EXCEPT);
                std::feraiseexcept(FE_INEXACT);
                stop_run();
              }),
              testing::ExitedWithCode(0), "^$");
}

}  // namespace
}  // namespace wexla
