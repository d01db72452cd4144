// The end of every run: each connection still open is flushed and closed,
// then the process ends with the run's status.
#include "textio/ending/end_run.hpp"

#include <cstdlib>

#include "textio/connections/connection_table.hpp"
#include "textio/ending/failure.hpp"

namespace wexla {

void close_every_connection(RunEnd& end) {
  ConnectionTable& t = connection_table();
  // Memory running out while connections close ends the run a second time:
  // they are not closed twice.
  if (t.ending) return;
  t.ending = true;
  for (Connection& c : t.slots) {
    if (!c.connected) continue;
    IoError e = release(c);
    if (!e || end.why == RunEnd::Why::failure || end.why == RunEnd::Why::data_error) continue;
    write_failure_report(end.where, c.ref(), reason_text(e));
    end = run_end(RunEnd::Why::failure, end.status == 0 ? kExitFailure : end.status, reason_text(e),
                  end.where);
  }
}

void end_process(int status) {
  if (auto* end = connection_table().system.end_process) end(status);
  std::exit(status);
}

void end_run_now(RunEnd end) {
  close_every_connection(end);
  end_process(end.status);
}

}  // namespace wexla
