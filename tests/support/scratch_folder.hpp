// A private scratch folder for tests and fuzz checks, and whole-file reads
// and writes that go straight to the system. Failures throw
// std::runtime_error: a test cannot go on without its files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace test_support {

// A fresh folder `base`/`prefix`-XXXXXX, removed with everything in it when
// the object goes. Permissions a test took away inside it are restored
// first, so that the removal succeeds.
class ScratchFolder {
 public:
  explicit ScratchFolder(
      std::string_view prefix = "wexla-test",
      const std::filesystem::path& base = std::filesystem::temp_directory_path());
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path path(const std::string& name) const { return dir_ / name; }
  void write(const std::string& name, std::string_view content) const;
  std::string read(const std::string& name, bool* exists = nullptr) const;

 private:
  std::filesystem::path dir_;
};

// The size of the folder's file `name` as the system has it (what was
// written to it so far, not what waits in a buffer); -1 where there is none.
long size_on_disk(const ScratchFolder& dir, const std::string& name);

// Creates or truncates `path` and writes `bytes` to it.
void write_file(const std::string& path, std::string_view bytes);
// The whole file; empty when there is none, and then `exists` is false.
std::string read_file(const std::string& path, bool* exists = nullptr);
void remove_file(const std::string& path);

}  // namespace test_support
