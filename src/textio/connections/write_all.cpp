// The loop that hands bytes to the system until all are taken.
#include "textio/connections/write_all.hpp"

#include <unistd.h>

#include <cerrno>

namespace wexla {

int write_all(int descriptor, const char* data, std::size_t length) {
  while (length > 0) {
    ssize_t n = ::write(descriptor, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace wexla
