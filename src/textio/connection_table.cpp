// The table of connections: finding one by number, entering and removing
// one, and the standard streams made at start.
#include "textio/connection_table.hpp"

namespace wexla {

ConnectionTable the_connection_table;

Connection* find_connection_by_search(int number) {
  for (Connection& c : connection_table().slots) {
    if (c.connected && c.number == number) return &c;
  }
  return nullptr;
}

void enter_connection(Connection& c) {
  c.connected = true;
  if (c.number >= 0 && c.number < kDirectNumbers) connection_table().by_number[c.number] = &c;
}

void remove_connection(Connection& c) {
  c.connected = false;
  if (c.number >= 0 && c.number < kDirectNumbers) connection_table().by_number[c.number] = nullptr;
}

Connection* free_slot() {
  for (Connection& c : connection_table().slots) {
    if (!c.connected) return &c;
  }
  return nullptr;
}

void start_connections() {
  ConnectionTable& t = connection_table();
  attach(t.slots[0], kStdinConnection, 0, "stdin", Action::read_only, OpenStatus::old_file);
  attach(t.slots[1], kStdoutConnection, 1, "stdout", Action::write_only, OpenStatus::old_file);
  attach(t.slots[2], kStderrConnection, 2, "stderr", Action::write_only, OpenStatus::old_file);
  t.slots[0].at_end = false;
  t.slots[1].at_end = true;
  t.slots[2].at_end = true;
  t.standard_error = t.slots[2].identity;
}

IoError restart_connections() {
  ConnectionTable& t = connection_table();
  IoError first;
  for (Connection& c : t.slots) {
    if (!c.connected) continue;
    IoError e = release(c);
    if (e && !first) first = e;
  }
  t.ending = false;
  start_connections();
  return first;
}

}  // namespace wexla
