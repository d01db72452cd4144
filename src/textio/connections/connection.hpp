// One numbered connection: its file, its output buffer and its read-ahead.
// Output to regular files is buffered; terminals, pipes and devices get every
// piece at once. Nothing here reports a failure: each step that calls the
// system returns what went wrong, and the statement that made the step
// reports it. Every line of the scan passes here, so the common case of each
// step is inline and the rest is out of line.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "textio/connections/file_identity.hpp"
#include "textio/connections/io_error.hpp"

namespace wexla {

inline constexpr std::size_t kBufferSize = 8192;
inline constexpr std::size_t kFlushThreshold = 4096;
inline constexpr std::size_t kRecordCapacity = 8192;
// The longest file name (a path) the run takes, as the system takes it.
inline constexpr std::size_t kMaxFileName = 4095;

enum class Action : std::uint8_t { read_write, read_only, write_only };
enum class OpenStatus : std::uint8_t { old_file, unknown };

// Output not yet handed to the system, and the record under construction.
// The record is empty between statements, since a "$" hands on what stands
// so far. On a buffered connection it is built in place in `bytes`, right
// after the pending ones, while it fits there: ending it then copies
// nothing. A record that outgrows that room moves to `record` and goes on
// there.
struct OutputBuffer {
  char bytes[kBufferSize];
  std::size_t pending = 0;
  std::size_t capacity = kBufferSize;
  std::size_t threshold = kFlushThreshold;  // pending bytes written once this many wait
  char record[kRecordCapacity];
  std::size_t record_length = 0;
  bool record_in_place = false;
};

// Input read ahead from the system.
struct InputBuffer {
  char bytes[kBufferSize];
  std::size_t at = 0;
  std::size_t length = 0;
  bool at_eof = false;
  // Whether the input read ahead holds a carriage return at all: most files
  // hold none, and then no text field needs searching for one.
  bool has_cr = false;
};

struct FollowedInput;

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
  bool discards = false;  // what is written goes nowhere: a screen nobody is to see
  // A screen whose reader has gone (a broken pipe) discards from then on,
  // rather than ending the run.
  bool discards_once_closed = false;
  // A file still being written, read through the gate that lets whole
  // lines alone through (followed_input.hpp); null for every other.
  FollowedInput* followed = nullptr;
  FileIdentity identity;            // read from the descriptor when the connection is made
  std::uint64_t links = 0;          // the file's count of names, then
  std::uint64_t size_at_start = 0;  // its size, then
  // Offset of the next byte a statement reads or writes.
  std::uint64_t position = 0;
  OutputBuffer out;
  InputBuffer in;

  std::string_view name() const { return {file_name, file_name_length}; }
  ConnectionRef ref() const { return {number, name()}; }
};

// The output buffer's size and the count of pending bytes at which they are
// written, as a test gives them to run the flush rules with tiny buffers.
// The size is at most kBufferSize and the threshold at most the size. Given
// between statements, before anything is pending.
void set_output_buffer(Connection& c, std::size_t capacity, std::size_t threshold);

// --- Output --------------------------------------------------------------
// Bytes join the record under construction; ending the record adds the line
// feed and hands it on; a "$" hands on what stands so far.

// The buffering rule, the one place it is written: a piece handed on joins
// the pending bytes when some are pending already or when it is no longer
// than the threshold; a larger piece arriving at an empty buffer goes
// straight to the system. (A piece that does not fit beside the pending bytes
// has them written first, and then meets this rule at an empty buffer.)
inline bool joins_pending(const OutputBuffer& out, std::size_t length) {
  return out.pending > 0 || length <= out.threshold;
}

[[nodiscard]] IoError put_outside(Connection& c, const char* data, std::size_t length);
[[nodiscard]] inline IoError put(Connection& c, const char* data, std::size_t length) {
  OutputBuffer& out = c.out;
  if (out.record_in_place && length <= out.capacity - out.pending - out.record_length) {
    // An empty value may come without any data at all.
    if (length > 0) std::memcpy(out.bytes + out.pending + out.record_length, data, length);
    out.record_length += length;
    return {};
  }
  return put_outside(c, data, length);
}
[[nodiscard]] IoError put_blanks(Connection& c, std::size_t count);

[[nodiscard]] IoError hand_on_outside(Connection& c);
[[nodiscard]] inline IoError hand_on(Connection& c) {
  // A record built in place joins the pending bytes where it stands, unless
  // input read ahead must be given back first or it goes straight out.
  OutputBuffer& out = c.out;
  if (out.record_in_place && c.in.length == 0 && joins_pending(out, out.record_length)) {
    c.position += out.record_length;
    out.pending += out.record_length;
    out.record_length = 0;
    return {};
  }
  return hand_on_outside(c);
}

// Writes the pending output. Pending bytes are dropped even when the write
// fails, so a failing connection can never be flushed twice.
[[nodiscard]] IoError flush(Connection& c);

[[nodiscard]] inline IoError end_record(Connection& c) {
  if (IoError e = put(c, "\n", 1)) return e;
  if (IoError e = hand_on(c)) return e;
  if (c.buffered && c.out.pending >= c.out.threshold) return flush(c);
  return {};
}

// End of an output statement: cuts a file that still holds old data.
[[nodiscard]] IoError cut(Connection& c);
[[nodiscard]] inline IoError end_output(Connection& c) {
  if (!c.at_end) return cut(c);
  return {};
}

// A whole record, its text and line feed, in one step: the common case of
// put, end_record and end_output together. It applies when the record would
// be built in place and join the pending bytes, nothing read ahead is to be
// given back and no old data is to be cut; then it is one copy into the
// output buffer, written out at the threshold as end_record would.
inline bool joins_as_whole_record(const Connection& c, std::size_t length) {
  const OutputBuffer& out = c.out;
  return out.record_in_place && out.record_length == 0 && c.in.length == 0 && c.at_end &&
         length < out.capacity - out.pending && joins_pending(out, length + 1);
}
[[nodiscard]] inline IoError append_whole_record(Connection& c, const char* data,
                                                 std::size_t length) {
  OutputBuffer& out = c.out;
  // An empty record may come without any data at all.
  if (length > 0) std::memcpy(out.bytes + out.pending, data, length);
  out.bytes[out.pending + length] = '\n';
  out.pending += length + 1;
  c.position += length + 1;
  if (out.pending >= out.threshold) return flush(c);
  return {};
}

// --- Input ---------------------------------------------------------------
// `input` is the span read ahead; `read_ahead` refills it from the system
// when it is used up, leaving it empty at the end of the file; `consume`
// takes bytes of it. The statements call these for every field, so the
// common case is inline.

[[nodiscard]] IoError refill(Connection& c);
[[nodiscard]] inline IoError read_ahead(Connection& c) {
  if (c.in.at < c.in.length || c.in.at_eof) return {};
  return refill(c);
}
inline std::span<const char> input(const Connection& c) {
  return {c.in.bytes + c.in.at, c.in.length - c.in.at};
}
inline void consume(Connection& c, std::size_t count) {
  c.in.at += count;
  c.position += count;
}

// A connection read ahead and now written: moves the system's offset back to
// where the statements stand and forgets what was read ahead.
void give_back_read_ahead(Connection& c);

}  // namespace wexla
