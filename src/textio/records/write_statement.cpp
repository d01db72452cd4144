// Output statements: the format walk over a sink, the same for a connection
// and for an in-memory record.
#include "textio/records/write_statement.hpp"

#include "textio/numbers/number_field.hpp"
#include "textio/numbers/write_number.hpp"

namespace wexla {
namespace {

template <class Sink>
void check(const WriteStatement<Sink>& s, IoError e) {
  if (e) fail_io(ref(s.sink), e, s.walk.where);
}

// X blanks are written only when text follows them in the same record.
template <class Sink>
void put_text(WriteStatement<Sink>& s, const char* data, std::size_t length) {
  if (s.pending_blanks > 0) {
    check(s, put_blanks(s.sink, s.pending_blanks));
    s.pending_blanks = 0;
  }
  check(s, put(s.sink, data, length));
}

// Processes the items up to the next data item or the end of the format.
template <class Sink>
void advance(WriteStatement<Sink>& s) {
  const Format& f = *s.walk.format;
  for (std::size_t& next = s.walk.next; next < f.count && !f.items[next].is_data(); ++next) {
    const FormatItem& item = f.items[next];
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
        check(s, next_record(s.sink));
        break;
      case ItemKind::dollar:
        s.keep_open = true;
        break;
      default:
        break;
    }
  }
}

}  // namespace

WriteStatement<ConnectionSink> begin_write(OnConnection to, const Format& format) {
  WriteStatement<ConnectionSink> s{{&statement_connection(to.number, true, to.where)},
                                   {to.where, &format}};
  advance(s);
  return s;
}

WriteStatement<MemorySink> begin_write(ToMemory to, const Format& format) {
  WriteStatement<MemorySink> s{{to.record.data(), to.record.size()}, {to.where, &format}};
  advance(s);
  return s;
}

template <class Sink>
void write_text(WriteStatement<Sink>& s, std::string_view text) {
  const FormatItem& item = data_item(s.walk, ValueKind::character, ref(s.sink));
  if (!item.has_width) {
    put_text(s, text.data(), text.size());
  } else if (text.size() >= item.width) {
    put_text(s, text.data(), item.width);
  } else {
    put_text(s, "", 0);
    check(s, put_blanks(s.sink, item.width - text.size()));
    check(s, put(s.sink, text.data(), text.size()));
  }
  ++s.walk.next;
  advance(s);
}

template <class Sink>
void write_integer(WriteStatement<Sink>& s, std::int32_t value) {
  const FormatItem& item = data_item(s.walk, ValueKind::integer, ref(s.sink));
  char field[kNumberFieldLimit];
  write_decimal(field, item.width, item.has_digits ? item.digits : -1, value);
  put_text(s, field, item.width);
  ++s.walk.next;
  advance(s);
}

template <class Sink>
void write_real(WriteStatement<Sink>& s, float value) {
  const FormatItem& item = data_item(s.walk, ValueKind::real, ref(s.sink));
  char field[kNumberFieldLimit];
  if (item.kind == ItemKind::general) {
    get_float_string(field, item.width, item.digits, value);
  } else {
    get_fixed_string(field, item.width, item.digits, value);
  }
  put_text(s, field, item.width);
  ++s.walk.next;
  advance(s);
}

template <class Sink>
void end_write(WriteStatement<Sink>& s) {
  s.pending_blanks = 0;
  check(s, finish(s.sink, s.keep_open));
}

template void write_text(WriteStatement<ConnectionSink>&, std::string_view);
template void write_integer(WriteStatement<ConnectionSink>&, std::int32_t);
template void write_real(WriteStatement<ConnectionSink>&, float);
template void end_write(WriteStatement<ConnectionSink>&);
template void write_text(WriteStatement<MemorySink>&, std::string_view);
template void write_integer(WriteStatement<MemorySink>&, std::int32_t);
template void write_real(WriteStatement<MemorySink>&, float);
template void end_write(WriteStatement<MemorySink>&);

void write_text_record_general(Connection& c, std::string_view text, Where where) {
  IoError e = put(c, text.data(), text.size());
  if (!e) e = end_record(c);
  if (!e) e = end_output(c);
  if (e) fail_io(c.ref(), e, where);
}

}  // namespace wexla
