// Copying a file's bytes in process, replacing the target whole or, where
// the folder does not allow that, writing it in place.
#include "textio/files/file_copy.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "textio/connections/connection_table.hpp"
#include "textio/connections/write_all.hpp"
#include "textio/files/descriptors.hpp"
#include "textio/files/whole_file.hpp"

namespace wexla {
namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

int copy_write(int fd, const char* data, std::size_t length) {
  if (auto* stand_in = connection_table().system.copy_write) return stand_in(fd, data, length);
  return write_all(fd, data, length);
}

// The bytes from the source's start to `target`; a source that ends early
// ends the copy there.
CopyTrouble copy_bytes(int source, std::uint64_t size, int target) {
  char buffer[kCopyChunk];
  std::uint64_t at = 0;
  while (at < size) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size - at, kCopyChunk));
    ssize_t got;
    do {
      got = ::pread(source, buffer, want, static_cast<off_t>(at));
    } while (got < 0 && errno == EINTR);
    if (got < 0) return {CopyTrouble::Step::reading, errno};
    if (got == 0) break;
    if (int e = copy_write(target, buffer, static_cast<std::size_t>(got)); e != 0)
      return {CopyTrouble::Step::writing, e};
    at += static_cast<std::uint64_t>(got);
  }
  return {};
}

// The permission bits of a file created with 0666: the process's file
// creation mask does not change while it runs.
mode_t new_file_mode() {
  static const mode_t mode = [] {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

bool refused_here(int error) {
  return error == EACCES || error == EPERM;
}

// As cp writes an existing file: opened, never through a link, cut, then
// written; a new one is created.
CopyTrouble copy_in_place(int source, std::uint64_t size, int folder, const char* name) {
  int fd;
  do {
    fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                  0666);
  } while (fd < 0 && errno == EINTR);
  fd = off_the_standard_streams(fd);
  if (fd < 0) return {CopyTrouble::Step::creating, errno};
  struct stat st {};
  CopyTrouble trouble;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    trouble = {CopyTrouble::Step::not_regular, 0};
  } else if (st.st_nlink > 1) {
    trouble = {CopyTrouble::Step::linked, 0};
  } else if (::ftruncate(fd, 0) != 0) {
    trouble = {CopyTrouble::Step::writing, errno};
  } else {
    trouble = copy_bytes(source, size, fd);
  }
  if (::close(fd) != 0 && !trouble && errno != EINTR) trouble = {CopyTrouble::Step::writing, errno};
  return trouble;
}

}  // namespace

CopyTrouble copy_to_name(int source, std::uint64_t size, int folder, std::string_view name,
                         CopyTarget before) {
  char target[kMaxReplacedName + 1];
  if (name.empty() || name.size() > kMaxReplacedName)
    return {CopyTrouble::Step::creating, ENAMETOOLONG};
  std::memcpy(target, name.data(), name.size());
  target[name.size()] = '\0';

  // A file that cp could not write is not replaced either.
  if (before.exists && ::faccessat(folder, target, W_OK, AT_EACCESS) != 0)
    return {CopyTrouble::Step::access, errno};

  Replacement r;
  if (int e = begin_replacement(r, folder, name); e != 0) {
    if (!refused_here(e)) return {CopyTrouble::Step::creating, e};
    // A folder where nothing can be created: the file is written in place,
    // with the signals held so that they do not leave it half written.
    hold_ending_signals(r);
    CopyTrouble trouble = copy_in_place(source, size, folder, target);
    give_back_signals(r);
    return trouble;
  }
  CopyTrouble trouble = copy_bytes(source, size, r.descriptor);
  // An existing file keeps its permission bits (a new one has them already).
  if (!trouble && before.exists && before.mode != new_file_mode() &&
      ::fchmod(r.descriptor, before.mode) != 0)
    trouble = {CopyTrouble::Step::writing, errno};
  if (trouble) {
    abandon_replacement(r);
    return trouble;
  }
  int error = 0;
  ReplacementStep failed = commit_replacement(r, error);
  // The rename is refused in a sticky folder whose file is another user's.
  if (failed == ReplacementStep::renaming && refused_here(error)) {
    trouble = copy_in_place(source, size, folder, target);
  } else if (failed == ReplacementStep::renaming) {
    trouble = {CopyTrouble::Step::renaming, error};
  } else if (failed == ReplacementStep::closing) {
    trouble = {CopyTrouble::Step::writing, error};
  }
  give_back_signals(r);
  return trouble;
}

void remove_stale_replacements(int folder, std::string_view name) {
  // The listing takes a descriptor of its own.
  int listed = folder == AT_FDCWD
                   ? off_the_standard_streams(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))
                   : ::fcntl(folder, F_DUPFD_CLOEXEC, 3);
  if (listed < 0) return;
  DIR* d = ::fdopendir(listed);
  if (d == nullptr) {
    ::close(listed);
    return;
  }
  std::string head(1, '.');
  head.append(name).push_back('.');
  const std::string own = std::to_string(static_cast<long>(::getpid()));
  while (const dirent* entry = ::readdir(d)) {
    std::string_view n = entry->d_name;
    if (!n.starts_with(head) || !n.ends_with(".part")) continue;
    std::string_view middle = n.substr(head.size(), n.size() - head.size() - 5);
    std::string_view pid = middle.substr(0, middle.find('.'));
    std::string_view rest = middle.substr(pid.size());
    auto digits = [](std::string_view t) {
      return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digits(pid) || pid == own || (!rest.empty() && !digits(rest.substr(1)))) continue;
    ::unlinkat(folder, entry->d_name, 0);
  }
  ::closedir(d);
}

}  // namespace wexla
