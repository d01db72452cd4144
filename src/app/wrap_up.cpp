// The end of a run: the last copy, the count of fits within the window,
// the scratch file removed, the editor started and the final Return.
#include "app/wrap_up.hpp"

#include "scan/capture.hpp"
#include "scan/run_files.hpp"
#include "scan/window_count.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/files/shell.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

constexpr Format kCountLine = WEXLA_FORMAT("(/,1x,'WSS within ',g10.3,'% of best ',i5)");
constexpr Format kPressReturn = WEXLA_FORMAT("(/,1x,'Press return to finish')");

}  // namespace

void wrap_up(const RunPlan& plan, const RunSettings& settings, FitScan& scan,
             FitRecorder& recorder) {
  finish_scan(scan);

  const float threshold = window_threshold(settings.window_percent, scan.best_wss);
  const std::int32_t fits_within = count_within(scan.all_fit_wss, threshold);
  record_count(recorder, threshold, fits_within);
  write_record(kStdoutConnection, kCountLine, settings.window_percent, fits_within);

  remove_scratch(scan.best_copy);
  // A batch run has no person to show the file to or to wait for.
  if (plan.batch) return;
  // How the editor ends is not examined: a missing editor loses nothing.
  // With a document on standard output, its own text joins the screen on
  // standard error.
  const bool screen_on_stderr = plan.streams.screen == ScreenPlace::standard_error;
  TextField<64> command{screen_on_stderr ? kShowBestOnStderrCommand : kShowBestCommand};
  (void)run_shell_command(command.view());

  // The answer is read as a whole line and not used.
  write_record(kStdoutConnection, kPressReturn);
  Line answer;
  read_record(kStdinConnection, kWholeRecord, answer.span());
}

}  // namespace wexla
