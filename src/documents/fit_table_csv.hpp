// The fit table as CSV (RFC 4180, with line feeds as R, pandas and awk
// expect them): a header line, then one row per fit with the same values as
// the JSON document and the results file's name first, so that the tables
// of many runs stack. Written fit by fit from the run's description and its
// recorded fits alone.
#pragma once

#include "documents/document_out.hpp"
#include "documents/run_description.hpp"
#include "scan/fit_recorder.hpp"

namespace wexla {

// The header
// "results,results_hex,fit,wss,wss_text,best_wss,marked,new_best,within_percent",
// then a row per fit. Each column has one type whatever the run's outcome:
// `results` a text (quoted where RFC 4180 asks; bytes that are not UTF-8
// as U+FFFD), `results_hex` its bytes in hexadecimal when it is not UTF-8
// (else empty), `fit` a whole number, `wss` and `best_wss` numbers (empty
// when not finite), `wss_text` the WSS field's text when the WSS is not
// finite (else empty), and the three marks TRUE or FALSE (`within_percent`
// FALSE where the run ended before it counted).
void write_fit_table_csv(DocumentOut& out, const RunDescription& run, const FitRecorder& fits);

}  // namespace wexla
