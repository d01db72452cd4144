// The informational options: --help (or -h) prints the usage text and
// --version the version line; either ends the run, help first when both
// are given.
#pragma once

#include "app/options.hpp"

namespace wexla {

// Ends the run with status 0 after printing, when the options ask for help
// or the version; returns without doing anything otherwise.
void answer_help_or_version(const Options& options);

}  // namespace wexla
