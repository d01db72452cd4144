// A run with options that change it: --batch (no prompt, no editor, no
// final wait) and the documents (--json, --csv), written however the run
// ends.
#pragma once

#include "app/options.hpp"

namespace wexla {

// Runs the whole job as the options say and ends the process: status 0 at
// a normal end and at the stop on a file not from a normal fit, 2 after a
// run-time failure, 66 when a batch run's results file does not exist, 74
// when the run ended well but a document could not be written.
[[noreturn]] void run_with_options(const Options& options);

}  // namespace wexla
