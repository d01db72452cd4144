// Output statements: a parsed format walked over a sink (a connection or an
// in-memory record) in three steps, begin, one transfer per value, end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textio/connections/connection.hpp"
#include "textio/ending/where.hpp"
#include "textio/records/format.hpp"
#include "textio/records/sink.hpp"
#include "textio/records/statement.hpp"

namespace wexla {

template <class Sink>
struct WriteStatement {
  Sink sink;
  FormatWalk walk;
  std::size_t pending_blanks = 0;  // from X items, written before the next text
  bool keep_open = false;          // a "$" was processed
};

WriteStatement<ConnectionSink> begin_write(OnConnection to, const Format& format);
WriteStatement<MemorySink> begin_write(ToMemory to, const Format& format);
template <class Sink>
void write_text(WriteStatement<Sink>& s, std::string_view text);
template <class Sink>
void write_integer(WriteStatement<Sink>& s, std::int32_t value);
template <class Sink>
void write_real(WriteStatement<Sink>& s, float value);
template <class Sink>
void end_write(WriteStatement<Sink>& s);

// Every case of a whole-record write but the common one, out of line: put,
// end_record, end_output.
void write_text_record_general(Connection& c, std::string_view text, Where where);

}  // namespace wexla
