// The table of connections: finding one by number, entering and removing
// one, making one on a descriptor and ending it, and the standard streams
// made at start.
#include "textio/connections/connection_table.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "textio/connections/standard_connections.hpp"

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

void attach(Connection& c, int number, int fd, std::string_view name, Action action,
            OpenStatus status) {
  struct stat st {};
  bool known = ::fstat(fd, &st) == 0;
  c.number = number;
  c.file_name_length = std::min(name.size(), kMaxFileName);
  std::memcpy(c.file_name, name.data(), c.file_name_length);
  c.descriptor = fd;
  c.discards = false;
  c.discards_once_closed = false;
  c.followed = nullptr;
  c.action = action;
  c.status = status;
  c.buffered = known && S_ISREG(st.st_mode);
  c.identity = known ? identity_of(st) : FileIdentity{};
  c.links = known ? static_cast<std::uint64_t>(st.st_nlink) : 0;
  c.size_at_start = known && c.buffered ? static_cast<std::uint64_t>(st.st_size) : 0;
  c.at_end = !c.buffered || st.st_size == 0;
  c.position = 0;
  c.out.pending = 0;
  c.out.capacity = kBufferSize;
  c.out.threshold = kFlushThreshold;
  c.out.record_length = 0;
  c.out.record_in_place = c.buffered;
  c.in.at = c.in.length = 0;
  c.in.at_eof = false;
  c.in.has_cr = false;
  enter_connection(c);
}

IoError release(Connection& c) {
  IoError e = flush(c);
  if (c.descriptor > 2 && ::close(c.descriptor) != 0 && errno != EINTR && !e) {
    e = {Trouble::closing, errno};
  }
  remove_connection(c);
  return e;
}

void start_connections(StandardStreams streams) {
  const ScreenPlace screen = streams.screen;
  ConnectionTable& t = connection_table();
  attach(t.slots[0], kStdinConnection, 0, "stdin", Action::read_only, OpenStatus::old_file);
  attach(t.slots[1], kStdoutConnection, 1, "stdout", Action::write_only, OpenStatus::old_file);
  attach(t.slots[2], kStderrConnection, 2, "stderr", Action::write_only, OpenStatus::old_file);
  t.standard_output = t.slots[1].identity;
  t.standard_error = t.slots[2].identity;
  if (screen == ScreenPlace::standard_error) {
    attach(t.slots[1], kStdoutConnection, 2, "stderr", Action::write_only, OpenStatus::old_file);
  } else if (screen == ScreenPlace::nowhere) {
    attach(t.slots[1], kStdoutConnection, -1, "", Action::write_only, OpenStatus::old_file);
    t.slots[1].discards = true;
  }
  t.slots[1].discards_once_closed = streams.screen_may_close;
  t.brief_reports = streams.brief_reports;
  t.slots[0].at_end = false;
  t.slots[1].at_end = true;
  t.slots[2].at_end = true;
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
  t.brief_reports = false;
  t.system = {};
  start_connections();
  return first;
}

}  // namespace wexla
