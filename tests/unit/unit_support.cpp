#include "unit_support.hpp"

#include <stdlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "textio/connection_table.hpp"

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
  // The same file again would be left as it stands: it is connected afresh.
  close_connection(number);
  open_connection(number, dir.path("input.txt").string(), OpenStatus::old_file);
}

namespace {

// Every test starts with the connections of a fresh run: none of an earlier
// test is left over.
struct FreshConnections : testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    if (IoError e = restart_connections()) ADD_FAILURE() << "closing: " << reason_text(e);
  }
};

const bool kFreshConnectionsInstalled = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new FreshConnections);
  return true;
}();

}  // namespace

}  // namespace wexla::testing_support
