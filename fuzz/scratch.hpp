// A private scratch folder for the fuzz checks of one process, and whole-file
// helpers that go straight to the system.
#pragma once

#include <string>
#include <string_view>

namespace wexla::fuzz {

// Created on first use under the system's temporary folder; removed when the
// process exits normally.
const std::string& scratch_dir();

void write_file(const std::string& path, std::string_view bytes);
// The whole file; `exists` tells whether there was one.
std::string read_file(const std::string& path, bool* exists = nullptr);
void remove_file(const std::string& path);

}  // namespace wexla::fuzz
