// Replacing a file whole through a temporary renamed over it.
#include "textio/files/whole_file.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace wexla {
namespace {

constexpr int kTemporaryTries = 100;

void hold_ending_signals(sigset_t& before) {
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGHUP);
  sigprocmask(SIG_BLOCK, &ending, &before);
}

}  // namespace

int begin_replacement(Replacement& r, int folder, std::string_view name) {
  if (name.empty() || name.size() > kMaxReplacedName) return ENAMETOOLONG;
  r.folder = folder;
  std::memcpy(r.name, name.data(), name.size());
  r.name[name.size()] = '\0';
  hold_ending_signals(r.signals_before);
  const long pid = static_cast<long>(::getpid());
  for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
    std::snprintf(r.temporary, sizeof r.temporary, ".%s.%ld.%d.part", r.name, pid, attempt);
    int fd;
    do {
      // Exclusive creation never follows a link: a name that is taken fails.
      fd = ::openat(folder, r.temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      r.descriptor = fd;
      return 0;
    }
    if (errno != EEXIST) break;
  }
  int error = errno;
  sigprocmask(SIG_SETMASK, &r.signals_before, nullptr);
  return error;
}

int finish_replacement(Replacement& r, int write_error) {
  int error = write_error;
  if (::close(r.descriptor) != 0 && error == 0 && errno != EINTR) error = errno;
  r.descriptor = -1;
  if (error == 0 && ::renameat(r.folder, r.temporary, r.folder, r.name) != 0) error = errno;
  if (error != 0) ::unlinkat(r.folder, r.temporary, 0);
  sigprocmask(SIG_SETMASK, &r.signals_before, nullptr);
  return error;
}

}  // namespace wexla
