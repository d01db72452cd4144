// Record statements: every read and write walks a parsed format over one
// sink or source (a connection or an in-memory record) in three steps:
// begin, one transfer per value, end. A failure met on the way is reported
// here, at the statement, which knows its place in the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "textio/connection_table.hpp"
#include "textio/format.hpp"
#include "textio/sink.hpp"
#include "textio/source.hpp"
#include "textio/where.hpp"

namespace wexla {

// Where a statement goes or comes from: a connection number or an in-memory
// record. Built at the call site, so it carries the statement's place in the
// program for the failure report.
struct OnConnection {
  OnConnection(int n, Where w = Where::current()) : number(n), where(w) {}
  int number;
  Where where;
};
struct ToMemory {
  ToMemory(std::span<char> r, Where w = Where::current()) : record(r), where(w) {}
  std::span<char> record;
  Where where;
};
struct FromMemory {
  FromMemory(std::span<const char> r, Where w = Where::current()) : record(r), where(w) {}
  std::span<const char> record;
  Where where;
};

// How far a statement has walked its format, and its place in the program.
struct FormatWalk {
  Where where;
  const Format* format = nullptr;
  std::size_t next = 0;  // the next format item to process
  int values = 0;        // values transferred so far
};

template <class Sink>
struct WriteStatement {
  Sink sink;
  FormatWalk walk;
  std::size_t pending_blanks = 0;  // from X items, written before the next text
  bool keep_open = false;          // a "$" was processed
};

template <class Source>
struct ReadStatement {
  Source source;
  FormatWalk walk;
  bool end_branch = false;   // the read has an end-of-file branch
  bool end_of_file = false;  // the end-of-file condition was met
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

ReadStatement<ConnectionSource> begin_read(OnConnection from, const Format& format,
                                           bool end_branch);
ReadStatement<MemorySource> begin_read(FromMemory from, const Format& format);
template <class Source>
void read_text(ReadStatement<Source>& s, std::span<char> target);
template <class Source>
void read_real(ReadStatement<Source>& s, float& target);
// Ends the statement; true when the end of the file was met and the caller
// takes its end-of-file branch.
template <class Source>
bool end_read(ReadStatement<Source>& s);

// --- Shared by the walks and the whole-record statements ------------------

[[noreturn, gnu::cold]] void fail_not_connected(int number, Where where);
[[noreturn, gnu::cold]] void fail_access(const Connection& c, Where where, bool writing);
// Reports what a sink, a source or a connection met, and ends the run.
[[noreturn, gnu::cold]] void fail_io(ConnectionRef connection, IoError e, Where where);

// Whether the connection's action allows a transfer in that direction.
inline bool allows_transfer(const Connection& c, bool writing) {
  return c.action != (writing ? Action::read_only : Action::write_only);
}

// The connection a statement names, checked for the direction of transfer
// before any data moves; an unconnected number is a failure.
inline Connection& statement_connection(int number, bool writing, Where where) {
  Connection* c = find_connection(number);
  if (c == nullptr) fail_not_connected(number, where);
  if (!allows_transfer(*c, writing)) fail_access(*c, where, writing);
  return *c;
}

enum class ValueKind : std::uint8_t { character, integer, real };

// Counts one more value and returns the format item for it, which must be
// a data item of a kind the value can take; a failure otherwise.
const FormatItem& data_item(FormatWalk& walk, ValueKind value, ConnectionRef connection);

}  // namespace wexla
