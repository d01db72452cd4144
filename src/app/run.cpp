// The order of a run: the standard connections, the folder lock, the
// dialogue, the scan and the wrap-up.
#include "app/run.hpp"

#include "app/dialogue.hpp"
#include "app/help.hpp"
#include "app/wrap_up.hpp"
#include "scan/capture.hpp"
#include "scan/fit_scan.hpp"
#include "scan/summary.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/ending/failure.hpp"

namespace wexla {

int run(std::span<char* const> arguments) {
  start_connections();
  install_failure_handlers();
  answer_help_or_version(arguments);
  lock_run_folder();

  RunSettings settings;
  FitScan scan;
  SummaryWriter summary;
  run_dialogue(settings, arguments);
  run_scan(settings.results_name.view(), settings.typed_name.view(), scan, summary);
  wrap_up(settings, scan);
  return 0;
}

}  // namespace wexla
