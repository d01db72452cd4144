// The program as a routine: what `main` runs, and what a test or a fuzz
// target can run in a process of its own.
#pragma once

#include <span>

namespace wexla {

// Runs the program on its command-line arguments (those after the program's
// name) and returns the status of a normal end, 0. Every other end of a run
// (--help or --version answered, the abnormal-file stop, a run-time
// failure) ends the process inside, with its own status.
int run(std::span<char* const> arguments);

}  // namespace wexla
