// Closing connections, and the end of the run, where every connection still
// open is flushed and closed.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "textio/connection_table.hpp"
#include "textio/failure.hpp"

namespace wexla {

IoError release(Connection& c) {
  IoError e = flush(c);
  if (c.descriptor > 2 && ::close(c.descriptor) != 0 && errno != EINTR && !e) {
    e = {Trouble::closing, errno};
  }
  remove_connection(c);
  return e;
}

void close_connection(int number, Where where) {
  Connection* c = find_connection(number);
  if (c == nullptr) return;
  if (IoError e = release(*c)) report_failure(where, c->ref(), reason_text(e));
}

void flush_all_connections(Where where) {
  for (Connection& c : connection_table().slots) {
    if (!c.connected) continue;
    if (IoError e = flush(c)) report_failure(where, c.ref(), reason_text(e));
  }
}

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
  std::exit(status);
}

}  // namespace wexla
