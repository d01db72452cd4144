// The end of every run: each connection still open flushed and closed, then
// the process ended with the run's status through the system seam.
#pragma once

#include "textio/ending/run_end.hpp"

namespace wexla {

// Closes every connection still open, even after one fails. A final write
// that fails is reported unless the run ends because of a failure already
// reported; it then becomes the run's end: a failure with that reason, and
// status 2 where the status was 0.
void close_every_connection(RunEnd& end);

// Ends the process with `status`: std::exit, unless a test put a stand-in
// in the system seam.
[[noreturn]] void end_process(int status);

// An end that cannot wait to be described (memory ran out): every
// connection closed, then the process ended with the end's status.
[[noreturn]] void end_run_now(RunEnd end);

}  // namespace wexla
