// A scratch file unlinked as soon as it is made.
#include "textio/files/unnamed_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "textio/files/descriptors.hpp"

namespace wexla {

int open_unnamed_file(int folder, std::string_view stem) {
  constexpr int kTries = 100;
  char name[128];
  const long pid = static_cast<long>(::getpid());
  for (int attempt = 0; attempt < kTries; ++attempt) {
    std::snprintf(name, sizeof name, ".%.*s.%ld.%d", static_cast<int>(stem.size()), stem.data(),
                  pid, attempt);
    int fd;
    do {
      fd = ::openat(folder, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      ::unlinkat(folder, name, 0);
      return off_the_standard_streams(fd);
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

}  // namespace wexla
