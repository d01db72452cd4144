// The two informational options: "--help" or "--version" as the only
// argument prints the usage text or the version line and ends the run.
// Every other argument list is the results file and the percentage.
#pragma once

#include <span>

namespace wexla {

// Ends the run with status 0 after printing, when `args` (the arguments
// after the program name) is exactly "--help" or exactly "--version";
// returns without doing anything otherwise.
void answer_help_or_version(std::span<char* const> args);

}  // namespace wexla
