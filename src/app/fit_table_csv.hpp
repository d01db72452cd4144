// The fit table as CSV (RFC 4180): a header line, then one row per fit with
// the same values as the JSON document. A function of the run's facts alone.
#pragma once

#include <string>

#include "scan/run_facts.hpp"

namespace wexla {

// "fit,wss,best_wss,marked,within_percent", then a row per fit; every line
// ends with CR LF. A real that is not finite, and within_percent before the
// run has counted, are empty fields.
std::string fit_table_csv(const RunFacts& facts);

}  // namespace wexla
