// Where an output statement's characters go: a connection or an in-memory
// record. Both take the same few steps, so the format walk is written once
// over either; each step returns what went wrong instead of reporting it.
#pragma once

#include <cstddef>
#include <cstring>

#include "textio/connections/connection.hpp"

namespace wexla {

struct ConnectionSink {
  Connection* connection;
};

struct MemorySink {
  char* data;
  std::size_t length;
  std::size_t at = 0;
};

inline IoError put(ConnectionSink& s, const char* data, std::size_t length) {
  return put(*s.connection, data, length);
}
inline IoError put_blanks(ConnectionSink& s, std::size_t count) {
  return put_blanks(*s.connection, count);
}
// A "/": the record ends and a new one begins.
inline IoError next_record(ConnectionSink& s) {
  return end_record(*s.connection);
}
// The end of the statement: the record ends, or with a "$" is handed on as
// it stands; a file still holding old data is cut.
inline IoError finish(ConnectionSink& s, bool keep_open) {
  Connection& c = *s.connection;
  if (IoError e = keep_open ? hand_on(c) : end_record(c)) return e;
  return end_output(c);
}
inline ConnectionRef ref(const ConnectionSink& s) {
  return s.connection->ref();
}

inline IoError put(MemorySink& s, const char* data, std::size_t length) {
  if (length > s.length - s.at) return {Trouble::end_of_record};
  // An empty value may come without any data at all.
  if (length > 0) std::memcpy(s.data + s.at, data, length);
  s.at += length;
  return {};
}
inline IoError put_blanks(MemorySink& s, std::size_t count) {
  if (count > s.length - s.at) return {Trouble::end_of_record};
  std::memset(s.data + s.at, ' ', count);
  s.at += count;
  return {};
}
// An in-memory record is one record: there is no next one.
inline IoError next_record(MemorySink&) {
  return {Trouble::end_of_record};
}
// Blanks fill the rest of the record.
inline IoError finish(MemorySink& s, bool) {
  std::memset(s.data + s.at, ' ', s.length - s.at);
  return {};
}
inline ConnectionRef ref(const MemorySink&) {
  return {};
}

}  // namespace wexla
