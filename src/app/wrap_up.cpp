#include "app/wrap_up.hpp"

#include "scan/capture.hpp"
#include "scan/summary.hpp"
#include "textio/record.hpp"
#include "textio/shell.hpp"
#include "textio/connection_table.hpp"

namespace wexla {
namespace {

constexpr Format kCountLine = WEXLA_FORMAT("(/,1x,'WSS within ',g10.3,'% of best ',i5)");
constexpr Format kPressReturn = WEXLA_FORMAT("(/,1x,'Press return to finish')");

}  // namespace

std::int32_t count_within(std::span<const float> wss, float per, float wssb) {
  float ratio = per / 100.0f;
  float factor = ratio + 1.0f;
  float threshold = factor * wssb;
  std::int32_t count = 0;
  for (float value : wss) {
    if (value < threshold) ++count;
  }
  return count;
}

void wrap_up(RunSettings& settings, FitScan& scan) {
  close_connection(dat_in);
  close_connection(dat_ou);
  close_summary();
  finish_capture(scan);

  std::int32_t n10 = count_within(scan.wssa, settings.per, scan.wssb);
  write_record(kStdoutConnection, kCountLine, settings.per, n10);

  TextField<64> scall{"rm temp.OUT"};
  system_sub(scall.view());
  scall.assign("bbedit BEST.OUT");
  system_sub(scall.view());

  write_record(kStdoutConnection, kPressReturn);
  read_record(kStdinConnection, kWholeRecord, scan.line.span());
}

}  // namespace wexla
