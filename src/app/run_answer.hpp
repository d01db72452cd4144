// What a run's end tells, and what the documents say of the run as a
// whole: made once the run has ended (and, while a results file is
// followed, for the documents written on the way).
#pragma once

#include <string>

#include "app/dialogue.hpp"
#include "app/plan.hpp"
#include "documents/run_description.hpp"
#include "scan/fit_scan.hpp"
#include "scan/summary.hpp"
#include "textio/ending/run_end.hpp"

namespace wexla {

// What a run's end tells: its outcome, the status it ends with, why, and
// the line a batch run says it in on standard error, where it has one
// beside the report and the refusals (which are said where they happen).
struct RunAnswer {
  RunOutcome outcome = RunOutcome::normal;
  int status = 0;
  std::string error;
  bool say_it = false;
};

RunAnswer answer_of(const RunPlan& plan, const RunSettings& settings, const FitScan& scan,
                    const RunEnd& end);

// What the documents say of the run as a whole. Its texts point into
// `settings`, `scan` and `answer`, which must outlive it.
RunDescription describe(const RunSettings& settings, const FitScan& scan,
                        const SummaryWriter& summary, const RunAnswer& answer);

}  // namespace wexla
