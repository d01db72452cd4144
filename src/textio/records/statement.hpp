// What every record statement shares: where it goes or comes from, how far
// it has walked its format, the connection it names checked for the
// direction of transfer, the data item each value takes, and the report
// of a failure met on the way, made at the statement, which knows its
// place in the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "textio/connections/connection_table.hpp"
#include "textio/connections/io_error.hpp"
#include "textio/ending/where.hpp"
#include "textio/records/format.hpp"

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
