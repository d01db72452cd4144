// Whether a name may take one of the run's files or documents: the one rule,
// used for the files the run writes as its own, for BEST.OUT, and for the
// documents. What stands under the name is looked at without following a
// link: only nothing or a regular file may be written there, and a regular
// file only when it is none of the files the run already has.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textio/connections/connection.hpp"
#include "textio/connections/file_identity.hpp"

namespace wexla {

// A name as the system takes it: NUL-terminated. Names that no file can
// have (too long, or holding a NUL byte) give the error the system would.
struct CName {
  char text[kMaxFileName + 1];
  int error = 0;
};
CName c_name(std::string_view name);

// What stands under a name, looked at without following a symbolic link.
struct NameLook {
  bool exists = false;
  bool ordinary = false;  // a regular file
  bool link = false;      // a symbolic link
  const char* kind = "";  // "a symbolic link", "a folder", ... when not ordinary
  FileIdentity identity;
  std::uint64_t size = 0;
  mode_t mode = 0;          // the permission bits
  std::uint64_t links = 0;  // its count of names
};

// The reason of a file that would be written through another of its names.
inline constexpr const char* kHasAnotherName =
    "it has another name elsewhere; remove it or run elsewhere";

// Looks at `name` (trailing blanks removed) without following a link. A
// name that cannot be looked at (absent, or in a folder that cannot be
// searched) does not exist for this purpose.
NameLook look_at_name(std::string_view name);

// The file a name leads to, its links followed; unknown when there is none.
FileIdentity identity_of_name(std::string_view name);

// Where a name stands, whether or not a file stands there yet: the folder
// it is in, by identity, and its last component. A name whose folder cannot
// be looked at has the system's error instead.
struct NamePlace {
  FileIdentity folder;
  std::string_view last;  // within the name given
  int error = 0;          // the folder does not exist, or is no folder
};
NamePlace place_of(std::string_view name);

// Whether two names stand for one file: the same folder and the same last
// component without regard to ASCII case, as the file systems of macOS
// fold it ("./a.json" is "a.json", "best.out" is "BEST.OUT").
bool same_place(const NamePlace& a, const NamePlace& b);

// What a file is, as a reason names it: "a symbolic link", "a folder", ...
const char* kind_of_file(mode_t mode);

// True when `file` is a file the run already has: one open on a connection
// other than `except` and standard input, or the standard error of the
// start. Then `why` holds the reason, such as "it is the standard output;
// send the standard output elsewhere".
bool run_file_clash(const FileIdentity& file, const Connection* except, char* why,
                    std::size_t size);

}  // namespace wexla
