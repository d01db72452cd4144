// Helpers for tests that need a file connection: a scratch folder and a
// connection opened on a file with given content.
#pragma once

#include <string>

#include "scratch_folder.hpp"

namespace wexla::testing_support {

using test_support::ScratchFolder;

// Writes `content` to a file and connects it afresh on `number` as an
// existing file. (Every test starts with the connections of a fresh run.)
void open_with_content(const ScratchFolder& dir, int number, const std::string& content);

}  // namespace wexla::testing_support
