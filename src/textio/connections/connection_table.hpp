// The numbered connections of the run: the one table that holds them, the
// standard streams 5, 6 and 0 made at start, a connection made on a
// descriptor and ended again. Nothing here reports a failure: what goes
// wrong is returned, and the statement that made the step reports it.
#pragma once

#include <cstddef>
#include <string_view>

#include "textio/connections/connection.hpp"
#include "textio/connections/file_identity.hpp"
#include "textio/connections/io_error.hpp"
#include "textio/connections/system_seam.hpp"

namespace wexla {

inline constexpr std::size_t kMaxConnections = 8;

// Numbers below this are found with one look-up (the program's own are 0 to
// 11); every statement looks its connection up by number.
inline constexpr int kDirectNumbers = 16;

struct ConnectionTable {
  Connection slots[kMaxConnections];
  // The connected ones among the slots, by number below kDirectNumbers.
  Connection* by_number[kDirectNumbers] = {};
  bool ending = false;  // the run is ending: closing, no more statements
  // A descriptor of the run's folder, "." as the run started, or -1 where it
  // could not be opened; it holds the run's lock on the folder when
  // `folder_locked` (files/folder_lock.hpp), and stays open until the
  // process ends. Files the run replaces are made relative to it.
  int run_folder = -1;
  bool folder_locked = false;
  // The files standard output and standard error were at the start: the
  // screen may be put elsewhere and connection 0 leaves standard error when
  // the summary file is opened, and no file the run writes may be either.
  FileIdentity standard_output;
  FileIdentity standard_error;
  bool brief_reports = false;  // failure reports in one line (StandardStreams)
  SystemSeam system;
};

// The one table of the run. It is made before the program starts, so that
// the look-up every statement makes needs no check that it exists.
extern ConnectionTable the_connection_table;
inline ConnectionTable& connection_table() {
  return the_connection_table;
}

// Where the screen, connection 6, goes: standard output, standard error
// (when standard output holds a document and a person answers prompts), or
// nowhere (a batch run whose standard output holds a document).
enum class ScreenPlace : unsigned char { standard_output, standard_error, nowhere };

// How the standard streams of a run are made.
struct StandardStreams {
  ScreenPlace screen = ScreenPlace::standard_output;
  // The screen may lose its reader (a pipe to `head`): it is then dropped,
  // not a failure.
  bool screen_may_close = false;
  // A failure is reported in one line, "wexla: " and the reason, without
  // the locus line and the backtrace (for scripts).
  bool brief_reports = false;
};

// Makes connections 5, 6 and 0 on descriptors 0, 1 and 2 (identity read
// now) in an empty table: the start of the run, as `streams` says.
void start_connections(StandardStreams streams = {});

// Ends every connection in the table, writing what is pending, and starts
// afresh as at the start of the run, with the system seam emptied. A test
// calls it so that no connection of an earlier test is left over. Returns
// the first failure of a final write.
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

}  // namespace wexla
