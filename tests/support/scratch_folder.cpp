// A private scratch folder, whole-file reads and writes, and file sizes for
// tests.
#include "scratch_folder.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace test_support {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void give_up(const char* what, const std::string& path, int code = errno) {
  throw std::runtime_error(std::string(what) + " " + path + ": " + std::strerror(code));
}

}  // namespace

ScratchFolder::ScratchFolder(std::string_view prefix, const fs::path& base) {
  std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) give_up("cannot make", pattern);
  dir_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(dir_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::all, ignored);
    }
  }
  fs::remove_all(dir_, ignored);
}

void ScratchFolder::write(const std::string& name, std::string_view content) const {
  write_file(path(name).string(), content);
}

std::string ScratchFolder::read(const std::string& name, bool* exists) const {
  return read_file(path(name).string(), exists);
}

long size_on_disk(const ScratchFolder& dir, const std::string& name) {
  struct stat st {};
  return ::stat(dir.path(name).c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

void write_file(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) give_up("cannot create", path);
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int code = n < 0 ? errno : EIO;
      ::close(fd);
      give_up("cannot write", path, code);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  ::close(fd);
}

std::string read_file(const std::string& path, bool* exists) {
  std::string all;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (exists != nullptr) *exists = fd >= 0;
  if (fd < 0) return all;
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int code = errno;
      ::close(fd);
      give_up("cannot read", path, code);
    }
    if (n == 0) break;
    all.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return all;
}

void remove_file(const std::string& path) {
  ::unlink(path.c_str());
}

}  // namespace test_support
