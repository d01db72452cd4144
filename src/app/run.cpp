// The order of a run: the standard connections, the folder lock, the
// dialogue, the scan and the wrap-up.
#include "app/run.hpp"

#include <string>

#include "app/dialogue.hpp"
#include "app/help.hpp"
#include "app/options.hpp"
#include "app/scripted_run.hpp"
#include "app/wrap_up.hpp"
#include "scan/capture.hpp"
#include "scan/fit_scan.hpp"
#include "scan/summary.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/ending/end_run.hpp"
#include "textio/ending/failure.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

// A refused command line: its one line on standard error, nothing else
// read or written.
[[noreturn]] void refuse_command_line(const std::string& why) {
  write_record(kStderrConnection, kWholeRecord, std::string_view(why));
  end_run(kExitUsage);
}

}  // namespace

int run(std::span<char* const> arguments) {
  start_connections();
  install_failure_handlers();
  ParsedArguments parsed = parse_arguments(arguments);
  if (!parsed.usage_error.empty()) refuse_command_line(parsed.usage_error);
  answer_help_or_version(parsed.options);
  if (parsed.options.changes_the_run()) run_with_options(parsed.options);
  lock_run_folder();

  RunSettings settings;
  FitScan scan;
  SummaryWriter summary;
  run_dialogue(settings, parsed.options.operands);
  run_scan(settings.results_name.view(), settings.typed_name.view(), scan, summary);
  wrap_up(settings, scan);
  return 0;
}

}  // namespace wexla
