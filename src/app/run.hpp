// The program as a routine: what `main` runs, and what a test or a fuzz
// target can run in a process of its own.
#pragma once

#include <span>

namespace wexla {

// Runs the program on its command-line arguments (those after the program's
// name) and returns the status to end with, every connection closed and
// every document written. Only running out of memory ends the process
// inside, with status 1.
int run(std::span<char* const> arguments);

}  // namespace wexla
