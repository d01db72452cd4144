// A file's bytes copied, in the program's own process, from a descriptor to
// a name in a folder: the name replaced whole by a temporary renamed over it
// where the folder allows that, else written in place as `cp` would write
// it. Nothing is followed: not a link under the name, not the name of the
// file copied from (its bytes come from the descriptor).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wexla {

// What went wrong in a copy, for its reason line.
struct CopyTrouble {
  enum class Step : std::uint8_t {
    none,
    access,       // the name may not be written (faccessat with the effective ids)
    reading,      // reading the source failed
    creating,     // the temporary could not be made, nor the file opened in place
    writing,      // a write failed
    renaming,     // the rename over the name failed
    not_regular,  // what the name was opened to write in place is not a regular file
    linked        // what it was opened to write in place has another name elsewhere
  };
  Step step = Step::none;
  int error = 0;  // the errno, where there is one

  explicit operator bool() const { return step != Step::none; }
};

// What stood under the name just before the copy, as the caller looked.
struct CopyTarget {
  bool exists = false;
  mode_t mode = 0;  // its permission bits
};

// Copies the first `size` bytes of `source` (read from its start, whatever
// its offset) to `name` in `folder` (a descriptor or AT_FDCWD), where
// `before` says what stood. A file of that name keeps its permission bits;
// its owner, group and extended attributes become those of a new file. Where the temporary cannot
// be created, or the rename over the name is refused, the file is written in place through a
// descriptor opened without following a link and checked to be a regular file. A copy that reads
// fewer bytes (the source was cut) ends with them.
CopyTrouble copy_to_name(int source, std::uint64_t size, int folder, std::string_view name,
                         CopyTarget before);

// Removes the temporaries of `name` that an earlier run killed on the way
// left in `folder` (".<name>.<pid>.<n>.part" of another process). For a run
// that holds the folder's lock, so that no other run is using them.
void remove_stale_replacements(int folder, std::string_view name);

}  // namespace wexla
