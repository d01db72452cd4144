// The end of a run: the last copy, the count of fits within the window,
// the scratch file removed, the editor started and the final Return.
#include "app/wrap_up.hpp"

#include "scan/fit_scan.hpp"
#include "scan/run_facts.hpp"
#include "scan/run_files.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/files/shell.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

constexpr Format kCountLine = WEXLA_FORMAT("(/,1x,'WSS within ',g10.3,'% of best ',i5)");
constexpr Format kPressReturn = WEXLA_FORMAT("(/,1x,'Press return to finish')");

// Which fits the count took, for a document.
void record_count(RunFacts& facts, float window_percent, float best_wss, std::int32_t count) {
  float threshold = window_threshold(window_percent, best_wss);
  for (FitFacts& fit : facts.fits) fit.within = fit.wss < threshold;
  facts.counted = true;
  facts.within_count = count;
}

}  // namespace

float window_threshold(float window_percent, float best_wss) {
  float ratio = window_percent / 100.0f;
  float factor = ratio + 1.0f;
  return factor * best_wss;
}

std::int32_t count_within(std::span<const float> all_fit_wss, float window_percent,
                          float best_wss) {
  float threshold = window_threshold(window_percent, best_wss);
  std::int32_t count = 0;
  for (float value : all_fit_wss) {
    if (value < threshold) ++count;
  }
  return count;
}

void wrap_up(RunSettings& settings, FitScan& scan) {
  finish_scan(scan);

  std::int32_t fits_within = count_within(scan.all_fit_wss, settings.window_percent, scan.best_wss);
  if (scan.facts != nullptr)
    record_count(*scan.facts, settings.window_percent, scan.best_wss, fits_within);
  write_record(kStdoutConnection, kCountLine, settings.window_percent, fits_within);

  // How these two end is not examined: a scratch file left behind or a
  // missing editor loses nothing.
  TextField<64> command{kRemoveScratchCommand};
  (void)run_shell_command(command.view());
  // A batch run has no person to show the file to or to wait for.
  if (settings.batch) return;
  command.assign(settings.screen_on_stderr ? kShowBestOnStderrCommand : kShowBestCommand);
  (void)run_shell_command(command.view());

  // The answer is read as a whole line and not used.
  write_record(kStdoutConnection, kPressReturn);
  Line answer;
  read_record(kStdinConnection, kWholeRecord, answer.span());
}

}  // namespace wexla
