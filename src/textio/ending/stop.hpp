// Ending the run early without an error: the stop, with its note about
// floating-point exceptions raised during the run.
#pragma once

#include "textio/ending/where.hpp"

namespace wexla {

// Writes the floating-point note to descriptor 2 when invalid operation,
// division by zero, overflow or underflow has been raised during the run.
void write_floating_point_note();

// Stops the run: the note when due, then the stop is thrown (run_end.hpp)
// to where the run began, which closes every connection; status 0.
[[noreturn]] void stop_run(Where where = Where::current());

}  // namespace wexla
