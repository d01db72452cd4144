// The end of every run: each connection still open is flushed and closed,
// then the process ends with the run's status.
#include "textio/ending/end_run.hpp"

#include <cstdlib>

#include "textio/connections/connection_table.hpp"
#include "textio/ending/failure.hpp"

namespace wexla {

void end_run(int status, Where where) {
  ConnectionTable& t = connection_table();
  if (!t.ending) {
    t.ending = true;
    // Every connection is closed even after one fails; the first failure is
    // reported unless the run is ending because of an earlier one.
    bool closed = true;
    for (Connection& c : t.slots) {
      if (!c.connected) continue;
      if (IoError e = release(c)) {
        closed = false;
        if (!failure_reported()) write_failure_report(where, c.ref(), reason_text(e));
      }
    }
    if (!closed && status == 0) status = kExitFailure;
  }
  // Taken out before the call, so that an end of the run from inside it
  // (memory running out) does not call it again.
  if (auto* hook = t.end_of_run) {
    t.end_of_run = nullptr;
    status = hook(status, t.end_of_run_context);
  }
  if (auto* end = t.end_process) end(status);
  std::exit(status);
}

}  // namespace wexla
