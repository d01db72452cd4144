// The usage text and the version line, answered when "--help" or
// "--version" is the only argument.
#include "app/help.hpp"

#include <string_view>

#include "app/banner.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/ending/end_run.hpp"
#include "textio/records/record.hpp"

// The build system names how this binary was built.
#ifndef WEXLA_BUILD
#error "WEXLA_BUILD must be defined by the build"
#endif

namespace wexla {
namespace {

constexpr Format kVersionLine = WEXLA_FORMAT("('" WEXLA_NAME_AND_VERSION " (build ',a,')')");

constexpr std::string_view kUsage[] = {
    "Usage: wexla [RESULTS [PERCENT]]",
    "       wexla --help | --version",
    "",
    "Reads the Kalvor results file RESULTS.OUT in the current folder once,",
    "prints the weighted sum of squares (WSS) of every fit with the best so far,",
    "copies the best fit's output section to BEST.OUT, writes a parameter",
    "summary to WexlaP.OUT, counts the fits whose WSS lies within PERCENT per",
    "cent above the best, and opens BEST.OUT with the bbedit command.",
    "Whatever is not given is asked for at the terminal.",
    "",
    "  RESULTS    the results file, with or without its extension",
    "             (run1, run1.OUT and run1.txt all mean run1.OUT)",
    "  PERCENT    the window above the best WSS within which fits are counted",
    "  --help     print this text and end",
    "  --version  print the version line and end",
    "",
    "See wexla(1).",
};

}  // namespace

void answer_help_or_version(std::span<char* const> args) {
  if (args.size() != 1) return;
  std::string_view only = args[0];
  if (only == "--help") {
    for (std::string_view line : kUsage) write_record(kStdoutConnection, kWholeRecord, line);
  } else if (only == "--version") {
    write_record(kStdoutConnection, kVersionLine, std::string_view(WEXLA_BUILD));
  } else {
    return;
  }
  end_run(0);
}

}  // namespace wexla
