#include "textio/record.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "textio/failure.hpp"
#include "textio/read_real.hpp"
#include "textio/write_number.hpp"

namespace wexla {
namespace {

UnitRef unit_ref(const Statement& s) { return s.unit ? s.unit->ref() : UnitRef{}; }

[[noreturn]] void fail(const Statement& s, std::string_view reason) {
  generate_error(s.where, unit_ref(s), reason);
}

}  // namespace

// The failures below are kept out of line so that the checks on the path
// every statement takes stay small.
void fail_not_connected(int number, Where where) {
  char reason[64];
  std::snprintf(reason, sizeof reason, "Unit %d is not connected", number);
  generate_error(where, {number, {}}, reason);
}

namespace {

const char* kind_name(ItemKind kind) {
  switch (kind) {
    case ItemKind::text: return "A";
    case ItemKind::integer: return "I";
    case ItemKind::general: return "G";
    case ItemKind::fixed: return "F";
    default: return "?";
  }
}

[[noreturn, gnu::noinline, gnu::cold]] void fail_no_item(const Statement& s) {
  char reason[96];
  std::snprintf(reason, sizeof reason, "No format item left for value %d", s.values);
  fail(s, reason);
}

[[noreturn, gnu::noinline, gnu::cold]] void fail_item_kind(const Statement& s,
                                                           const char* value_kind, ItemKind kind) {
  char reason[96];
  std::snprintf(reason, sizeof reason, "Value %d is %s but its format item is %s", s.values,
                value_kind, kind_name(kind));
  fail(s, reason);
}

// The next data item, which must be of one of the kinds a value can take.
const FormatItem& data_item(Statement& s, const char* value_kind, bool text, bool integer,
                            bool real) {
  ++s.values;
  if (s.next >= s.format->count) fail_no_item(s);
  const FormatItem& item = s.format->items[s.next];
  bool fits = (item.kind == ItemKind::text && text) || (item.kind == ItemKind::integer && integer) ||
              ((item.kind == ItemKind::general || item.kind == ItemKind::fixed) && real);
  if (!fits) fail_item_kind(s, value_kind, item.kind);
  return item;
}

// --- Output --------------------------------------------------------------

void put(Statement& s, const char* data, std::size_t length) {
  if (s.unit) {
    unit_put(*s.unit, data, length, s.where);
    return;
  }
  if (length > s.memory_length - s.memory_at) fail(s, "End of record");
  std::memcpy(s.memory + s.memory_at, data, length);
  s.memory_at += length;
}

void put_blanks(Statement& s, std::size_t count) {
  if (s.unit) {
    unit_put_blanks(*s.unit, count, s.where);
    return;
  }
  if (count > s.memory_length - s.memory_at) fail(s, "End of record");
  std::memset(s.memory + s.memory_at, ' ', count);
  s.memory_at += count;
}

// X blanks are written only when text follows them in the same record.
void put_text(Statement& s, const char* data, std::size_t length) {
  if (s.pending_blanks > 0) {
    put_blanks(s, s.pending_blanks);
    s.pending_blanks = 0;
  }
  put(s, data, length);
}

// Places the finished text of a real field at the current record position.
void write_float_string(Statement& s, const char* field, std::size_t width) {
  put_text(s, field, width);
}

// Processes the items up to the next data item or the end of the format.
void advance_write(Statement& s) {
  const Format& f = *s.format;
  for (; s.next < f.count && !f.items[s.next].is_data(); ++s.next) {
    const FormatItem& item = f.items[s.next];
    switch (item.kind) {
      case ItemKind::literal: {
        std::string_view text = f.literal(item);
        put_text(s, text.data(), text.size());
        break;
      }
      case ItemKind::skip:
        s.pending_blanks += item.width;
        break;
      case ItemKind::slash:
        s.pending_blanks = 0;
        if (!s.unit) fail(s, "End of record");
        unit_end_record(*s.unit, s.where);
        break;
      case ItemKind::dollar:
        s.keep_open = true;
        break;
      default:
        break;
    }
  }
}

void begin_write(Statement& s, const Format& format, Where where) {
  s.where = where;
  s.format = &format;
  advance_write(s);
}

// --- Input ---------------------------------------------------------------

// The end-of-file condition: the branch when the statement has one, else a
// run-time failure.
void end_of_file(Statement& s) {
  if (!s.end_branch) fail(s, "End of file");
  s.end_of_file = true;
}

// The line feed that ends the current record, if the input at hand holds
// it. It is searched for once per record, over all of that input, so that
// the skip at the end of the statement needs no second search.
const char* record_line_feed(Statement& s, std::span<const char> in) {
  if (s.line_feed == nullptr) {
    s.line_feed = static_cast<const char*>(std::memchr(in.data(), '\n', in.size()));
  }
  return s.line_feed;
}

// Offset in `in` of the end of a text field of at most `limit` characters:
// the line feed, an earlier carriage return, or `limit`. Input without any
// carriage return is not searched for one.
std::size_t line_stop(Statement& s, std::span<const char> in, std::size_t limit) {
  const char* p = in.data();
  const char* lf = record_line_feed(s, in);
  std::size_t n = lf ? std::min(limit, static_cast<std::size_t>(lf - p)) : limit;
  if (!s.unit->in_has_cr) return n;
  const void* cr = std::memchr(p, '\r', n);
  return cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - p) : n;
}

// As line_stop, and a comma ends a number field too. Number fields are short.
std::size_t number_stop(const char* p, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && p[n] != '\n' && p[n] != '\r' && p[n] != ',') ++n;
  return n;
}

// Takes up to `width` characters of the current record of a file or
// terminal connection into `field` (or skips them when `field` is null). The
// field ends early at a line end, at the end of the file, or, for a number,
// at a comma, which is consumed. Returns the count taken.
std::size_t take_field(Statement& s, char* field, std::size_t width, bool number) {
  Connection& c = *s.unit;
  std::size_t got = 0;
  while (got < width && !s.line_end_met) {
    std::span<const char> in = unit_input(c, s.where);
    if (in.empty()) {
      if (s.taken == 0) end_of_file(s);
      break;
    }
    std::size_t limit = std::min(width - got, in.size());
    const char* p = in.data();
    std::size_t n = number ? number_stop(p, limit) : line_stop(s, in, limit);
    if (field != nullptr && n > 0) std::memcpy(field + got, p, n);
    got += n;
    s.taken += n;
    unit_consume(c, n);
    if (n == in.size() || got == width) continue;
    // A line end or a comma stopped the field.
    char stop = p[n];
    unit_consume(c, 1);
    if (stop == ',') break;
    s.line_end_met = true;
    if (stop == '\r') {
      std::span<const char> after = unit_input(c, s.where);
      if (!after.empty() && after.front() == '\n') unit_consume(c, 1);
    }
  }
  return got;
}

// A text field of `width` characters at most the target's length, from a
// file or terminal: it lands at the start of the target and blanks fill the
// rest. At the end of the file the target keeps its value.
void take_text(Statement& s, std::span<char> target, std::size_t width) {
  std::size_t got = take_field(s, target.data(), width, false);
  if (s.end_of_file) return;
  std::memset(target.data() + got, ' ', target.size() - got);
}

// The common case of reading a whole record into a text target: the record
// and its line feed lie in the input at hand, which holds no carriage
// return. The target takes the line cut or blank-padded to its length, and
// everything up to and including the line feed is consumed, as the field
// and the skip at the end of the statement would. False, with nothing
// taken, when the case does not apply.
bool take_whole_line(Connection& c, std::span<char> target, Where where) {
  std::span<const char> in = unit_input(c, where);
  if (in.empty() || c.in_has_cr || target.empty()) return false;
  const void* lf = std::memchr(in.data(), '\n', in.size());
  if (lf == nullptr) return false;
  std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - in.data());
  // Blanks over the whole target, then the line: a fill of the varying rest
  // alone would take a differently sized path for every line.
  std::memset(target.data(), ' ', target.size());
  std::memcpy(target.data(), in.data(), std::min(length, target.size()));
  unit_consume(c, length + 1);
  return true;
}

// Takes the next `width` characters of an in-memory record as they stand.
std::string_view take_memory(Statement& s, std::size_t width) {
  if (width > s.memory_length - s.memory_at) fail(s, "End of record");
  std::string_view field{s.memory + s.memory_at, width};
  s.memory_at += width;
  return field;
}

void skip_input(Statement& s, std::size_t count) {
  if (s.unit) {
    take_field(s, nullptr, count, false);
  } else {
    take_memory(s, count);
  }
}

// Skips the rest of the current record, up to and including the next line
// feed; a carriage return met here is skipped like any other byte.
void skip_record(Statement& s) {
  Connection& c = *s.unit;
  while (!s.line_end_met && !s.end_of_file) {
    std::span<const char> in = unit_input(c, s.where);
    if (in.empty()) {
      if (s.taken == 0) end_of_file(s);
      return;
    }
    const char* lf = record_line_feed(s, in);
    if (lf == nullptr) {
      unit_consume(c, in.size());
      continue;
    }
    unit_consume(c, static_cast<std::size_t>(lf - in.data()) + 1);
    s.line_end_met = true;
  }
}

void advance_read(Statement& s) {
  const Format& f = *s.format;
  for (; s.next < f.count && !f.items[s.next].is_data() && !s.end_of_file; ++s.next) {
    const FormatItem& item = f.items[s.next];
    switch (item.kind) {
      case ItemKind::skip:
        skip_input(s, item.width);
        break;
      case ItemKind::literal:
        skip_input(s, item.text_length);
        break;
      case ItemKind::slash:
        if (!s.unit) fail(s, "End of record");
        skip_record(s);
        s.line_end_met = false;
        s.line_feed = nullptr;
        s.taken = 0;
        break;
      default:
        break;
    }
  }
}

void begin_read(Statement& s, const Format& format, Where where) {
  s.where = where;
  s.format = &format;
  advance_read(s);
}

}  // namespace

// --- Output statements ---------------------------------------------------

void st_write(Statement& s, int unit, const Format& format, Where where) {
  s.unit = &statement_unit(unit, where);
  unit_begin_write(*s.unit, where);
  begin_write(s, format, where);
}

void st_write(Statement& s, std::span<char> record, const Format& format, Where where) {
  s.memory = record.data();
  s.memory_length = record.size();
  begin_write(s, format, where);
}

void transfer_character_write(Statement& s, std::string_view text) {
  const FormatItem& item = data_item(s, "CHARACTER", true, false, false);
  if (!item.has_width) {
    put_text(s, text.data(), text.size());
  } else if (text.size() >= item.width) {
    put_text(s, text.data(), item.width);
  } else {
    put_text(s, "", 0);
    put_blanks(s, item.width - text.size());
    put(s, text.data(), text.size());
  }
  ++s.next;
  advance_write(s);
}

void transfer_integer_write(Statement& s, std::int32_t value) {
  const FormatItem& item = data_item(s, "INTEGER", false, true, false);
  char field[kMaxNumberWidth];
  write_decimal(field, item.width, item.has_digits ? item.digits : -1, value);
  put_text(s, field, item.width);
  ++s.next;
  advance_write(s);
}

void transfer_real_write(Statement& s, float value) {
  const FormatItem& item = data_item(s, "REAL", false, false, true);
  char field[kMaxNumberWidth];
  if (item.kind == ItemKind::general) {
    get_float_string(field, item.width, item.digits, value);
  } else {
    get_fixed_string(field, item.width, item.digits, value);
  }
  write_float_string(s, field, item.width);
  ++s.next;
  advance_write(s);
}

void st_write_done(Statement& s) {
  s.pending_blanks = 0;
  if (!s.unit) {
    std::memset(s.memory + s.memory_at, ' ', s.memory_length - s.memory_at);
    return;
  }
  if (s.keep_open) {
    unit_hand_on(*s.unit, s.where);
  } else {
    unit_end_record(*s.unit, s.where);
  }
  unit_write_done(*s.unit, s.where);
}

// --- Input statements ----------------------------------------------------

void st_read(Statement& s, int unit, const Format& format, bool end_branch, Where where) {
  s.unit = &statement_unit(unit, where);
  s.end_branch = end_branch;
  unit_begin_read(*s.unit, where);
  begin_read(s, format, where);
}

void st_read(Statement& s, std::span<const char> record, const Format& format, Where where) {
  // Reading never writes through this pointer.
  s.memory = const_cast<char*>(record.data());
  s.memory_length = record.size();
  begin_read(s, format, where);
}

void transfer_character(Statement& s, std::span<char> target) {
  if (s.end_of_file) return;
  const FormatItem& item = data_item(s, "CHARACTER", true, false, false);
  std::size_t width = item.has_width ? item.width : target.size();
  if (s.unit) {
    if (width <= target.size()) {
      take_text(s, target, width);
      if (s.end_of_file) return;
    } else {
      // A field wider than the target: its last characters are kept.
      char field[kMaxTextWidth];
      std::size_t got = take_field(s, field, width, false);
      if (s.end_of_file) return;
      std::memset(field + got, ' ', width - got);
      std::memcpy(target.data(), field + width - target.size(), target.size());
    }
  } else {
    std::string_view field = take_memory(s, width);
    if (field.size() >= target.size()) {
      std::memcpy(target.data(), field.data() + field.size() - target.size(), target.size());
    } else {
      std::memcpy(target.data(), field.data(), field.size());
      std::memset(target.data() + field.size(), ' ', target.size() - field.size());
    }
  }
  ++s.next;
  advance_read(s);
}

void transfer_real(Statement& s, float& target) {
  if (s.end_of_file) return;
  const FormatItem& item = data_item(s, "REAL", false, false, true);
  char buffer[kMaxNumberWidth];
  std::string_view field;
  if (s.unit) {
    std::size_t got = take_field(s, buffer, item.width, true);
    if (s.end_of_file) return;
    field = {buffer, got};
  } else {
    field = take_memory(s, item.width);
  }
  if (!read_real_field(field, item.digits, target)) {
    fail(s, "Bad value during floating point read");
  }
  ++s.next;
  advance_read(s);
}

bool st_read_done(Statement& s) {
  if (s.unit && !s.end_of_file) skip_record(s);
  s.line_end_met = false;
  s.line_feed = nullptr;
  return s.end_of_file;
}

// --- Whole-record statements ---------------------------------------------
// Each does what the statements above do for a format of one A item without
// a width, with the walk of that format left out.

bool read_text_record(int unit, std::span<char> target, bool end_branch, Where where) {
  Connection& c = statement_unit(unit, where);
  unit_begin_read(c, where);
  if (take_whole_line(c, target, where)) return false;
  Statement s;
  s.where = where;
  s.unit = &c;
  s.end_branch = end_branch;
  take_text(s, target, target.size());
  return st_read_done(s);
}

}  // namespace wexla
