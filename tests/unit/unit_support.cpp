#include "unit_support.hpp"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "textio/units.hpp"

namespace wexla::testing_support {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "wexla-unit-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  std::ofstream file(path(name), std::ios::binary | std::ios::trunc);
  file << content;
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream file(path(name), std::ios::binary);
  std::ostringstream all;
  all << file.rdbuf();
  return all.str();
}

void open_with_content(const TempDir& dir, int number, const std::string& content) {
  dir.write("input.txt", content);
  st_close(number);
  st_open(number, dir.path("input.txt").string(), OpenStatus::old_file);
}

}  // namespace wexla::testing_support
