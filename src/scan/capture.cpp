// The best fit's section: the scratch file opened and restarted at each
// section header, the copies to BEST.OUT and the looks at BEST.OUT around
// them.
#include "scan/capture.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "scan/results_guard.hpp"
#include "scan/run_files.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/ending/failure.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/descriptors.hpp"
#include "textio/files/file_copy.hpp"
#include "textio/files/folder_lock.hpp"
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

// Why an in-process copy failed, for its reason line.
void fail_copy_in_process(const CopyTrouble& t) {
  char why[192];
  const char* system = std::strerror(t.error);
  switch (t.step) {
    case CopyTrouble::Step::access:
      std::snprintf(why, sizeof why, "'" WEXLA_BEST_FILE "' cannot be written: %s", system);
      break;
    case CopyTrouble::Step::reading:
      std::snprintf(why, sizeof why, "reading '" WEXLA_SCRATCH_FILE "' failed: %s", system);
      break;
    case CopyTrouble::Step::creating:
      std::snprintf(why, sizeof why, "'" WEXLA_BEST_FILE "' cannot be created: %s", system);
      break;
    case CopyTrouble::Step::writing:
      std::snprintf(why, sizeof why, "writing '" WEXLA_BEST_FILE "' failed: %s", system);
      break;
    case CopyTrouble::Step::renaming:
      std::snprintf(why, sizeof why,
                    "putting the copy in place of '" WEXLA_BEST_FILE "' failed: %s", system);
      break;
    case CopyTrouble::Step::linked:
      std::snprintf(why, sizeof why,
                    "'" WEXLA_BEST_FILE "' has another name elsewhere; remove it or run elsewhere");
      break;
    case CopyTrouble::Step::not_regular:
    case CopyTrouble::Step::none:
      std::snprintf(why, sizeof why,
                    "'" WEXLA_BEST_FILE "' is not an ordinary file; remove it or run elsewhere");
      break;
  }
  fail_copy(why);
}

// The copy made by the shell's cp.
void copy_by_cp() {
  char why[192];
  TextField<64> command{kCopyBestCommand};
  CommandOutcome outcome = run_shell_command(command.view());
  switch (outcome.ending) {
    case CommandOutcome::Ending::not_run:
      fail_copy("cp could not be run");
    case CommandOutcome::Ending::exited:
      if (outcome.value == 0) return;
      std::snprintf(why, sizeof why, "cp ended with status %d", outcome.value);
      fail_copy(why);
    case CommandOutcome::Ending::signalled:
      std::snprintf(why, sizeof why, "cp was ended by signal %d", outcome.value);
      fail_copy(why);
  }
}

// The copy made in process, from the scratch file's own descriptor, as
// after a shell command: everything written so far has reached its file.
void copy_in_process(const ScratchHeld& held, const NameLook& before) {
  flush_all_connections();
  if (held.reader < 0) {
    char why[192];
    std::snprintf(why, sizeof why, "'" WEXLA_SCRATCH_FILE "' cannot be read: %s",
                  held.reader_error != 0 ? std::strerror(held.reader_error)
                                         : "it is no longer the file the run wrote");
    fail_copy(why);
  }
  CopyTrouble trouble = copy_to_name(held.reader, held.size, run_folder_descriptor(), kBestFileName,
                                     {before.exists, before.mode});
  if (trouble) fail_copy_in_process(trouble);
}

// cp writes through a link and copies into a folder, so BEST.OUT must be
// absent or a regular file before it runs, and a regular file of the
// scratch file's size after. The copy in process replaces it whole instead,
// and is held to the same looks.
void copy_best(BestCopy how, const ScratchHeld& held) {
  char why[192];
  NameLook before = look_at_name(best_file_name.view());
  if (before.exists && !before.ordinary) {
    std::snprintf(why, sizeof why, "'" WEXLA_BEST_FILE "' is %s; remove it or run elsewhere",
                  before.kind);
    fail_copy(why);
  }
  if (how == BestCopy::by_cp) {
    // cp writes BEST.OUT in place, so through every other name it has.
    if (before.links > 1)
      fail_copy("'" WEXLA_BEST_FILE "' has another name elsewhere; remove it or run elsewhere");
    copy_by_cp();
  } else {
    copy_in_process(held, before);
  }
  NameLook after = look_at_name(best_file_name.view());
  if (!after.exists) fail_copy("'" WEXLA_BEST_FILE "' is missing after the copy");
  if (!after.ordinary) {
    std::snprintf(why, sizeof why, "'" WEXLA_BEST_FILE "' is %s after the copy", after.kind);
    fail_copy(why);
  }
  if (after.size != held.size) {
    std::snprintf(
        why, sizeof why,
        "'" WEXLA_BEST_FILE "' holds %llu bytes after the copy, '" WEXLA_SCRATCH_FILE "' %llu",
        static_cast<unsigned long long>(after.size), static_cast<unsigned long long>(held.size));
    fail_copy(why);
  }
}

}  // namespace

ScratchHeld::~ScratchHeld() {
  if (reader >= 0) ::close(reader);
}

ScratchHeld close_scratch(bool keep_reader) {
  const Connection* c = find_connection(scratch_connection);
  ScratchHeld held;
  if (c == nullptr) return held;
  held.size = c->position;
  const bool write_only = c->action == Action::write_only;
  const FileIdentity written = c->identity;
  if (keep_reader && !write_only) {
    held.reader = ::fcntl(c->descriptor, F_DUPFD_CLOEXEC, 3);
    if (held.reader < 0) held.reader_error = errno;
  }
  close_connection(scratch_connection);
  if (keep_reader && write_only) {
    // A scratch file that could only be opened for writing is read through
    // a descriptor of its own, if it is still the file written.
    do {
      held.reader = ::openat(run_folder_descriptor(), WEXLA_SCRATCH_FILE,
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (held.reader < 0 && errno == EINTR);
    held.reader = off_the_standard_streams(held.reader);
    struct stat st {};
    if (held.reader < 0) {
      held.reader_error = errno;
    } else if (::fstat(held.reader, &st) != 0 || !same_file(identity_of(st), written)) {
      ::close(held.reader);
      held.reader = -1;
    }
  }
  return held;
}

void open_scratch(bool names_later) {
  // Copying a section over the results file would destroy it as well.
  refuse_the_results_file(scratch_connection, scratch_file_name.view());
  refuse_the_results_file(scratch_connection, best_file_name.view());
  open_own_file(scratch_connection, scratch_file_name.view());
  if (!names_later) refuse_other_names(scratch_connection);
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
  ScratchHeld held = close_scratch(reader_needed(scan));
  if (scan.scratch_holds_best) {
    copy_best(scan.best_copy, held);
    ++scan.best_copies;
    scan.scratch_holds_best = false;
  }
  open_scratch();
}

void append_line(const FitScan& scan) {
  write_record(scratch_connection, kWholeRecord, scan.line0().view());
}

void finish_capture(FitScan& scan, const ScratchHeld& held) {
  if (!scan.scratch_holds_best) return;
  copy_best(scan.best_copy, held);
  ++scan.best_copies;
}

void remove_scratch(BestCopy how, Where where) {
  if (how == BestCopy::by_cp) {
    // How it ends is not examined: a scratch file left behind loses nothing.
    TextField<64> command{kRemoveScratchCommand};
    (void)run_shell_command(command.view(), where);
    return;
  }
  flush_all_connections(where);
  (void)::unlinkat(run_folder_descriptor(), WEXLA_SCRATCH_FILE, 0);
}

}  // namespace wexla
