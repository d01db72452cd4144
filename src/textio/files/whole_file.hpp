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
  bool signals_held = false;
  sigset_t signals_before;
};

// Creates the temporary ".<name>.<pid>.part" in `folder` (a descriptor, or
// AT_FDCWD), or ".<name>.<pid>.<n>.part" while that name is taken, and
// holds the ending signals. `name` is the last component. Returns 0, or
// the error number with nothing left and the signals as before.
int begin_replacement(Replacement& r, int folder, std::string_view name);

// Which step of putting the temporary in place failed.
enum class ReplacementStep : unsigned char { none, closing, renaming };

// Closes the temporary and renames it over the name. On a failure the
// temporary is removed and the old file stays as it was. The signals stay
// held until give_back_signals (finish_replacement gives them back).
ReplacementStep commit_replacement(Replacement& r, int& error);

// commit_replacement, after a write that failed when `write_error` is not
// 0 (the temporary is then given up); the signals given back either way.
// Returns 0 or the error number.
int finish_replacement(Replacement& r, int write_error = 0);

// Gives the temporary up: closed and removed, the signals given back.
void abandon_replacement(Replacement& r);

// Holds SIGINT, SIGTERM and SIGHUP (begin_replacement does it), and lets
// them through again.
void hold_ending_signals(Replacement& r);
void give_back_signals(Replacement& r);

// renameat within one folder, through the system seam: 0 or an error number.
int rename_over(int folder, const char* from, const char* to);

}  // namespace wexla
