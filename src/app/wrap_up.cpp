#include "app/wrap_up.hpp"

#include "scan/fit_scan.hpp"
#include "textio/record.hpp"
#include "textio/shell.hpp"
#include "textio/connection_table.hpp"

namespace wexla {
namespace {

constexpr Format kCountLine = WEXLA_FORMAT("(/,1x,'WSS within ',g10.3,'% of best ',i5)");
constexpr Format kPressReturn = WEXLA_FORMAT("(/,1x,'Press return to finish')");

}  // namespace

std::int32_t count_within(std::span<const float> all_fit_wss, float window_percent,
                          float best_wss) {
  float ratio = window_percent / 100.0f;
  float factor = ratio + 1.0f;
  float threshold = factor * best_wss;
  std::int32_t count = 0;
  for (float value : all_fit_wss) {
    if (value < threshold) ++count;
  }
  return count;
}

void wrap_up(RunSettings& settings, FitScan& scan) {
  finish_scan(scan);

  std::int32_t fits_within = count_within(scan.all_fit_wss, settings.window_percent, scan.best_wss);
  write_record(kStdoutConnection, kCountLine, settings.window_percent, fits_within);

  // How these two end is not examined: a scratch file left behind or a
  // missing editor loses nothing.
  TextField<64> command{"rm temp.OUT"};
  (void)run_shell_command(command.view());
  command.assign("bbedit BEST.OUT");
  (void)run_shell_command(command.view());

  write_record(kStdoutConnection, kPressReturn);
  read_record(kStdinConnection, kWholeRecord, scan.line.span());
}

}  // namespace wexla
