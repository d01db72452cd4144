// The steps of one connection that call the system: buffered output
// (records built, handed on, held until the threshold and written; a file
// holding old data cut) and input (the read-ahead refilled from the system,
// and given back when the connection is written after being read).
#include "textio/connections/connection.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "textio/connections/connection_table.hpp"
#include "textio/connections/followed_input.hpp"
#include "textio/connections/write_all.hpp"

namespace wexla {
namespace {

// Writes to the connection's file, or to nowhere; a reader gone from a
// screen that may lose it is no failure.
int written(Connection& c, const char* data, std::size_t length) {
  if (c.discards) return 0;
  int error = write_all(c.descriptor, data, length);
  if (error == EPIPE && c.discards_once_closed) {
    c.discards = true;
    return 0;
  }
  return error;
}

// Hands on one piece of the output. A piece may already stand in place, right
// after the pending bytes; any other is copied there when the rule lets it
// join them.
IoError hand_on_piece(Connection& c, const char* data, std::size_t length) {
  if (length == 0) return {};
  if (c.in.length > 0) give_back_read_ahead(c);
  c.position += length;
  OutputBuffer& out = c.out;
  if (c.buffered) {
    bool in_place = data == out.bytes + out.pending;
    if (!in_place && out.pending > 0 && length > out.capacity - out.pending) {
      if (IoError e = flush(c)) return e;
    }
    if (joins_pending(out, length)) {
      if (!in_place) std::memcpy(out.bytes + out.pending, data, length);
      out.pending += length;
      return {};
    }
  }
  return system_failure(Trouble::writing, written(c, data, length));
}

}  // namespace

void set_output_buffer(Connection& c, std::size_t capacity, std::size_t threshold) {
  c.out.capacity = std::clamp<std::size_t>(capacity, 1, kBufferSize);
  c.out.threshold = std::min(threshold, c.out.capacity);
}

IoError flush(Connection& c) {
  if (c.out.pending == 0) return {};
  int error = written(c, c.out.bytes, c.out.pending);
  c.out.pending = 0;
  return system_failure(Trouble::writing, error);
}

IoError put_outside(Connection& c, const char* data, std::size_t length) {
  OutputBuffer& out = c.out;
  if (out.record_in_place) {
    // The record outgrows the room after the pending bytes.
    std::memcpy(out.record, out.bytes + out.pending, out.record_length);
    out.record_in_place = false;
  }
  while (length > 0) {
    if (out.record_length == kRecordCapacity) {
      // A record longer than the record buffer goes on in pieces.
      IoError e = hand_on_piece(c, out.record, out.record_length);
      out.record_length = 0;
      if (e) return e;
    }
    std::size_t n = std::min(length, kRecordCapacity - out.record_length);
    std::memcpy(out.record + out.record_length, data, n);
    out.record_length += n;
    data += n;
    length -= n;
  }
  return {};
}

IoError put_blanks(Connection& c, std::size_t count) {
  static constexpr char kBlanks[64] = {
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  while (count > 0) {
    std::size_t n = std::min(count, sizeof kBlanks);
    if (IoError e = put(c, kBlanks, n)) return e;
    count -= n;
  }
  return {};
}

IoError hand_on_outside(Connection& c) {
  OutputBuffer& out = c.out;
  const char* data = out.record_in_place ? out.bytes + out.pending : out.record;
  IoError e = hand_on_piece(c, data, out.record_length);
  out.record_length = 0;
  out.record_in_place = c.buffered;
  return e;
}

IoError cut(Connection& c) {
  if (IoError e = flush(c)) return e;
  int result;
  do {
    result = ::ftruncate(c.descriptor, static_cast<off_t>(c.position));
  } while (result != 0 && errno == EINTR);
  if (result != 0) return {Trouble::cutting, errno};
  c.at_end = true;
  return {};
}

// --- Input ---------------------------------------------------------------

IoError refill(Connection& c) {
  // Output pending on the same connection reaches the file before it is read.
  if (IoError e = flush(c)) return e;
  InputBuffer& in = c.in;
  ssize_t n;
  auto* stand_in = connection_table().system.read_input;
  do {
    if (c.followed != nullptr) {
      n = read_followed(*c.followed, c.descriptor, in.bytes, kBufferSize);
    } else {
      n = stand_in != nullptr ? stand_in(c.descriptor, in.bytes, kBufferSize)
                              : ::read(c.descriptor, in.bytes, kBufferSize);
    }
  } while (n < 0 && errno == EINTR);
  if (n < 0) return {Trouble::reading, errno};
  in.at = 0;
  in.length = static_cast<std::size_t>(n);
  in.at_eof = n == 0;
  in.has_cr = std::memchr(in.bytes, '\r', in.length) != nullptr;
  return {};
}

void give_back_read_ahead(Connection& c) {
  InputBuffer& in = c.in;
  if (in.length > in.at) {
    ::lseek(c.descriptor, -static_cast<off_t>(in.length - in.at), SEEK_CUR);
  }
  in.at = in.length = 0;
  in.at_eof = false;
}

}  // namespace wexla
