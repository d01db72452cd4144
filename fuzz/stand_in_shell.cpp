// The stand-in for the shell commands: cp copies with read and write, rm
// unlinks, bbedit is only logged; each command is logged with the sizes of
// the standard streams at that moment.
#include "stand_in_shell.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace wexla::fuzz {
namespace {

constexpr int kExitShift = 8;  // a wait status holds an exit status shifted left by 8
constexpr int kNotFound = 127;

int exited(int status) {
  return status << kExitShift;
}

std::int64_t size_of(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

bool write_whole(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// cp temp.OUT BEST.OUT: the target opened for writing and emptied, as cp
// does with an existing regular file, then the bytes copied. `limit` bytes
// at most are written (for the short copy).
int copy_file(const char* from, const char* to, std::int64_t limit) {
  int in = ::open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return exited(1);
  int out = ::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    ::close(in);
    return exited(1);
  }
  char buffer[65536];
  bool good = true;
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) good = false;
    if (n <= 0) break;
    std::size_t take = static_cast<std::size_t>(n);
    if (limit >= 0 && static_cast<std::int64_t>(take) > limit)
      take = static_cast<std::size_t>(limit);
    if (!write_whole(out, buffer, take)) {
      good = false;
      break;
    }
    if (limit >= 0) {
      limit -= static_cast<std::int64_t>(take);
      if (limit == 0) break;
    }
  }
  ::close(in);
  if (::close(out) != 0) good = false;
  return exited(good ? 0 : 1);
}

Command command_of(std::string_view text) {
  if (text == "cp temp.OUT BEST.OUT") return Command::copy;
  if (text == "rm temp.OUT") return Command::remove;
  if (text == "bbedit BEST.OUT") return Command::show;
  if (text == "bbedit BEST.OUT 1>&2") return Command::show_on_stderr;
  return Command::unknown;
}

}  // namespace

CommandLog& command_log() {
  static CommandLog log;
  return log;
}

int stand_in_shell(const char* text) {
  CommandLog& log = command_log();
  Command command = command_of(text);
  std::size_t at = log.count++;
  if (at < kMaxLoggedCommands) {
    log.commands[at] = command;
    log.screen_size[at] = size_of(log.screen_fd);
  }
  switch (command) {
    case Command::copy: {
      int copies = 0;
      for (std::size_t k = 0; k <= at && k < kMaxLoggedCommands; ++k)
        copies += log.commands[k] == Command::copy ? 1 : 0;
      if (copies != log.failing_copy) return copy_file("temp.OUT", "BEST.OUT", -1);
      switch (log.fault) {
        case CopyFault::status_one:
          return exited(1);
        case CopyFault::not_found:
          return exited(kNotFound);
        case CopyFault::killed:
          return SIGKILL;
        case CopyFault::short_copy: {
          struct stat st {};
          std::int64_t size = ::stat("temp.OUT", &st) == 0 ? st.st_size : 0;
          return copy_file("temp.OUT", "BEST.OUT", size / 2);
        }
      }
      return exited(1);
    }
    case Command::remove:
      return exited(::unlink("temp.OUT") == 0 ? 0 : 1);
    case Command::show:
    case Command::show_on_stderr:
      return exited(0);
    case Command::unknown:
      break;
  }
  return exited(kNotFound);
}

int stand_in_copy_write(int descriptor, const char* data, std::size_t length) {
  CommandLog& log = command_log();
  if (++log.copy_writes == log.failing_copy) {
    if (log.fault == CopyFault::status_one) return kFailedWrite;
    if (log.fault == CopyFault::short_copy) length /= 2;
  }
  return write_whole(descriptor, data, length) ? 0 : errno;
}

int stand_in_rename(int folder, const char* from, const char* to) {
  CommandLog& log = command_log();
  if (std::string_view(to) == "BEST.OUT" && ++log.best_renames == log.failing_copy) {
    if (log.fault == CopyFault::not_found) return kFailedRename;
    if (log.fault == CopyFault::killed) return kRefusedRename;
  }
  return ::renameat(folder, from, folder, to) == 0 ? 0 : errno;
}

}  // namespace wexla::fuzz
