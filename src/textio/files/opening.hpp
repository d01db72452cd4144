// Opening connections by name, and what the names of the folder stand for.
// An opening that fails is reported here, with the place in the program
// given by the caller, and ends the run.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textio/connections/connection.hpp"
#include "textio/connections/file_identity.hpp"
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

// An opening refused for a reason of the caller's, reported in the form of
// every other opening failure ("Cannot open file '%s': %s").
[[noreturn]] void fail_open(int number, std::string_view name, std::string_view why,
                            Where where = Where::current());

// True when `file` is a file the run already has: one open on a connection
// other than `except` and standard input, or the standard error of the
// start. Then `why` holds the reason, such as "it is the standard output;
// send the standard output elsewhere".
bool run_file_clash(const FileIdentity& file, const Connection* except, char* why,
                    std::size_t size);

// True when a file of this name exists and is the file open on `number`.
bool names_connected_file(int number, std::string_view name);

// True when something of this name exists (a directory counts); only
// existence is tested, not readability.
bool file_exists(std::string_view name);

// What stands under a name, looked at without following a symbolic link.
struct NameLook {
  bool exists = false;
  bool ordinary = false;  // a regular file
  const char* kind = "";  // "a symbolic link", "a folder", ... when not ordinary
  FileIdentity identity;
  std::uint64_t size = 0;
};

// Looks at `name` (trailing blanks removed) without following a link. A
// name that cannot be looked at (absent, or in a folder that cannot be
// searched) does not exist for this purpose.
NameLook look_at_name(std::string_view name);

// What a file is, as a reason names it: "a symbolic link", "a folder", ...
const char* kind_of_file(mode_t mode);

}  // namespace wexla
