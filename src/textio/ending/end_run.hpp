// The one way a run ends: every connection flushed and closed, then the
// process ends with its status.
#pragma once

#include "textio/ending/where.hpp"

namespace wexla {

// Closes every connection and ends the process with `status` (2 if the
// closing itself failed, after reporting that failure unless a failure was
// reported before), after calling the table's end_of_run when it is set.
[[noreturn]] void end_run(int status, Where where = Where::current());

}  // namespace wexla
