// Helpers for tests that need a file connection: a scratch folder and a
// connection opened on a file with given content.
#pragma once

#include <filesystem>
#include <string>

namespace wexla::testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path path(const std::string& name) const { return dir_ / name; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;

 private:
  std::filesystem::path dir_;
};

// Writes `content` to a file and connects it afresh on `number` as an
// existing file. (Every test starts with the connections of a fresh run.)
void open_with_content(const TempDir& dir, int number, const std::string& content);

}  // namespace wexla::testing_support
