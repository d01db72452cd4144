// A scratch folder for the fuzz checks that write files.
#include "scratch.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace wexla::fuzz {

const std::string& scratch_dir() {
  // A memory file system where there is one: the checks rewrite their
  // files at every input, and a disk file system makes that slow.
  static const test_support::ScratchFolder folder("wexla-fuzz", [] {
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr && *tmp != '\0') return std::filesystem::path(tmp);
    return std::filesystem::path(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  }());
  static const std::string name = folder.dir().string();
  return name;
}

}  // namespace wexla::fuzz
