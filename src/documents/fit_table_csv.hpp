// The fit table as CSV (RFC 4180): a header line, then one row per fit with
// the same values as the JSON document, written fit by fit from the
// recorded fits alone.
#pragma once

#include "documents/document_out.hpp"
#include "scan/fit_recorder.hpp"

namespace wexla {

// "fit,wss,best_wss,marked,within_percent", then a row per fit; every line
// ends with CR LF. A real that is not finite, and within_percent before the
// run has counted, are empty fields.
void write_fit_table_csv(DocumentOut& out, const FitRecorder& fits);

}  // namespace wexla
