// The three files a run writes in its folder, and the shell commands that
// copy, remove and show them: the one place their names are written.
// Macros, so that the names join the commands and messages as literals.
#pragma once

#include <string_view>

#define WEXLA_SCRATCH_FILE "temp.OUT"
#define WEXLA_BEST_FILE "BEST.OUT"
#define WEXLA_SUMMARY_FILE "WexlaP.OUT"

namespace wexla {

inline constexpr std::string_view kScratchFileName = WEXLA_SCRATCH_FILE;
inline constexpr std::string_view kBestFileName = WEXLA_BEST_FILE;
inline constexpr std::string_view kSummaryFileName = WEXLA_SUMMARY_FILE;

inline constexpr std::string_view kCopyBestCommand = "cp " WEXLA_SCRATCH_FILE " " WEXLA_BEST_FILE;
inline constexpr std::string_view kRemoveScratchCommand = "rm " WEXLA_SCRATCH_FILE;
inline constexpr std::string_view kShowBestCommand = "bbedit " WEXLA_BEST_FILE;
// The same, with the editor's output on standard error, when standard
// output holds a document.
inline constexpr std::string_view kShowBestOnStderrCommand = "bbedit " WEXLA_BEST_FILE " 1>&2";

}  // namespace wexla
