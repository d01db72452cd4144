// Wexla: reads a Kalvor results file once, prints the fit table, keeps the
// best fit's section in BEST.OUT and a parameter summary in WexlaP.OUT.
#include <span>

#include "app/dialogue.hpp"
#include "app/help.hpp"
#include "app/wrap_up.hpp"
#include "scan/fit_scan.hpp"
#include "scan/summary.hpp"
#include "textio/failure.hpp"
#include "textio/connection_table.hpp"

int main(int argc, char** argv) {
  using namespace wexla;
  start_connections();
  install_failure_handlers();
  std::span<char* const> args(argv + 1, argc > 0 ? argc - 1 : 0);
  answer_help_or_version(args);

  RunSettings settings;
  FitScan scan;
  SummaryWriter summary;
  run_dialogue(settings, args);
  run_scan(settings.fname.view(), settings.dname.view(), scan, summary);
  wrap_up(settings, scan);
  end_run(0);
}
