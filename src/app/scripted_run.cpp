// The run with options that change it: the batch dialogue, the screen
// moved off a standard output that holds a document, and the documents
// written at the end of the run, however it ends.
#include "app/scripted_run.hpp"

#include <string>

#include "app/dialogue.hpp"
#include "app/document_file.hpp"
#include "app/fit_table_csv.hpp"
#include "app/join_text.hpp"
#include "app/run_document.hpp"
#include "app/wrap_up.hpp"
#include "scan/capture.hpp"
#include "scan/fit_scan.hpp"
#include "scan/run_facts.hpp"
#include "scan/summary.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/connections/write_all.hpp"
#include "textio/ending/end_run.hpp"
#include "textio/ending/failure.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

// What the end of the run needs to write the documents. It lives in
// run_with_options, which never returns: every end of the run comes
// through end_run while it is still there.
struct DocumentRun {
  const Options& options;
  RunFacts facts;
};

// A line on standard error once the connections are closed.
void say(const std::string& line) {
  std::string text = join({line, "\n"});
  (void)write_all(2, text.data(), text.size());
}

// The table's end_of_run: the run's last facts (how it ended, the failure
// report's reason), then the documents, the JSON first.
int write_documents(int status, void* context) {
  DocumentRun& run = *static_cast<DocumentRun*>(context);
  // Describing the run needs memory, which has run out.
  if (status == kExitOutOfMemory) return status;
  RunFacts& facts = run.facts;
  if (failure_reported()) {
    facts.outcome = RunOutcome::failed;
    facts.error = failure_reason();
  } else if (status != 0 && facts.outcome == RunOutcome::normal) {
    facts.outcome = RunOutcome::failed;
  }
  facts.status = status;
  int end_status = status;
  auto put = [&](std::string_view name, const char* what, const std::string& text) {
    if (name.empty()) return;
    std::string problem = write_document(name, text, facts.results);
    if (problem.empty()) return;
    say(join({"wexla: cannot write the ", what, " to '", name, "': ", problem}));
    if (end_status == 0) end_status = kExitDocumentNotWritten;
  };
  put(run.options.json_file, "JSON document", run_document_json(facts));
  put(run.options.csv_file, "CSV table", fit_table_csv(facts));
  return end_status;
}

// A document file that could never take the document is refused before
// anything is read or written.
void check_document_targets(const Options& options) {
  for (std::string_view name : {options.json_file, options.csv_file}) {
    if (name.empty() || name == kStandardOutputName) continue;
    std::string problem = document_target_problem(name, {});
    if (problem.empty()) continue;
    write_record(
        kStderrConnection, kWholeRecord,
        std::string_view(join({"wexla: cannot write a document to '", name, "': ", problem})));
    end_run(kExitDocumentNotWritten);
  }
}

// With a document on standard output, the screen goes elsewhere: nowhere in
// a batch run, to standard error otherwise, where the prompts are needed.
void move_the_screen(bool batch) {
  if (batch) {
    open_connection(kStdoutConnection, "/dev/null", OpenStatus::old_file);
    return;
  }
  Connection& screen = *find_connection(kStdoutConnection);
  (void)release(screen);  // nothing is written yet
  attach(screen, kStdoutConnection, 2, "stderr", Action::write_only, OpenStatus::old_file);
  screen.at_end = true;
}

}  // namespace

void run_with_options(const Options& options) {
  check_document_targets(options);
  DocumentRun run{options, {}};
  const bool documents = !options.json_file.empty() || !options.csv_file.empty();
  RunSettings settings;
  settings.batch = options.batch;
  settings.screen_on_stderr =
      options.json_file == kStandardOutputName || options.csv_file == kStandardOutputName;
  if (settings.screen_on_stderr) move_the_screen(options.batch);
  FitScan scan;
  SummaryWriter summary;
  if (documents) {
    connection_table().end_of_run = write_documents;
    connection_table().end_of_run_context = &run;
    scan.facts = &run.facts;
    summary.facts = &run.facts;
  }

  // The folder's lock, taken with the document already due, so that a run
  // refused for it is described too.
  lock_run_folder();

  if (options.batch) {
    bool found = batch_results_exist(settings, options.operands);
    run.facts.results = settings.results_name.trimmed();
    if (!found) {
      run.facts.error = join({"the results file '", run.facts.results, "' does not exist"});
      write_record(kStderrConnection, kWholeRecord,
                   std::string_view(join({"wexla: ", run.facts.error})));
      end_run(kExitNoResultsFile);
    }
    batch_percent(settings, options.operands);
  } else {
    run_dialogue(settings, options.operands);
    run.facts.results = settings.results_name.trimmed();
  }
  run.facts.percent_known = true;
  run.facts.percent = settings.window_percent;

  run_scan(settings.results_name.view(), settings.typed_name.view(), scan, summary);
  wrap_up(settings, scan);
  end_run(0);
}

}  // namespace wexla
