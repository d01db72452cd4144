// The end of a run: close the files, the last copy of the best section, the
// count of fits within the percentage window, the scratch file removed, the
// editor started on BEST.OUT, and the wait for Return (the last two not in
// a batch run).
#pragma once

#include "app/dialogue.hpp"
#include "app/plan.hpp"
#include "scan/fit_recorder.hpp"
#include "scan/fit_scan.hpp"

namespace wexla {

void wrap_up(const RunPlan& plan, const RunSettings& settings, FitScan& scan,
             FitRecorder& recorder);

}  // namespace wexla
