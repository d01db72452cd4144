// Opening connections by name, and whether a name is a file already open.
// An opening that fails is reported here, with the place in the program
// given by the caller, and ends the run.
#pragma once

#include <string_view>

#include "textio/connections/connection.hpp"
#include "textio/ending/where.hpp"

namespace wexla {

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

// Refuses the file open on `number` when it has another name, a hard link
// that may stand anywhere: written, it would change a file elsewhere. It is
// asked after the other refusals, which keep their reasons.
void refuse_other_names(int number, Where where = Where::current());

// An opening refused for a reason of the caller's, reported in the form of
// every other opening failure ("Cannot open file '%s': %s").
[[noreturn]] void fail_open(int number, std::string_view name, std::string_view why,
                            Where where = Where::current());

// True when a file of this name exists and is the file open on `number`.
bool names_connected_file(int number, std::string_view name);

// True when something of this name exists (a directory counts); only
// existence is tested, not readability.
bool file_exists(std::string_view name);

}  // namespace wexla
