// The program as a routine: what `main` runs, and what a test or a fuzz
// target can run in a process of its own.
#pragma once

#include <span>

namespace wexla {

// The statuses of a batch run beside 0, 64, 66 and 74 (the BSD sysexits
// values where there is one): a run that found no fit, one that stopped on
// a file not from a normal fit, one whose folder another run is using (try
// again later).
inline constexpr int kExitNoFits = 3;
inline constexpr int kExitNotANormalFit = 4;
inline constexpr int kExitFolderInUse = 75;

// Runs the program on its command-line arguments (those after the program's
// name) and returns the status to end with, every connection closed and
// every document written. Only running out of memory ends the process
// inside, with status 1.
int run(std::span<char* const> arguments);

}  // namespace wexla
