// Input of one connection: the read-ahead, refilled from the system, and
// given back when the connection is written after being read.
#include <unistd.h>

#include <cerrno>

#include "textio/connection.hpp"

namespace wexla {

IoError refill(Connection& c) {
  // Output pending on the same connection reaches the file before it is read.
  if (IoError e = flush(c)) return e;
  InputBuffer& in = c.in;
  ssize_t n;
  do {
    n = ::read(c.descriptor, in.bytes, kBufferSize);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return {Trouble::reading, errno};
  in.at = 0;
  in.length = static_cast<std::size_t>(n);
  in.at_eof = n == 0;
  in.has_cr = std::memchr(in.bytes, '\r', in.length) != nullptr;
  return {};
}

void give_back_read_ahead(Connection& c) {
  InputBuffer& in = c.in;
  if (in.length > in.at) {
    ::lseek(c.descriptor, -static_cast<off_t>(in.length - in.at), SEEK_CUR);
  }
  in.at = in.length = 0;
  in.at_eof = false;
}

}  // namespace wexla
