// The numbers of the three standard connections, made at the start of every
// run: standard input, standard output, and standard error until the
// summary file takes connection 0 over.
#pragma once

namespace wexla {

inline constexpr int kStdinConnection = 5;
inline constexpr int kStdoutConnection = 6;
inline constexpr int kStderrConnection = 0;

}  // namespace wexla
