// The run as one self-contained HTML5 page: what the run was and how it
// ended, the chart of its fits, the fit table in the screen's own text, and
// the parameter lines (the best fit's, then every fit's, folded). Inline
// style only, no script and no request: a Content-Security-Policy allows
// none, so the page opens from a file, an attachment or a shared drive.
// Everything from the results file is escaped. Written from the fit
// stream, in the same little memory as the other documents.
#pragma once

#include "documents/document_out.hpp"
#include "documents/run_description.hpp"
#include "scan/fit_recorder.hpp"

namespace wexla {

void write_run_page(DocumentOut& out, const RunDescription& run, const FitRecorder& fits);

}  // namespace wexla
