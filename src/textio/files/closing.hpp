// Closing one connection, and flushing them all before a shell command. A
// final write that fails is reported here and ends the run.
#pragma once

#include "textio/ending/where.hpp"

namespace wexla {

// The CLOSE statement: pending output written, the connection ended.
void close_connection(int number, Where where = Where::current());

// Hands every connection's pending output to the system.
void flush_all_connections(Where where = Where::current());

}  // namespace wexla
