// The answer a run's end gives, and the description of the run.
#include "app/run_answer.hpp"

#include "app/run.hpp"
#include "documents/join_text.hpp"

namespace wexla {

RunAnswer answer_of(const RunPlan& plan, const RunSettings& settings, const FitScan& scan,
                    const RunEnd& end) {
  RunAnswer a;
  a.status = end.status;
  const std::string results(settings.results());
  switch (end.why) {
    case RunEnd::Why::finished:
      if (scan.next_fit_number > 1) break;
      a.outcome = RunOutcome::no_fits;
      a.error = join({results, ": no fit found"});
      if (plan.batch) {
        a.status = kExitNoFits;
        a.say_it = true;
      }
      break;
    case RunEnd::Why::stop:
      a.outcome = RunOutcome::not_a_normal_fit;
      a.error = join({results, ": not the result of a normal fit"});
      if (plan.batch) {
        a.status = kExitNotANormalFit;
        // The screen has the message, unless nobody is to see it.
        a.say_it = plan.streams.screen == ScreenPlace::nowhere;
      }
      break;
    case RunEnd::Why::data_error:
      a.outcome = RunOutcome::data_error;
      a.error = join({results, " line ", std::to_string(scan.data_error.line), ", fit ",
                      std::to_string(scan.data_error.fit), ": the WSS field '",
                      scan.data_error.field, "' is not a number"});
      a.say_it = plan.batch;
      break;
    case RunEnd::Why::not_found:
      a.outcome = RunOutcome::no_results_file;
      a.error = end.reason_text();
      break;
    default:
      a.outcome = RunOutcome::failed;
      a.error = end.reason_text();
  }
  return a;
}

RunDescription describe(const RunSettings& settings, const FitScan& scan,
                        const SummaryWriter& summary, const RunAnswer& answer) {
  RunDescription run;
  if (settings.name_settled) run.results = settings.results();
  run.percent_known = settings.percent_settled;
  run.percent = settings.window_percent;
  run.outcome = answer.outcome;
  run.error = answer.error;
  run.data_error = {scan.data_error.line, scan.data_error.fit, scan.data_error.field};
  run.status = answer.status;
  run.wrote_best = scan.best_copies > 0;
  run.wrote_summary = summary.next_heading_number > 1;
  return run;
}

}  // namespace wexla
