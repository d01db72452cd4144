// The run-time failure report: a locus line naming the failing statement and
// its connection, a reason line, an empty line and a backtrace, written
// straight to descriptor 2; then the run ends as a failure (run_end.hpp).
#pragma once

#include <string_view>

#include "textio/connections/io_error.hpp"
#include "textio/ending/run_end.hpp"
#include "textio/ending/where.hpp"

namespace wexla {

// Writes the report for a failure and ends the run with status 2: throws
// the failure's RunEnd, which carries the reason.
[[noreturn]] void report_failure(Where where, ConnectionRef connection, std::string_view reason);

// Writes the report without ending the run; used while the run is already
// ending, where the first failure decides the exit status.
void write_failure_report(Where where, ConnectionRef connection, std::string_view reason);

// Memory could not be obtained: report, close every connection and end the
// process with status 1 at once (describing the run would need memory).
[[noreturn]] void out_of_memory();

// Installs the allocation-failure handler and loads what the backtrace
// needs while memory is still available.
void install_failure_handlers();

}  // namespace wexla
