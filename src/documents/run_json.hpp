// The run as one JSON document (RFC 8259, UTF-8): the results file, the
// percentage, how the run ended, every fit with its table values and
// parameter lines, the best fit, the count within the window and the
// files written. A function of the run's description and its recorded
// fits alone, written fit by fit.
#pragma once

#include "documents/document_out.hpp"
#include "documents/run_description.hpp"
#include "scan/fit_recorder.hpp"

namespace wexla {

// The document, ending with a line end. Members are always present, with
// null where the run ended before the value was known. A real that is not
// finite is null; a fit's WSS then has its field's text in "wss_text". A
// text that is not valid UTF-8 is written with U+FFFD for each stray byte
// and gets a companion member, its name followed by "_hex", that holds its
// bytes in hexadecimal.
void write_run_json(DocumentOut& out, const RunDescription& run, const FitRecorder& fits);

}  // namespace wexla
