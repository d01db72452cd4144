// The private scratch folder of the fuzz checks of one process, and the
// shared whole-file helpers the checks use on it.
#pragma once

#include <string>

#include "scratch_folder.hpp"

namespace wexla::fuzz {

// Created on first use; removed when the process exits normally.
const std::string& scratch_dir();

using test_support::read_file;
using test_support::remove_file;
using test_support::write_file;

}  // namespace wexla::fuzz
