// Closing one connection, and flushing them all; a final write that fails
// is reported and ends the run.
#include "textio/files/closing.hpp"

#include "textio/connections/connection_table.hpp"
#include "textio/ending/failure.hpp"

namespace wexla {

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

}  // namespace wexla
