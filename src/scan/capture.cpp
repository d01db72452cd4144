// The best fit's section: the scratch file opened and restarted at each
// section header, the copies to BEST.OUT and the looks at BEST.OUT around
// them.
#include "scan/capture.hpp"

#include <cstdio>

#include "scan/results_guard.hpp"
#include "scan/run_files.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/ending/failure.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/name_rule.hpp"
#include "textio/files/opening.hpp"
#include "textio/files/shell.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

const TextField<32> scratch_file_name{kScratchFileName};
const TextField<32> best_file_name{kBestFileName};

constexpr const char* kCopyWhat = "Cannot copy '" WEXLA_SCRATCH_FILE "' to '" WEXLA_BEST_FILE "'";

// BEST.OUT is only ever written by this copy. A copy that did not run or
// did not succeed ends the run at once, before anything else is written, so
// that no run ends with status 0 and a wrong BEST.OUT; the section stays
// whole in the scratch file. The copy works on no connection, so the report
// names none.
[[noreturn]] void fail_copy(const char* why) {
  char reason[256];
  std::snprintf(reason, sizeof reason, "%s: %s", kCopyWhat, why);
  report_failure(Where::current(), {}, reason);
}

// cp writes through a link and copies into a folder, so BEST.OUT must be
// absent or a regular file before it runs, and a regular file of the
// scratch file's size after.
void copy_best(std::uint64_t scratch_size) {
  char why[192];
  NameLook before = look_at_name(best_file_name.view());
  if (before.exists && !before.ordinary) {
    std::snprintf(why, sizeof why, "'" WEXLA_BEST_FILE "' is %s; remove it or run elsewhere",
                  before.kind);
    fail_copy(why);
  }
  TextField<64> command{kCopyBestCommand};
  CommandOutcome outcome = run_shell_command(command.view());
  switch (outcome.ending) {
    case CommandOutcome::Ending::not_run:
      fail_copy("cp could not be run");
    case CommandOutcome::Ending::exited:
      if (outcome.value == 0) break;
      std::snprintf(why, sizeof why, "cp ended with status %d", outcome.value);
      fail_copy(why);
    case CommandOutcome::Ending::signalled:
      std::snprintf(why, sizeof why, "cp was ended by signal %d", outcome.value);
      fail_copy(why);
  }
  NameLook after = look_at_name(best_file_name.view());
  if (!after.exists) fail_copy("'" WEXLA_BEST_FILE "' is missing after the copy");
  if (!after.ordinary) {
    std::snprintf(why, sizeof why, "'" WEXLA_BEST_FILE "' is %s after the copy", after.kind);
    fail_copy(why);
  }
  if (after.size != scratch_size) {
    std::snprintf(
        why, sizeof why,
        "'" WEXLA_BEST_FILE "' holds %llu bytes after the copy, '" WEXLA_SCRATCH_FILE "' %llu",
        static_cast<unsigned long long>(after.size), static_cast<unsigned long long>(scratch_size));
    fail_copy(why);
  }
}

}  // namespace

std::uint64_t close_scratch() {
  const Connection* c = find_connection(scratch_connection);
  std::uint64_t held = c != nullptr ? c->position : 0;
  close_connection(scratch_connection);
  return held;
}

void open_scratch() {
  // Copying a section over the results file would destroy it as well.
  refuse_the_results_file(scratch_connection, scratch_file_name.view());
  refuse_the_results_file(scratch_connection, best_file_name.view());
  open_own_file(scratch_connection, scratch_file_name.view());
}

void check_best_name() {
  // A BEST.OUT that is a hard link to another file of the run, or the
  // standard output or error, would be overwritten by the copy.
  NameLook best = look_at_name(best_file_name.view());
  char why[kMaxFileName + 128];
  if (best.ordinary && run_file_clash(best.identity, nullptr, why, sizeof why)) {
    fail_open(scratch_connection, best_file_name.trimmed(), why, Where::current());
  }
}

void section_header_found(FitScan& scan, const ScanKeys& keys) {
  if (string_index(scan.line_at(kStatisticsAbove).view(), keys.statistics_key) != 0) return;
  std::uint64_t held = close_scratch();
  if (scan.scratch_holds_best) {
    copy_best(held);
    scan.scratch_holds_best = false;
  }
  open_scratch();
}

void append_line(const FitScan& scan) {
  write_record(scratch_connection, kWholeRecord, scan.line0().view());
}

void finish_capture(FitScan& scan, std::uint64_t scratch_size) {
  if (scan.scratch_holds_best) copy_best(scratch_size);
}

}  // namespace wexla
