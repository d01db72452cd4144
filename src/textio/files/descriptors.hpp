// Descriptors the run opens for itself never take the place of a standard
// stream that was closed when it started: what the run writes to standard
// output or error would land in that file.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace wexla {

// `fd`, or, when it is 0, 1 or 2, a duplicate above them (close-on-exec)
// with `fd` closed; -1 (errno set) when `fd` is -1 or the duplicate fails.
inline int off_the_standard_streams(int fd) {
  if (fd < 0 || fd > 2) return fd;
  int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  int error = errno;
  ::close(fd);
  errno = error;
  return high;
}

}  // namespace wexla
