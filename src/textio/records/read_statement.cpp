// Input statements: the format walk over a source, the same for a
// connection and for an in-memory record, and the whole-line read.
#include "textio/records/read_statement.hpp"

#include <algorithm>
#include <cstring>

#include "textio/ending/failure.hpp"
#include "textio/numbers/number_field.hpp"
#include "textio/numbers/read_real.hpp"
#include "textio/text/line_bytes.hpp"

namespace wexla {
namespace {

// Whether the statement goes on after a step. The end-of-file condition
// stops it when the statement has an end-of-file branch; anything else that
// went wrong is a failure.
template <class Source>
bool goes_on(ReadStatement<Source>& s, IoError e) {
  if (!e) return true;
  if (e.trouble == Trouble::end_of_file && s.end_branch) {
    s.end_of_file = true;
    return false;
  }
  fail_io(ref(s.source), e, s.walk.where);
}

template <class Source>
void advance(ReadStatement<Source>& s) {
  const Format& f = *s.walk.format;
  std::size_t got = 0;
  for (std::size_t& next = s.walk.next;
       next < f.count && !f.items[next].is_data() && !s.end_of_file; ++next) {
    const FormatItem& item = f.items[next];
    switch (item.kind) {
      case ItemKind::skip:
        goes_on(s, take(s.source, nullptr, item.width, false, got));
        break;
      case ItemKind::literal:
        goes_on(s, take(s.source, nullptr, item.text_length, false, got));
        break;
      case ItemKind::slash:
        goes_on(s, next_record(s.source));
        break;
      default:
        break;
    }
  }
}

// A text field of `width` characters, at most the target's length: it lands
// at the start of the target and blanks fill the rest. At the end of the
// file the target keeps its value.
template <class Source>
void take_text(ReadStatement<Source>& s, std::span<char> target, std::size_t width) {
  std::size_t got = 0;
  if (!goes_on(s, take(s.source, target.data(), width, false, got))) return;
  std::memset(target.data() + got, ' ', target.size() - got);
}

// The common case of reading a whole record into a text target: the record
// and its line feed lie in the input at hand, which holds no carriage
// return. The target takes the line cut or blank-padded to its length, and
// everything up to and including the line feed is consumed, as the field
// and the end of the statement would. False, with nothing taken, when the
// case does not apply.
bool take_whole_line(Connection& c, std::span<char> target) {
  std::span<const char> in = input(c);
  if (in.empty() || c.in.has_cr || target.empty()) return false;
  const void* lf = std::memchr(in.data(), '\n', in.size());
  if (lf == nullptr) return false;
  std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - in.data());
  // Blanks over the whole target, then the line: a fill of the varying rest
  // alone would take a differently sized path for every line.
  std::memset(target.data(), ' ', target.size());
  std::memcpy(target.data(), in.data(), std::min(length, target.size()));
  consume(c, length + 1);
  return true;
}

}  // namespace

ReadStatement<ConnectionSource> begin_read(OnConnection from, const Format& format,
                                           bool end_branch) {
  ReadStatement<ConnectionSource> s{{&statement_connection(from.number, false, from.where)},
                                    {from.where, &format}};
  s.end_branch = end_branch;
  advance(s);
  return s;
}

ReadStatement<MemorySource> begin_read(FromMemory from, const Format& format) {
  ReadStatement<MemorySource> s{{from.record.data(), from.record.size()}, {from.where, &format}};
  advance(s);
  return s;
}

template <class Source>
void read_text(ReadStatement<Source>& s, std::span<char> target) {
  if (s.end_of_file) return;
  const FormatItem& item = data_item(s.walk, ValueKind::character, ref(s.source));
  std::size_t width = item.has_width ? item.width : target.size();
  if (width <= target.size()) {
    take_text(s, target, width);
  } else {
    // A field wider than the target: its last characters are kept.
    char field[kMaxTextWidth];
    std::size_t got = 0;
    if (!goes_on(s, take(s.source, field, width, false, got))) return;
    std::memset(field + got, ' ', width - got);
    std::memcpy(target.data(), field + width - target.size(), target.size());
  }
  if (s.end_of_file) return;
  ++s.walk.next;
  advance(s);
}

template <class Source>
void read_real(ReadStatement<Source>& s, float& target) {
  if (s.end_of_file) return;
  const FormatItem& item = data_item(s.walk, ValueKind::real, ref(s.source));
  char field[kNumberFieldLimit];
  std::size_t got = 0;
  if (!goes_on(s, take(s.source, field, item.width, true, got))) return;
  if (!read_real_field({field, got}, item.digits, target)) {
    report_failure(s.walk.where, ref(s.source), "Bad value during floating point read");
  }
  ++s.walk.next;
  advance(s);
}

template <class Source>
bool end_read(ReadStatement<Source>& s) {
  if (!s.end_of_file) goes_on(s, finish(s.source));
  return !s.end_of_file;
}

template void read_text(ReadStatement<ConnectionSource>&, std::span<char>);
template void read_real(ReadStatement<ConnectionSource>&, float&);
template bool end_read(ReadStatement<ConnectionSource>&);
template void read_text(ReadStatement<MemorySource>&, std::span<char>);
template void read_real(ReadStatement<MemorySource>&, float&);
template bool end_read(ReadStatement<MemorySource>&);

bool read_text_record_general(Connection& c, std::span<char> target, bool end_branch, Where where) {
  if (IoError e = read_ahead(c)) fail_io(c.ref(), e, where);
  if (take_whole_line(c, target)) return true;
  ReadStatement<ConnectionSource> s{{&c}, {where}};
  s.end_branch = end_branch;
  take_text(s, target, target.size());
  return end_read(s);
}

}  // namespace wexla
