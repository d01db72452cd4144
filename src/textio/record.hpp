// Record statements: every read and write walks a parsed format over one
// connection or one in-memory record, in three steps: begin (st_write,
// st_read), one transfer per value, end (st_write_done, st_read_done).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "textio/format.hpp"
#include "textio/text_field.hpp"
#include "textio/units.hpp"

namespace wexla {

struct Statement {
  Where where;
  const Format* format = nullptr;
  std::size_t next = 0;           // the next format item to process
  Connection* unit = nullptr;     // null for an in-memory record
  char* memory = nullptr;         // the in-memory record
  std::size_t memory_length = 0;
  std::size_t memory_at = 0;
  std::size_t pending_blanks = 0; // from X items, written before the next text
  std::size_t taken = 0;          // characters of the current input record taken
  int values = 0;                 // values transferred so far
  bool end_branch = false;        // the read has an end-of-file branch
  bool end_of_file = false;       // the end-of-file condition was met
  bool keep_open = false;         // a "$" was processed
  bool line_end_met = false;      // the input record's line end has been taken
  // The input record's line feed, once found in the connection's read-ahead;
  // it stays there until the record is over.
  const char* line_feed = nullptr;
};

void st_write(Statement& s, int unit, const Format& format, Where where = Where::current());
void st_write(Statement& s, std::span<char> record, const Format& format,
              Where where = Where::current());
void transfer_character_write(Statement& s, std::string_view text);
void transfer_integer_write(Statement& s, std::int32_t value);
void transfer_real_write(Statement& s, float value);
void st_write_done(Statement& s);

void st_read(Statement& s, int unit, const Format& format, bool end_branch,
             Where where = Where::current());
void st_read(Statement& s, std::span<const char> record, const Format& format,
             Where where = Where::current());
void transfer_character(Statement& s, std::span<char> target);
void transfer_real(Statement& s, float& target);
// Ends the statement; true when the end of the file was met and the caller
// takes its end-of-file branch.
bool st_read_done(Statement& s);

// Where a whole statement goes or comes from: a connection number or an
// in-memory record. Built at the call site, so it carries the statement's
// place in the program for the failure report.
struct WriteTo {
  WriteTo(int number, Where w = Where::current()) : unit(number), where(w) {}
  WriteTo(std::span<char> record, Where w = Where::current()) : memory(record), where(w) {}
  int unit = -1;
  std::span<char> memory;
  Where where;
};

struct ReadFrom {
  ReadFrom(int number, Where w = Where::current()) : unit(number), where(w) {}
  ReadFrom(std::span<const char> record, Where w = Where::current()) : memory(record), where(w) {}
  int unit = -1;
  std::span<const char> memory;
  Where where;
};

inline void transfer_write(Statement& s, std::string_view text) { transfer_character_write(s, text); }
inline void transfer_write(Statement& s, std::int32_t value) { transfer_integer_write(s, value); }
inline void transfer_write(Statement& s, float value) { transfer_real_write(s, value); }
inline void transfer_read(Statement& s, std::span<char> target) { transfer_character(s, target); }
inline void transfer_read(Statement& s, float& target) { transfer_real(s, target); }

// Statements whose whole format is one A item without a width, such as
// "(a)": the value is the record. The scanner reads and writes every line
// so, and these do exactly what the walk of such a format does, without it.
constexpr bool is_single_text(const Format& f) {
  return f.count == 1 && f.items[0].kind == ItemKind::text && !f.items[0].has_width;
}
[[noreturn, gnu::cold]] void fail_not_connected(int number, Where where);
// The connection a statement names; an unconnected number is a failure.
inline Connection& statement_unit(int number, Where where) {
  Connection* c = find_unit(number);
  if (c == nullptr) fail_not_connected(number, where);
  return *c;
}
// Inline, so that the copy of a line of known width is a few moves.
inline void write_text_record(int unit, std::string_view text, Where where) {
  Connection& c = statement_unit(unit, where);
  unit_begin_write(c, where);
  unit_put(c, text.data(), text.size(), where);
  unit_end_record(c, where);
  unit_write_done(c, where);
}
// True when the end of the file was met (the end-of-file branch).
bool read_text_record(int unit, std::span<char> target, bool end_branch, Where where);

template <class... Values>
constexpr bool is_one_text = sizeof...(Values) == 1 &&
                             (std::is_convertible_v<const Values&, std::string_view> && ...);
template <class... Targets>
constexpr bool is_one_text_target = sizeof...(Targets) == 1 &&
                                    (std::is_convertible_v<Targets, std::span<char>> && ...);

// A whole output statement: begin, one transfer per value, end.
template <class... Values>
void write_record(WriteTo to, const Format& format, const Values&... values) {
  if constexpr (is_one_text<Values...>) {
    if (to.unit >= 0 && is_single_text(format)) {
      write_text_record(to.unit, values..., to.where);
      return;
    }
  }
  Statement s;
  if (to.unit >= 0) {
    st_write(s, to.unit, format, to.where);
  } else {
    st_write(s, to.memory, format, to.where);
  }
  (transfer_write(s, values), ...);
  st_write_done(s);
}

// A whole input statement without an end-of-file branch.
template <class... Targets>
void read_record(ReadFrom from, const Format& format, Targets&&... targets) {
  if constexpr (is_one_text_target<Targets...>) {
    if (from.unit >= 0 && is_single_text(format)) {
      read_text_record(from.unit, targets..., false, from.where);
      return;
    }
  }
  Statement s;
  if (from.unit >= 0) {
    st_read(s, from.unit, format, false, from.where);
  } else {
    st_read(s, from.memory, format, from.where);
  }
  (transfer_read(s, targets), ...);
  st_read_done(s);
}

// A whole input statement with an end-of-file branch: false at the end.
template <class... Targets>
bool read_record_or_end(ReadFrom from, const Format& format, Targets&&... targets) {
  if constexpr (is_one_text_target<Targets...>) {
    if (is_single_text(format)) return !read_text_record(from.unit, targets..., true, from.where);
  }
  Statement s;
  st_read(s, from.unit, format, true, from.where);
  (transfer_read(s, targets), ...);
  return !st_read_done(s);
}

}  // namespace wexla

namespace wexla {
// The whole value as one record, or one whole line read.
inline constexpr Format kWholeRecord = WEXLA_FORMAT("(a)");
}  // namespace wexla
