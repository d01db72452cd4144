// Taking the fields of an input record from a connection or from memory.
#include "textio/records/source.hpp"

#include <algorithm>

namespace wexla {
namespace {

// The line feed that ends the current record, if the input at hand holds
// it. It is searched for once per record, over all of that input, so that
// the skip at the end of the statement needs no second search.
const char* record_line_feed(ConnectionSource& s, std::span<const char> in) {
  if (s.line_feed == nullptr) {
    s.line_feed = static_cast<const char*>(std::memchr(in.data(), '\n', in.size()));
  }
  return s.line_feed;
}

// Offset in `in` of the end of a text field of at most `limit` characters:
// the line feed, an earlier carriage return, or `limit`. Input without any
// carriage return is not searched for one.
std::size_t line_stop(ConnectionSource& s, std::span<const char> in, std::size_t limit) {
  const char* p = in.data();
  const char* lf = record_line_feed(s, in);
  std::size_t n = lf ? std::min(limit, static_cast<std::size_t>(lf - p)) : limit;
  if (!s.connection->in.has_cr) return n;
  const void* cr = std::memchr(p, '\r', n);
  return cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - p) : n;
}

// As line_stop, and a comma ends a number field too. Number fields are short.
std::size_t number_stop(const char* p, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && p[n] != '\n' && p[n] != '\r' && p[n] != ',') ++n;
  return n;
}

// Skips the rest of the current record, up to and including the next line
// feed; a carriage return met here is skipped like any other byte.
IoError skip_record(ConnectionSource& s) {
  Connection& c = *s.connection;
  while (!s.line_end_met) {
    if (IoError e = read_ahead(c)) return e;
    std::span<const char> in = input(c);
    if (in.empty()) {
      if (s.taken == 0) return {Trouble::end_of_file};
      return {};
    }
    const char* lf = record_line_feed(s, in);
    if (lf == nullptr) {
      consume(c, in.size());
      continue;
    }
    consume(c, static_cast<std::size_t>(lf - in.data()) + 1);
    s.line_end_met = true;
  }
  return {};
}

void start_record(ConnectionSource& s) {
  s.line_end_met = false;
  s.line_feed = nullptr;
  s.taken = 0;
}

}  // namespace

IoError take(ConnectionSource& s, char* field, std::size_t width, bool number, std::size_t& got) {
  Connection& c = *s.connection;
  got = 0;
  while (got < width && !s.line_end_met) {
    if (IoError e = read_ahead(c)) return e;
    std::span<const char> in = input(c);
    if (in.empty()) {
      if (s.taken == 0) return {Trouble::end_of_file};
      break;
    }
    std::size_t limit = std::min(width - got, in.size());
    const char* p = in.data();
    std::size_t n = number ? number_stop(p, limit) : line_stop(s, in, limit);
    if (field != nullptr && n > 0) std::memcpy(field + got, p, n);
    got += n;
    s.taken += n;
    consume(c, n);
    if (n == in.size() || got == width) continue;
    // A line end or a comma stopped the field.
    char stop = p[n];
    consume(c, 1);
    if (stop == ',') break;
    s.line_end_met = true;
    if (stop == '\r') {
      if (IoError e = read_ahead(c)) return e;
      std::span<const char> after = input(c);
      if (!after.empty() && after.front() == '\n') consume(c, 1);
    }
  }
  return {};
}

IoError take(MemorySource& s, char* field, std::size_t width, bool, std::size_t& got) {
  got = 0;
  if (width > s.length - s.at) return {Trouble::end_of_record};
  if (field != nullptr && width > 0) std::memcpy(field, s.data + s.at, width);
  s.at += width;
  got = width;
  return {};
}

IoError next_record(ConnectionSource& s) {
  IoError e = skip_record(s);
  start_record(s);
  return e;
}

}  // namespace wexla
