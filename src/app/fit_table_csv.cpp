// The fit table as CSV, made from the run's facts.
#include "app/fit_table_csv.hpp"

#include <cmath>

#include "app/real_text.hpp"

namespace wexla {
namespace {

constexpr const char* kLineEnd = "\r\n";

// None of the fields can hold a comma, a quote or a line end, so none is
// quoted.
void append_real(std::string& out, float value) {
  if (std::isfinite(value)) out += shortest_real_text(value);
}

}  // namespace

std::string fit_table_csv(const RunFacts& facts) {
  std::string out = "fit,wss,best_wss,marked,within_percent";
  out += kLineEnd;
  for (const FitFacts& fit : facts.fits) {
    out += std::to_string(fit.number) + ",";
    append_real(out, fit.wss);
    out += ',';
    append_real(out, fit.best_wss);
    out += fit.marked ? ",true," : ",false,";
    if (facts.counted) out += fit.within ? "true" : "false";
    out += kLineEnd;
  }
  return out;
}

}  // namespace wexla
