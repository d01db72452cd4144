// The fit table as CSV, made from the run's description and its fits.
#include "documents/fit_table_csv.hpp"

#include <cmath>
#include <string>

#include "documents/json_text.hpp"
#include "documents/real_text.hpp"
#include "scan/window_count.hpp"

namespace wexla {
namespace {

// A field as RFC 4180 has it: quoted, its quotes doubled, where it holds a
// comma, a quote or a line end.
void put_field(std::string& row, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    row += text;
    return;
  }
  row += '"';
  for (char c : text) {
    if (c == '"') row += '"';
    row += c;
  }
  row += '"';
}

void put_real(std::string& row, float value) {
  if (std::isfinite(value)) row += document_real_text(value);
}

const char* truth(bool value) {
  return value ? "TRUE" : "FALSE";
}

}  // namespace

void write_fit_table_csv(DocumentOut& out, const RunDescription& run, const FitRecorder& fits) {
  put(out, "results,results_hex,fit,wss,wss_text,best_wss,marked,new_best,within_percent\n");
  // The results file's two fields are the same on every row.
  std::string results;
  std::string name;
  append_utf8_text(name, run.results);
  put_field(results, name);
  results += ',';
  if (!is_utf8(run.results)) append_hex_digits(results, run.results);
  results += ',';
  std::string row;
  FitReader reader = read_fits(fits);
  while (const RecordedFit* fit = next_fit(reader)) {
    row = results;
    row += std::to_string(fit->number);
    row += ',';
    put_real(row, fit->wss);
    row += ',';
    if (!std::isfinite(fit->wss)) put_field(row, fit->wss_text);
    row += ',';
    put_real(row, fit->best_wss);
    row += ',';
    row += truth(fit->marked);
    row += ',';
    row += truth(fit->new_best);
    row += ',';
    row += truth(fits.counted && within_window(fit->wss, fits.threshold));
    row += '\n';
    put(out, row);
  }
}

}  // namespace wexla
