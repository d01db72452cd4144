// The run-time failure report: a locus line naming the failing statement and
// its connection, a reason line, an empty line and a backtrace, written
// straight to descriptor 2; then the run ends with every connection closed.
#pragma once

#include <string_view>

#include "textio/connections/io_error.hpp"
#include "textio/ending/where.hpp"

namespace wexla {

inline constexpr int kExitFailure = 2;
inline constexpr int kExitOutOfMemory = 1;

// Writes the report for a failure and ends the run with status 2.
[[noreturn]] void report_failure(Where where, ConnectionRef connection, std::string_view reason);

// Writes the report without ending the run; used while the run is already
// ending, where the first failure decides the exit status.
void write_failure_report(Where where, ConnectionRef connection, std::string_view reason);

// Whether a report has been written during the run: a later failure while
// the run ends is then not reported again.
bool failure_reported();

// The reason text of the first report written during the run; empty when
// none was (or when memory ran out, whose report has no reason line).
std::string_view failure_reason();

// Memory could not be obtained: report and end the run with status 1.
[[noreturn]] void out_of_memory();

// Installs the allocation-failure handler and loads what the backtrace
// needs while memory is still available.
void install_failure_handlers();

}  // namespace wexla
