// A file replaced whole: the new content goes to a temporary created
// beside the name, exclusively and without following a link, relative to a
// descriptor of its folder, and is then renamed over the name. A reader
// sees the old file or the new one, never half of either. SIGINT, SIGTERM
// and SIGHUP wait while the temporary exists, so that they leave no
// temporary behind (SIGKILL cannot be held).
#pragma once

#include <signal.h>

#include <cstddef>
#include <string_view>

namespace wexla {

inline constexpr std::size_t kMaxReplacedName = 255;

struct Replacement {
  int folder = -1;  // where the name stands: a descriptor, or AT_FDCWD
  char name[kMaxReplacedName + 1] = {};
  char temporary[kMaxReplacedName + 48] = {};
  int descriptor = -1;  // the temporary, open for writing; -1 when none
  sigset_t signals_before;
};

// Creates the temporary ".<name>.<pid>.<n>.part" in `folder` (a
// descriptor, or AT_FDCWD), n counting from 0 while the name is taken, and
// holds the ending signals. `name` is the last component. Returns 0, or
// the error number with nothing left and the signals as before.
int begin_replacement(Replacement& r, int folder, std::string_view name);

// Closes the temporary and renames it over the name (`write_error`, when
// not 0, is a failure met while writing it). Returns 0, or the error
// number with the temporary removed and the old file as it was; the
// signals are given back either way.
int finish_replacement(Replacement& r, int write_error = 0);

}  // namespace wexla
