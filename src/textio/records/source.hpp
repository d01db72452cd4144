// Where an input statement's characters come from: a connection or an
// in-memory record. Both take the same few steps, so the format walk is
// written once over either; each step returns what went wrong instead of
// reporting it.
#pragma once

#include <cstddef>
#include <span>

#include "textio/connections/connection.hpp"

namespace wexla {

// A connection and what the statement knows of its current input record.
struct ConnectionSource {
  Connection* connection;
  std::size_t taken = 0;      // characters of the current record taken
  bool line_end_met = false;  // the record's line end has been taken
  // The record's line feed, once found in the read-ahead; it stays there
  // until the record is over.
  const char* line_feed = nullptr;
};

struct MemorySource {
  const char* data;
  std::size_t length;
  std::size_t at = 0;
};

// Takes up to `width` characters of the current record into `field` (or
// skips them when `field` is null) and sets `got` to the count taken. From a
// connection the field ends early at a line end or at the end of the file,
// and a number field at a comma, which is consumed; the end of the file
// before the record's first character is Trouble::end_of_file. From memory
// the field is the next `width` characters as they stand.
IoError take(ConnectionSource& s, char* field, std::size_t width, bool number, std::size_t& got);
IoError take(MemorySource& s, char* field, std::size_t width, bool number, std::size_t& got);

// A "/": the rest of the record is skipped and the next one begins.
IoError next_record(ConnectionSource& s);
inline IoError next_record(MemorySource&) {
  return {Trouble::end_of_record};
}

// The end of the statement: the rest of the record is skipped, as for a "/".
inline IoError finish(ConnectionSource& s) {
  return next_record(s);
}
inline IoError finish(MemorySource&) {
  return {};
}

inline ConnectionRef ref(const ConnectionSource& s) {
  return s.connection->ref();
}
inline ConnectionRef ref(const MemorySource&) {
  return {};
}

}  // namespace wexla
