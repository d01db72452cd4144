// The numbers of the three standard connections, made at the start of every
// run: standard input, standard output, and standard error until the
// summary file takes connection 0 over.
#pragma once

namespace wexla {

// The numbers the run's diagnostics have always shown for these streams.
inline constexpr int kStdinConnection = 5;   // the answers at the prompts
inline constexpr int kStdoutConnection = 6;  // the screen
// 0 is standard error until the summary file takes it over, so that
// reports, written to descriptor 2 directly, never pass through it.
inline constexpr int kStderrConnection = 0;

}  // namespace wexla
