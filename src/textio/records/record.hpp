// Whole record statements: begin, one transfer per value, end, in one call.
// A statement goes to or comes from a connection number or an in-memory
// record; one with an end-of-file branch reads a connection only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "textio/connections/connection.hpp"
#include "textio/ending/where.hpp"
#include "textio/records/format.hpp"
#include "textio/records/read_statement.hpp"
#include "textio/records/statement.hpp"
#include "textio/records/write_statement.hpp"
#include "textio/text/line_bytes.hpp"
#include "textio/text/text_field.hpp"

namespace wexla {

// The whole value as one record, or one whole line read.
inline constexpr Format kWholeRecord = WEXLA_FORMAT("(a)");

template <class Sink>
void write_value(WriteStatement<Sink>& s, std::string_view text) {
  write_text(s, text);
}
template <class Sink>
void write_value(WriteStatement<Sink>& s, std::int32_t value) {
  write_integer(s, value);
}
template <class Sink>
void write_value(WriteStatement<Sink>& s, float value) {
  write_real(s, value);
}
template <class Source>
void read_value(ReadStatement<Source>& s, std::span<char> target) {
  read_text(s, target);
}
template <class Source>
void read_value(ReadStatement<Source>& s, float& target) {
  read_real(s, target);
}

// Statements whose whole format is one A item without a width, such as
// "(a)": the value is the record. The scanner reads and writes every line
// so, and these do exactly what the walk of such a format does, without it.
constexpr bool is_single_text(const Format& f) {
  return f.count == 1 && f.items[0].kind == ItemKind::text && !f.items[0].has_width;
}
// Inline, so that the copy of a line of known width is a few moves. The
// number and the place are passed apart, so that they stay in registers.
[[gnu::always_inline]] inline void write_text_record(int number, std::string_view text,
                                                     Where where) {
  Connection& c = statement_connection(number, true, where);
  if (!joins_as_whole_record(c, text.size())) return write_text_record_general(c, text, where);
  if (IoError e = append_whole_record(c, text.data(), text.size())) fail_io(c.ref(), e, where);
}

// The width of the lines read inline: the scanner's 80-character lines.
inline constexpr std::size_t kInlineLineWidth = 80;

// The common case of reading a whole record into a target of that width
// (take_line): the target takes the line, the record is consumed up to its
// line end as the field and the end of the statement would, and the same
// pass tells whether the line holds `watched`. False when the case does not
// apply; the target may then hold anything, and the general read fills it
// afresh.
[[gnu::always_inline]] inline bool take_line_head(Connection& c, char* target, char watched,
                                                  bool& holds_watched) {
  std::span<const char> in = input(c);
  LineTaken taken = take_line<kInlineLineWidth>(target, in.data(), in.size(), c.in.has_cr, watched);
  if (taken.consumed == 0) return false;
  holds_watched = taken.holds_watched;
  consume(c, taken.consumed);
  return true;
}

// True when a record was read, false when the end of the file was met (the
// end-of-file branch). The number and the place are passed apart, so that
// they travel in registers.
[[gnu::always_inline]] inline bool read_text_record(int number, std::span<char> target,
                                                    bool end_branch, Where where) {
  Connection& c = statement_connection(number, false, where);
  bool unused = false;
  if (target.size() == kInlineLineWidth && take_line_head(c, target.data(), kBlank, unused)) {
    return true;
  }
  return read_text_record_general(c, target, end_branch, where);
}

// The scanner's read of one line: "(a)" into an 80-character target, with
// an end-of-file branch, and whether the line holds `watched`, found in the
// same pass over its bytes.
struct LineRead {
  bool got_line;  // a line was read; false at the end of the file
  bool holds_watched;
};
[[gnu::always_inline]] inline LineRead read_line_or_end(OnConnection from,
                                                        std::span<char, kInlineLineWidth> target,
                                                        char watched) {
  Connection& c = statement_connection(from.number, false, from.where);
  LineRead read{true, false};
  if (take_line_head(c, target.data(), watched, read.holds_watched)) return read;
  read.got_line = read_text_record_general(c, target, true, from.where);
  read.holds_watched = holds_byte<kInlineLineWidth>(target.data(), watched);
  return read;
}

template <class... Values>
constexpr bool is_one_text = sizeof...(Values) == 1 &&
                             (std::is_convertible_v<const Values&, std::string_view> && ...);
template <class... Targets>
constexpr bool is_one_text_target = sizeof...(Targets) == 1 &&
                                    (std::is_convertible_v<Targets, std::span<char>> && ...);

// A whole output statement. Always inline, so that an "(a)" statement is
// the inline steps of write_text_record at its call site.
template <class... Values>
[[gnu::always_inline]] inline void write_record(OnConnection to, const Format& format,
                                                const Values&... values) {
  if constexpr (is_one_text<Values...>) {
    if (is_single_text(format)) {
      write_text_record(to.number, values..., to.where);
      return;
    }
  }
  WriteStatement<ConnectionSink> s = begin_write(to, format);
  (write_value(s, values), ...);
  end_write(s);
}
template <class... Values>
void write_record(ToMemory to, const Format& format, const Values&... values) {
  WriteStatement<MemorySink> s = begin_write(to, format);
  (write_value(s, values), ...);
  end_write(s);
}

// A whole input statement on a connection; true when a record was read,
// false when the end of the file was met and the statement has an
// end-of-file branch.
// Always inline, so that an "(a)" statement is the inline steps of
// read_text_record at its call site.
template <class... Targets>
[[gnu::always_inline]] inline bool read_connection_record(OnConnection from, const Format& format,
                                                          bool end_branch, Targets&&... targets) {
  if constexpr (is_one_text_target<Targets...>) {
    if (is_single_text(format))
      return read_text_record(from.number, targets..., end_branch, from.where);
  }
  ReadStatement<ConnectionSource> s = begin_read(from, format, end_branch);
  (read_value(s, targets), ...);
  return end_read(s);
}

// A whole input statement without an end-of-file branch.
template <class... Targets>
void read_record(OnConnection from, const Format& format, Targets&&... targets) {
  read_connection_record(from, format, false, targets...);
}
template <class... Targets>
void read_record(FromMemory from, const Format& format, Targets&&... targets) {
  ReadStatement<MemorySource> s = begin_read(from, format);
  (read_value(s, targets), ...);
  end_read(s);
}

// A whole input statement with an end-of-file branch: true when a record
// was read, false at the end. Only a connection has an end of file.
template <class... Targets>
[[gnu::always_inline]] inline bool read_record_or_end(OnConnection from, const Format& format,
                                                      Targets&&... targets) {
  return read_connection_record(from, format, true, targets...);
}

}  // namespace wexla
