// Replacing a file whole through a temporary renamed over it.
#include "textio/files/whole_file.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "textio/connections/connection_table.hpp"
#include "textio/files/descriptors.hpp"

namespace wexla {
namespace {

constexpr int kTemporaryTries = 100;

}  // namespace

void hold_ending_signals(Replacement& r) {
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGHUP);
  sigprocmask(SIG_BLOCK, &ending, &r.signals_before);
  r.signals_held = true;
}

int rename_over(int folder, const char* from, const char* to) {
  if (auto* stand_in = connection_table().system.rename_over) return stand_in(folder, from, to);
  return ::renameat(folder, from, folder, to) == 0 ? 0 : errno;
}

int begin_replacement(Replacement& r, int folder, std::string_view name) {
  if (name.empty() || name.size() > kMaxReplacedName) return ENAMETOOLONG;
  r.folder = folder;
  std::memcpy(r.name, name.data(), name.size());
  r.name[name.size()] = '\0';
  hold_ending_signals(r);
  // The process's id does not change while it runs.
  static const long pid = static_cast<long>(::getpid());
  for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
    if (attempt == 0) {
      std::snprintf(r.temporary, sizeof r.temporary, ".%s.%ld.part", r.name, pid);
    } else {
      std::snprintf(r.temporary, sizeof r.temporary, ".%s.%ld.%d.part", r.name, pid, attempt);
    }
    int fd;
    do {
      fd =
          ::openat(folder, r.temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    fd = off_the_standard_streams(fd);
    if (fd >= 0) {
      r.descriptor = fd;
      return 0;
    }
    if (errno != EEXIST) break;
  }
  int error = errno;
  give_back_signals(r);
  return error;
}

ReplacementStep commit_replacement(Replacement& r, int& error) {
  error = 0;
  ReplacementStep step = ReplacementStep::none;
  if (::close(r.descriptor) != 0 && errno != EINTR) {
    error = errno;
    step = ReplacementStep::closing;
  }
  r.descriptor = -1;
  if (error == 0) {
    error = rename_over(r.folder, r.temporary, r.name);
    if (error != 0) step = ReplacementStep::renaming;
  }
  if (error != 0) ::unlinkat(r.folder, r.temporary, 0);
  return step;
}

int finish_replacement(Replacement& r, int write_error) {
  int error = write_error;
  if (error != 0) {
    abandon_replacement(r);
    return error;
  }
  commit_replacement(r, error);
  give_back_signals(r);
  return error;
}

void abandon_replacement(Replacement& r) {
  if (r.descriptor >= 0) ::close(r.descriptor);
  r.descriptor = -1;
  ::unlinkat(r.folder, r.temporary, 0);
  give_back_signals(r);
}

void give_back_signals(Replacement& r) {
  if (!r.signals_held) return;
  r.signals_held = false;
  sigprocmask(SIG_SETMASK, &r.signals_before, nullptr);
}

}  // namespace wexla
