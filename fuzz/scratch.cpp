#include "scratch.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace wexla::fuzz {
namespace {

std::string& dir_name() {
  static std::string name;
  return name;
}

void remove_scratch() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_name(), ignored);
}

[[noreturn]] void give_up(const char* what, const std::string& path) {
  std::fprintf(stderr, "fuzz scratch: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
  std::abort();
}

}  // namespace

const std::string& scratch_dir() {
  std::string& name = dir_name();
  if (name.empty()) {
    // A memory file system where there is one: the checks rewrite their
    // files at every input, and a disk file system makes that slow.
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/wexla-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) give_up("cannot make", pattern);
    name = pattern;
    std::atexit(remove_scratch);
  }
  return name;
}

void write_file(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) give_up("cannot create", path);
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) give_up("cannot write", path);
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
    if (n < 0) give_up("cannot read", path);
    if (n == 0) break;
    all.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return all;
}

void remove_file(const std::string& path) {
  ::unlink(path.c_str());
}

}  // namespace wexla::fuzz
