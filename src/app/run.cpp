// The order of a run, written once: the plan made from the command line,
// the standard connections, the folder lock, the dialogue, the scan, the
// wrap-up, and the one end where the connections close and the documents
// are written, however the run ended.
#include "app/run.hpp"

#include <string>

#include "app/dialogue.hpp"
#include "app/help.hpp"
#include "app/plan.hpp"
#include "app/wrap_up.hpp"
#include "documents/documents.hpp"
#include "documents/run_description.hpp"
#include "scan/fit_recorder.hpp"
#include "scan/fit_scan.hpp"
#include "scan/run_files.hpp"
#include "scan/summary.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/ending/end_run.hpp"
#include "textio/ending/failure.hpp"
#include "textio/ending/run_end.hpp"
#include "textio/files/file_copy.hpp"
#include "textio/files/folder_lock.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

// A run refused before it began, with its one line on standard error.
[[noreturn]] void refuse_run(const std::string& line, int status) {
  write_record(kStderrConnection, kWholeRecord, std::string_view(line));
  throw run_end(RunEnd::Why::refused, status, {});
}

// The run's steps in their order. The stop, a run-time failure and a
// refusal end them early, and come back here as the run's end.
RunEnd run_steps(const RunPlan& plan, RunSettings& settings, FitRecorder& recorder) {
  try {
    if (plan.answer != RunPlan::Answer::run) {
      return run_end(RunEnd::Why::refused, answer_command_line(plan), {});
    }
    if (std::string refusal = refused_document(plan.documents); !refusal.empty())
      refuse_run(refusal, kExitDocumentNotWritten);
    // Two runs in one folder would write the same three files; the lock is
    // held from before the first prompt.
    lock_run_folder(scratch_connection, kScratchFileName);
    if (plan.batch) {
      // A copy of BEST.OUT that an earlier batch run killed on the way left.
      if (folder_locked()) remove_stale_replacements(run_folder_descriptor(), kBestFileName);
      run_batch_dialogue(settings, plan.operands);
    } else {
      run_dialogue(settings, plan.operands);
    }
    // A document must not replace the results file, which is known now.
    if (std::string refusal = refused_document(plan.documents, settings.results_name.trimmed());
        !refusal.empty())
      refuse_run(refusal, kExitDocumentNotWritten);
    FitScan scan;
    // A batch run starts no process: it copies BEST.OUT itself. Its results
    // file must be a file that stays whole.
    if (plan.batch) {
      scan.best_copy = BestCopy::in_process;
      scan.results_must_stay_whole = true;
    }
    SummaryWriter summary;
    run_scan(settings.results_name.view(), settings.typed_name.view(), scan, summary, recorder);
    wrap_up(plan, settings, scan, recorder);
  } catch (const RunEnd& end) {
    return end;
  }
  return run_end(RunEnd::Why::finished, 0, {});
}

// What the documents say of the run as a whole.
RunDescription describe(const RunSettings& settings, const RunEnd& end) {
  RunDescription run;
  if (settings.name_settled) run.results = settings.results_name.trimmed();
  run.percent_known = settings.percent_settled;
  run.percent = settings.window_percent;
  switch (end.why) {
    case RunEnd::Why::finished:
      run.outcome = RunOutcome::normal;
      break;
    case RunEnd::Why::stop:
      run.outcome = RunOutcome::not_a_normal_fit;
      break;
    default:
      run.outcome = RunOutcome::failed;
      run.error = end.reason_text();
  }
  run.status = end.status;
  return run;
}

}  // namespace

int run(std::span<char* const> arguments) {
  const RunPlan plan = plan_run(arguments);
  start_connections(plan.screen);
  install_failure_handlers();

  RunSettings settings;
  FitRecorder recorder;
  recorder.on = plan.documents.any();
  RunEnd end = run_steps(plan, settings, recorder);

  // The one end: every connection closed (a final write that fails is
  // reported there), then the documents; a run that ended well but could
  // not write one ends with 74.
  close_every_connection(end);
  if (end.why == RunEnd::Why::refused || !plan.documents.any()) return end.status;
  bool written = write_documents(plan.documents, describe(settings, end), recorder);
  return !written && end.status == 0 ? kExitDocumentNotWritten : end.status;
}

}  // namespace wexla
