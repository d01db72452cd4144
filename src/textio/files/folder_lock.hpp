// The advisory lock a run holds on its folder, so that two runs started in
// one folder cannot mix their files (the three output names are fixed).
#pragma once

#include <string_view>

namespace wexla {

enum class FolderLock : unsigned char {
  held,           // this run holds the lock until it ends
  held_by_other,  // another process holds it
  unavailable,    // the folder or its file system cannot be locked
};

// Takes an exclusive lock on the current folder without waiting. The lock
// lives on a descriptor of "." that stays open until the process ends, when
// the system releases it, however the run ends. Calling it again once held
// answers `held`.
FolderLock lock_current_folder();

// The descriptor of the run's folder that files are replaced relative to:
// the lock's, also where the file system cannot lock; AT_FDCWD where "."
// could not be opened (a folder that can be searched but not read).
int run_folder_descriptor();

// Whether this run holds the lock on its folder.
bool folder_locked();

// The lock taken at the start of a run, before its first prompt, so that a
// run waiting for its answers keeps its folder. When another run holds it,
// this run is refused as an opening failure of the file `name` on
// `number` ("Cannot open file '...': another run is using this folder"),
// before it has written anything.
void lock_run_folder(int number, std::string_view name);

}  // namespace wexla
