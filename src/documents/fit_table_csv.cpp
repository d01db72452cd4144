// The fit table as CSV, made from the recorded fits.
#include "documents/fit_table_csv.hpp"

#include <cmath>
#include <string>

#include "documents/real_text.hpp"
#include "scan/window_count.hpp"

namespace wexla {
namespace {

constexpr const char* kLineEnd = "\r\n";

// None of the fields can hold a comma, a quote or a line end, so none is
// quoted.
void put_real(std::string& row, float value) {
  if (std::isfinite(value)) row += document_real_text(value);
}

}  // namespace

void write_fit_table_csv(DocumentOut& out, const FitRecorder& fits) {
  std::string row = "fit,wss,best_wss,marked,within_percent";
  row += kLineEnd;
  put(out, row);
  FitReader reader = read_fits(fits);
  while (const RecordedFit* fit = next_fit(reader)) {
    row = std::to_string(fit->number) + ",";
    put_real(row, fit->wss);
    row += ',';
    put_real(row, fit->best_wss);
    row += fit->marked ? ",true," : ",false,";
    if (fits.counted) row += within_window(fit->wss, fits.threshold) ? "true" : "false";
    row += kLineEnd;
    put(out, row);
  }
}

}  // namespace wexla
