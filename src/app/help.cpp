// The usage text, the version line and the refusal of a command line.
#include "app/help.hpp"

#include <string_view>

#include "app/banner.hpp"
#include "app/options.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/records/record.hpp"

// The build system names how this binary was built.
#ifndef WEXLA_BUILD
#error "WEXLA_BUILD must be defined by the build"
#endif

namespace wexla {
namespace {

constexpr Format kVersionLine = WEXLA_FORMAT("('" WEXLA_NAME_AND_VERSION " (build ',a,')')");

constexpr std::string_view kUsage[] = {
    "Usage: wexla [OPTION]... [--] [RESULTS [PERCENT]]",
    "",
    "Reads the Kalvor results file RESULTS.OUT once, prints the weighted sum of",
    "squares (WSS) of every fit with the best so far, copies the best fit's",
    "section to BEST.OUT, writes a parameter summary to WexlaP.OUT, counts the",
    "fits within PERCENT per cent above the best, and opens BEST.OUT with bbedit.",
    "Whatever is not given is asked for at the terminal.",
    "",
    "  RESULTS      the results file (run1, run1.OUT and run1.txt mean run1.OUT)",
    "  PERCENT      the window above the best WSS within which fits are counted",
    "  --batch      no prompt, no editor, no final wait, no process started:",
    "               both operands needed; RESULTS ending in .OUT is taken as given",
    "  --json=FILE  write the run as a JSON document; --csv=FILE the fit table",
    "  --html=FILE  the run as a page with its chart; --svg=FILE the chart alone",
    "               (FILE '-' for one of them: standard output)",
    "  --follow     read on as RESULTS grows, until the process --pid=PID has",
    "               ended, or RESULTS has not grown for --idle=SECONDS, or a signal",
    "  -h, --help   print this text and end; --version, the version line",
    "  --           end of the options: a RESULTS beginning with '-' follows",
    "",
    "Exit status: 0 done, 1 out of memory, 2 run-time error, 64 bad command",
    "line, 74 a document not written. A batch run also: 3 no fit found, 4 not",
    "the result of a normal fit, 65 a WSS field that is not a number, 66 no",
    "such results file, 75 the folder is in use (try later). See wexla(1).",
};

}  // namespace

int answer_command_line(const RunPlan& plan) {
  switch (plan.answer) {
    case RunPlan::Answer::help:
      for (std::string_view line : kUsage) write_record(kStdoutConnection, kWholeRecord, line);
      return 0;
    case RunPlan::Answer::version:
      write_record(kStdoutConnection, kVersionLine, std::string_view(WEXLA_BUILD));
      return 0;
    case RunPlan::Answer::refusal:
    case RunPlan::Answer::run:
      break;
  }
  // Nothing else is read or written.
  write_record(kStderrConnection, kWholeRecord, std::string_view(plan.refusal));
  return kExitUsage;
}

}  // namespace wexla
