// The order of a run, written once: the plan made from the command line,
// the standard connections, the folder lock, the dialogue, the scan, the
// wrap-up, and the one end where the connections close and the documents
// are written, however the run ended.
#include "app/run.hpp"

#include <string>

#include "app/dialogue.hpp"
#include "app/following.hpp"
#include "app/help.hpp"
#include "app/plan.hpp"
#include "app/run_answer.hpp"
#include "app/wrap_up.hpp"
#include "documents/documents.hpp"
#include "documents/join_text.hpp"
#include "documents/run_description.hpp"
#include "scan/fit_recorder.hpp"
#include "scan/fit_scan.hpp"
#include "scan/run_files.hpp"
#include "scan/summary.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/connections/write_all.hpp"
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
RunEnd run_steps(const RunPlan& plan, RunSettings& settings, FitScan& scan, SummaryWriter& summary,
                 FitRecorder& recorder, Following& following) {
  Following* followed = plan.follow.on ? &following : nullptr;
  try {
    if (plan.answer != RunPlan::Answer::run) {
      return run_end(RunEnd::Why::refused, answer_command_line(plan), {});
    }
    if (std::string refusal = refused_document(plan.documents); !refusal.empty())
      refuse_run(refusal, kExitDocumentNotWritten);
    // Two runs in one folder would write the same three files; the lock is
    // held from before the first prompt. A script is told to try again.
    if (!plan.batch) {
      lock_run_folder(scratch_connection, kScratchFileName);
    } else if (lock_current_folder() == FolderLock::held_by_other) {
      refuse_run("wexla: another run is using this folder", kExitFolderInUse);
    }
    if (plan.batch) {
      // A copy of BEST.OUT that an earlier batch run killed on the way left.
      if (folder_locked()) remove_stale_replacements(run_folder_descriptor(), kBestFileName);
      run_batch_dialogue(settings, plan.operands, followed);
    } else {
      run_dialogue(settings, plan.operands, followed);
    }
    // A document must not replace the results file, which is known now.
    if (std::string refusal = refused_document(plan.documents, settings.results());
        !refusal.empty())
      refuse_run(refusal, kExitDocumentNotWritten);
    // A batch run starts no process: it copies BEST.OUT itself. Its results
    // file must be a file that stays whole, and a data error is its own end.
    if (plan.batch) {
      scan.best_copy = BestCopy::in_process;
      scan.results_must_stay_whole = true;
      scan.data_error_said_at_once = true;
    }
    // A followed file must stay whole too: it may grow, never shrink.
    if (followed != nullptr) {
      scan.results_must_stay_whole = true;
      follow_scan(following, plan, settings, scan, summary, recorder);
    } else {
      run_scan(settings.results(), settings.typed(), scan, summary, recorder);
    }
    wrap_up(plan, settings, scan, recorder);
  } catch (const RunEnd& end) {
    return end;
  }
  return run_end(RunEnd::Why::finished, 0, {});
}

// A line on standard error once the connections are closed.
void say(const std::string& line) {
  std::string text = join({"wexla: ", line, "\n"});
  (void)write_all(2, text.data(), text.size());
}

}  // namespace

int run(std::span<char* const> arguments) {
  const RunPlan plan = plan_run(arguments);
  start_connections(plan.streams);
  install_failure_handlers();

  RunSettings settings;
  FitScan scan;
  SummaryWriter summary;
  FitRecorder recorder;
  recorder.on = plan.documents.any();
  Following following(plan.follow);
  RunEnd end = run_steps(plan, settings, scan, summary, recorder, following);

  // The one end: every connection closed (a final write that fails is
  // reported there), what the end tells, then the documents; a run that
  // ended well but could not write one ends with 74.
  close_every_connection(end);
  if (end.why == RunEnd::Why::refused) return end.status;
  const RunAnswer answer = answer_of(plan, settings, scan, end);
  if (answer.say_it) say(answer.error);
  if (!plan.documents.any()) return answer.status;
  RunDescription description = describe(settings, scan, summary, answer);
  if (plan.follow.on) description.followed = following.ended_by;
  bool written = write_documents(plan.documents, description, recorder);
  return !written && answer.status == 0 ? kExitDocumentNotWritten : answer.status;
}

}  // namespace wexla
