// Numbered connections: the standard streams 5, 6 and 0 made at start, and
// files opened by name. Output to regular files is buffered; terminals, pipes
// and devices get every piece at once. The record statements reach a
// connection only through the functions declared here.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "textio/failure.hpp"
#include "textio/where.hpp"

namespace wexla {

inline constexpr int kUnitStdin = 5;
inline constexpr int kUnitStdout = 6;
inline constexpr int kUnitStderr = 0;

inline constexpr std::size_t kBufferSize = 8192;
inline constexpr std::size_t kFlushThreshold = 4096;
inline constexpr std::size_t kRecordCapacity = 8192;
inline constexpr std::size_t kMaxUnits = 8;
inline constexpr std::size_t kMaxFileName = 255;

enum class Action : std::uint8_t { read_write, read_only, write_only };
enum class OpenStatus : std::uint8_t { old_file, unknown };

struct Connection {
  bool connected = false;
  std::int32_t number = 0;
  char file_name[kMaxFileName + 1] = {};
  std::size_t file_name_length = 0;
  int descriptor = -1;
  Action action = Action::read_write;
  OpenStatus status = OpenStatus::old_file;
  bool at_end = false;    // no data lies beyond the position: writing needs no cut
  bool buffered = false;  // a regular file
  dev_t device = 0;
  ino_t inode = 0;
  // Offset of the next byte a statement reads or writes.
  std::uint64_t position = 0;

  // Output not yet handed to the system. Capacity and threshold are fields
  // so that tests can run the flush rules with tiny buffers.
  char out[kBufferSize];
  std::size_t out_pending = 0;
  std::size_t out_capacity = kBufferSize;
  std::size_t flush_threshold = kFlushThreshold;

  // The record under construction; empty between statements, since a "$"
  // hands on what stands so far. On a buffered connection it is built in
  // place in `out`, right after the pending bytes, while it fits there: ending
  // it then copies nothing. A record that outgrows that room moves to
  // `record` and goes on there.
  char record[kRecordCapacity];
  std::size_t record_length = 0;
  bool record_in_out = false;

  // Input read ahead from the system.
  char in[kBufferSize];
  std::size_t in_at = 0;
  std::size_t in_length = 0;
  bool in_eof = false;
  // Whether the input read ahead holds a carriage return at all: most files
  // hold none, and then no text field needs searching for one.
  bool in_has_cr = false;

  std::string_view name() const { return {file_name, file_name_length}; }
  UnitRef ref() const { return {number, name()}; }
};

// Numbers below this are found with one look-up (the program's own are 0 to
// 11); every statement looks its connection up by number.
inline constexpr int kDirectNumbers = 16;

struct ConnectionTable {
  Connection units[kMaxUnits];
  // The connected ones among units, by number below kDirectNumbers.
  Connection* by_number[kDirectNumbers] = {};
  bool ending = false;            // the run is ending: closing, no more statements
  bool failure_reported = false;  // a failure report has been written
};

// The one table of the run. It is made before the program starts, so that
// the look-up every statement makes needs no check that it exists.
extern ConnectionTable the_connection_table;
inline ConnectionTable& connection_table() {
  return the_connection_table;
}

// Makes connections 5, 6 and 0 on descriptors 0, 1 and 2 (identity read now).
void start_units();

// The connection with this number, or null when it is unconnected.
Connection* find_unit_by_search(int number);
inline Connection* find_unit(int number) {
  if (number >= 0 && number < kDirectNumbers) return connection_table().by_number[number];
  return find_unit_by_search(number);
}

void st_open(int number, std::string_view name, OpenStatus status,
             Where where = Where::current());
void st_close(int number, Where where = Where::current());

// True when a file of this name exists and is the file open on `number`.
bool names_connected_file(int number, std::string_view name);

// Opening failure with a reason of the caller's, in the form of every other
// opening failure ("Cannot open file '%s': %s").
[[noreturn]] void fail_open(int number, std::string_view name, std::string_view why, Where where);

// Hands every connection's pending output to the system.
void flush_all_units(Where where = Where::current());

// --- The statement layer's interface -------------------------------------

// Access checks made before any data of a statement moves.
[[noreturn]] void fail_access(Connection& c, Where where, bool writing);
inline void unit_begin_write(Connection& c, Where where) {
  if (c.action == Action::read_only) fail_access(c, where, true);
}
inline void unit_begin_read(Connection& c, Where where) {
  if (c.action == Action::write_only) fail_access(c, where, false);
}

// Output: bytes join the record under construction; ending the record adds
// the line feed and hands it on; a "$" hands on what stands so far. Every
// line of the scan passes here, so the common case of each step is inline
// and the rest (`_outside`, `unit_flush`, `unit_cut`) out of line.
void unit_put_outside(Connection& c, const char* data, std::size_t length, Where where);
inline void unit_put(Connection& c, const char* data, std::size_t length, Where where) {
  if (c.record_in_out && length <= c.out_capacity - c.out_pending - c.record_length) {
    // An empty value may come without any data at all.
    if (length > 0) std::memcpy(c.out + c.out_pending + c.record_length, data, length);
    c.record_length += length;
    return;
  }
  unit_put_outside(c, data, length, where);
}
void unit_put_blanks(Connection& c, std::size_t count, Where where);
void unit_hand_on_outside(Connection& c, Where where);
inline void unit_hand_on(Connection& c, Where where) {
  // A record built in place joins the pending bytes where it stands, unless
  // input read ahead must be given back first or it goes straight out.
  if (c.record_in_out && c.in_length == 0 &&
      (c.out_pending > 0 || c.record_length <= c.flush_threshold)) {
    c.position += c.record_length;
    c.out_pending += c.record_length;
    c.record_length = 0;
    return;
  }
  unit_hand_on_outside(c, where);
}
// Writes the pending output.
void unit_flush(Connection& c, Where where);
inline void unit_end_record(Connection& c, Where where) {
  unit_put(c, "\n", 1, where);
  unit_hand_on(c, where);
  if (c.buffered && c.out_pending >= c.flush_threshold) unit_flush(c, where);
}
// End of an output statement: cuts a file that still holds old data.
void unit_cut(Connection& c, Where where);
inline void unit_write_done(Connection& c, Where where) {
  if (!c.at_end) unit_cut(c, where);
}

// Input: the bytes read ahead, refilled from the system when none are left;
// empty at the end of the file. `unit_consume` takes bytes of that span.
// The statements call these for every field, so the common case is inline.
std::span<const char> unit_refill(Connection& c, Where where);
inline std::span<const char> unit_input(Connection& c, Where where) {
  if (c.in_at < c.in_length) return {c.in + c.in_at, c.in_length - c.in_at};
  return unit_refill(c, where);
}
inline void unit_consume(Connection& c, std::size_t count) {
  c.in_at += count;
  c.position += count;
}

// --- Ending the run ------------------------------------------------------

// Flushes and closes every connection still in the table. Returns false when
// a final write failed (and reports it if no failure was reported before).
bool close_units(Where where);

// Closes every connection and ends the process with `status` (2 if the
// closing itself failed).
[[noreturn]] void end_run(int status, Where where = Where::current());

}  // namespace wexla

namespace wexla {
// True when something of this name exists (a directory counts); only
// existence is tested, not readability.
bool file_exists(std::string_view name);
}  // namespace wexla
