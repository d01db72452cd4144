#include "scan/capture.hpp"

#include <cstdio>

#include "scan/results_guard.hpp"
#include "textio/failure.hpp"
#include "textio/folder_lock.hpp"
#include "textio/record.hpp"
#include "textio/shell.hpp"

namespace wexla {
namespace {

const TextField<32> scratch_file_name{"temp.OUT"};
const TextField<32> best_file_name{"BEST.OUT"};

// BEST.OUT is only ever written by this copy. A copy that did not run or
// did not succeed ends the run at once, before anything else is written, so
// that no run ends with status 0 and a wrong BEST.OUT; the section stays
// whole in the scratch file. The copy works on no connection, so the report
// names none.
void copy_best() {
  TextField<64> command{"cp temp.OUT BEST.OUT"};
  CommandOutcome outcome = run_shell_command(command.view());
  if (outcome.succeeded()) return;
  char reason[128];
  constexpr const char* kWhat = "Cannot copy 'temp.OUT' to 'BEST.OUT': cp";
  switch (outcome.ending) {
    case CommandOutcome::Ending::not_run:
      std::snprintf(reason, sizeof reason, "%s could not be run", kWhat);
      break;
    case CommandOutcome::Ending::exited:
      std::snprintf(reason, sizeof reason, "%s ended with status %d", kWhat, outcome.value);
      break;
    case CommandOutcome::Ending::signalled:
      std::snprintf(reason, sizeof reason, "%s was ended by signal %d", kWhat, outcome.value);
      break;
  }
  report_failure(Where::current(), {}, reason);
}

}  // namespace

void open_scratch() {
  // Copying a section over the results file would destroy it as well.
  refuse_the_results_file(scratch_connection, scratch_file_name.view());
  refuse_the_results_file(scratch_connection, best_file_name.view());
  open_connection(scratch_connection, scratch_file_name.view(), OpenStatus::unknown);
}

void start_capture() {
  // Two runs in one folder would write the same three files. The lock is
  // taken before the first file is opened for writing; a run that finds it
  // held writes nothing.
  if (lock_current_folder() == FolderLock::held_by_other) {
    fail_open(scratch_connection, scratch_file_name.trimmed(), "another run is using this folder",
              Where::current());
  }
  open_scratch();
}

void section_header_found(FitScan& scan, const ScanKeys& keys) {
  if (string_index(scan.line_at(2).view(), keys.statistics_key) != 0) return;
  close_connection(scratch_connection);
  if (scan.scratch_holds_best) {
    copy_best();
    scan.scratch_holds_best = false;
  }
  open_scratch();
}

void append_line(const FitScan& scan) {
  write_record(scratch_connection, kWholeRecord, scan.line0().view());
}

void finish_capture(FitScan& scan) {
  if (scan.scratch_holds_best) copy_best();
}

}  // namespace wexla
