// The floor a scan is measured against: the same system calls without the
// work per line. It reads a results file in 8192-byte reads, writes every
// byte to a scratch file in 4131-byte writes (51 records of 81 bytes, the
// size of the scan's own writes), and starts the scratch file again
// (ftruncate, then lseek to 0) every FILE-size / SECTIONS bytes, as the scan
// does at each section header. What a run costs above it is the program's
// work per line and its shell commands.
//
//   same_calls_floor FILE SCRATCH SECTIONS
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kRead = 8192;
constexpr std::size_t kWrite = 4131;

bool write_whole(int fd, const char* bytes, std::size_t count) {
  if (::write(fd, bytes, count) == static_cast<ssize_t>(count)) return true;
  std::perror("write");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: same_calls_floor FILE SCRATCH SECTIONS\n");
    return 2;
  }
  const int in = ::open(argv[1], O_RDONLY);
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const long long sections = std::atoll(argv[3]);
  struct stat st {};
  if (in < 0 || out < 0 || ::fstat(in, &st) != 0 || sections <= 0) {
    std::perror("same_calls_floor");
    return 2;
  }
  const long long section = st.st_size / sections + 1;
  long long since = 0;
  static char read_buffer[kRead];
  static char write_buffer[kRead];
  std::size_t pending = 0;
  ssize_t n;
  while ((n = ::read(in, read_buffer, kRead)) > 0) {
    const auto got = static_cast<std::size_t>(n);
    for (std::size_t at = 0; at < got;) {
      std::size_t take = kWrite - pending;
      if (take > got - at) take = got - at;
      std::memcpy(write_buffer + pending, read_buffer + at, take);
      pending += take;
      at += take;
      if (pending == kWrite) {
        if (!write_whole(out, write_buffer, pending)) return 2;
        since += static_cast<long long>(pending);
        pending = 0;
        if (since >= section) {
          if (::ftruncate(out, 0) != 0 || ::lseek(out, 0, SEEK_SET) != 0) {
            std::perror("ftruncate");
            return 2;
          }
          since = 0;
        }
      }
    }
  }
  if (n < 0) {
    std::perror("read");
    return 2;
  }
  if (pending > 0 && !write_whole(out, write_buffer, pending)) return 2;
  return ::close(out) == 0 ? 0 : 2;
}
