// The advisory lock on the run's folder: an exclusive flock on a descriptor
// of "." kept in the connection table until the process ends, and the
// refusal of a run that finds it held.
#include "textio/files/folder_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "textio/connections/connection_table.hpp"
#include "textio/files/descriptors.hpp"
#include "textio/files/opening.hpp"

namespace wexla {
namespace {

// Like every file of the program, the descriptor never occupies 0 to 2 and
// is closed in the commands the program runs.
int open_current_folder() {
  int fd;
  do {
    fd = ::open(".", O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return off_the_standard_streams(fd);
}

}  // namespace

FolderLock lock_current_folder() {
  ConnectionTable& t = connection_table();
  if (t.folder_locked) return FolderLock::held;
  if (t.run_folder < 0) t.run_folder = open_current_folder();
  // A folder that cannot be opened (searched but not read) cannot be
  // locked; the run goes on as it would without the lock.
  if (t.run_folder < 0) return FolderLock::unavailable;
  int result;
  do {
    result = ::flock(t.run_folder, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    t.folder_locked = true;
    return FolderLock::held;
  }
  int error = errno;
  // Only a lock held elsewhere refuses the run. Every other refusal (ENOLCK,
  // EOPNOTSUPP, ENOSYS on network and cluster file systems, EINVAL or EBADF
  // where the call itself is not supported) leaves the run as it was, with
  // the folder's descriptor kept for the files it replaces.
  if (error != EWOULDBLOCK && error != EAGAIN) return FolderLock::unavailable;
  ::close(t.run_folder);
  t.run_folder = -1;
  return FolderLock::held_by_other;
}

int run_folder_descriptor() {
  int fd = connection_table().run_folder;
  return fd >= 0 ? fd : AT_FDCWD;
}

bool folder_locked() {
  return connection_table().folder_locked;
}

void lock_run_folder(int number, std::string_view name) {
  if (lock_current_folder() == FolderLock::held_by_other)
    fail_open(number, name, "another run is using this folder");
}

}  // namespace wexla
