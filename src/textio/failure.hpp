// The run-time failure report: a locus line naming the failing statement and
// its connection, a reason line, an empty line and a backtrace, written
// straight to descriptor 2; then the run ends with every connection closed.
#pragma once

#include <string_view>

#include "textio/where.hpp"

namespace wexla {

inline constexpr int kExitFailure = 2;
inline constexpr int kExitOutOfMemory = 1;

// The connection a failing statement worked on. A number of 0 or less (an
// in-memory record, or connection 0) is not shown in the locus line; an
// empty name shows the number alone.
struct UnitRef {
  int number = 0;
  std::string_view name;
};

// Writes the report for a failure and ends the run with status 2.
[[noreturn]] void generate_error(Where where, UnitRef unit, std::string_view reason);

// Writes the report without ending the run; used while the run is already
// ending, where the first failure decides the exit status.
void write_error_report(Where where, UnitRef unit, std::string_view reason);

// Memory could not be obtained: report and end the run with status 1.
[[noreturn]] void out_of_memory();

// Installs the allocation-failure handler and loads what the backtrace
// needs while memory is still available.
void install_failure_handlers();

}  // namespace wexla
