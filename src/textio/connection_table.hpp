// The numbered connections of the run: the standard streams 5, 6 and 0 made
// at start, and files opened by name. The statements here (opening, closing,
// flushing, ending the run) report their own failures, with the place in
// the program given by their caller.
#pragma once

#include <cstddef>
#include <string_view>

#include "textio/connection.hpp"
#include "textio/where.hpp"

namespace wexla {

inline constexpr int kStdinConnection = 5;
inline constexpr int kStdoutConnection = 6;
inline constexpr int kStderrConnection = 0;
inline constexpr std::size_t kMaxConnections = 8;

// Numbers below this are found with one look-up (the program's own are 0 to
// 11); every statement looks its connection up by number.
inline constexpr int kDirectNumbers = 16;

struct ConnectionTable {
  Connection slots[kMaxConnections];
  // The connected ones among the slots, by number below kDirectNumbers.
  Connection* by_number[kDirectNumbers] = {};
  bool ending = false;  // the run is ending: closing, no more statements
  // The descriptor of the current folder that holds the run's lock on it
  // (folder_lock.hpp), or -1; it stays open until the process ends.
  int folder_lock = -1;
  // The file standard error was at the start: connection 0 leaves it when
  // the summary file is opened, and no file the run writes may be it.
  FileIdentity standard_error;
};

// The one table of the run. It is made before the program starts, so that
// the look-up every statement makes needs no check that it exists.
extern ConnectionTable the_connection_table;
inline ConnectionTable& connection_table() {
  return the_connection_table;
}

// Makes connections 5, 6 and 0 on descriptors 0, 1 and 2 (identity read
// now) in an empty table: the start of the run.
void start_connections();

// Ends every connection in the table, writing what is pending, and starts
// afresh as at the start of the run. A test calls it so that no connection
// of an earlier test is left over. Returns the first failure of a final write.
[[nodiscard]] IoError restart_connections();

// The connection with this number, or null when it is unconnected.
Connection* find_connection_by_search(int number);
inline Connection* find_connection(int number) {
  if (number >= 0 && number < kDirectNumbers) return connection_table().by_number[number];
  return find_connection_by_search(number);
}
// Enters a new connection in the table, or removes an ended one.
void enter_connection(Connection& c);
void remove_connection(Connection& c);
// A slot for a new connection, or null when all are in use.
Connection* free_slot();

// Makes the slot `c` a fresh connection on descriptor `fd`, its identity
// read now, and enters it in the table.
void attach(Connection& c, int number, int fd, std::string_view name, Action action,
            OpenStatus status);

// Ends the connection: pending output written, descriptor closed (never
// 0-2), removed from the table, even when the write or the close fails.
[[nodiscard]] IoError release(Connection& c);

// The OPEN statement: connects `number` to the named file (trailing blanks
// removed), creating it when the status is unknown.
void open_connection(int number, std::string_view name, OpenStatus status,
                     Where where = Where::current());
// Opens a file the run writes as its own (the scratch and the summary file),
// as a file that may exist: never through a symbolic link, and only when
// what stands under the name is a regular file that is none of the run's
// other files and neither standard output nor standard error. Anything
// else is refused as an opening failure that says what it is.
void open_own_file(int number, std::string_view name, Where where = Where::current());

// True when `file` is a file the run already has: one open on a connection
// other than `except` and standard input, or the standard error of the
// start. Then `why` holds the reason, such as "it is the standard output;
// send the standard output elsewhere".
bool run_file_clash(const FileIdentity& file, const Connection* except, char* why,
                    std::size_t size);

// The CLOSE statement: pending output written, the connection ended.
void close_connection(int number, Where where = Where::current());

// An opening refused for a reason of the caller's, reported in the form of
// every other opening failure ("Cannot open file '%s': %s").
[[noreturn]] void fail_open(int number, std::string_view name, std::string_view why,
                            Where where = Where::current());

// True when a file of this name exists and is the file open on `number`.
bool names_connected_file(int number, std::string_view name);

// True when something of this name exists (a directory counts); only
// existence is tested, not readability.
bool file_exists(std::string_view name);

// Hands every connection's pending output to the system.
void flush_all_connections(Where where = Where::current());

// Closes every connection and ends the process with `status` (2 if the
// closing itself failed, after reporting that failure unless a failure was
// reported before).
[[noreturn]] void end_run(int status, Where where = Where::current());

}  // namespace wexla
