// What the hostile-input and fault suites share: command stand-ins that log what the shell was
// asked to run, a FIFO writer, and the peak memory of a run.
#pragma once

#include <sys/types.h>

#include <string>

#include "harness.hpp"
#include "results_file.hpp"
#include "run_check.hpp"

namespace e2e {

// Two sections: the first (20.25) is copied when the second begins, the
// second (12.5, the best) at the end of the scan.
struct TwoSections {
  std::string first;
  std::string second;
  TwoSections();
  std::string text() const { return first + second; }
  // The fit table: heading and both lines, each fit the best so far.
  std::string table() const;
  // The whole screen of a run with percentage 5 and the usual editor stand-in.
  std::string screen() const;
  // The summary file of a whole run.
  std::string summary() const;
  // The summary file once the first fit is done.
  std::string first_summary() const;
};

// The three command texts a run may give the shell, as the stand-ins of
// `log_commands` log them.
extern const std::string kFixedCommands;

// Stand-ins in bin/ for cp, rm and bbedit that append "name arguments" to
// commands.log; cp and rm then do their work with /bin/cp and /bin/rm
// (rm only when `remove` is true, so that temp.OUT can be examined), and
// bbedit prints "bbedit ran". A `touch` stand-in logs its call and creates
// nothing, so a name that reached the shell shows in the log.
void log_commands(const Sandbox& box, bool remove = true);

// A process that holds the FIFO `path` open for reading and writing from
// the moment it is made (so the FIFO has a writer before the run starts),
// writes `text`, waits until a reader has taken all of it, and closes: the
// reader then meets the end of the data. With a delay it is a late writer
// instead: it opens the FIFO for writing only after `delay_ms`
// milliseconds, when the reader may already be waiting. It gives up after
// 40 seconds.
class FifoWriter {
 public:
  FifoWriter(const std::string& path, const std::string& text, unsigned delay_ms = 0);
  ~FifoWriter();
  FifoWriter(const FifoWriter&) = delete;
  FifoWriter& operator=(const FifoWriter&) = delete;
  // Waits for the process; true when everything written was read.
  bool all_read();

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// A process that holds the FIFO `path` open for reading from the moment it
// is made, and copies what a writer sends into the file `into`, until the
// writer closes it. It gives up after 40 seconds.
class FifoReader {
 public:
  FifoReader(const std::string& path, const std::string& into);
  ~FifoReader();
  FifoReader(const FifoReader&) = delete;
  FifoReader& operator=(const FifoReader&) = delete;
  // Waits for the process; true when a writer came and closed.
  bool done();

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// True when a line of `err` is a message of the command `tool` (GNU, BSD
// and BusyBox tools all put "tool:" in it) that names `file` and gives the C
// library's text for `code`. The rest of the wording differs between them.
bool tool_reported(const std::string& err, const std::string& tool, const std::string& file,
                   int code);

// True when a line of `err` is the shell's message that `command` was not
// found ("sh: 1: cp: not found", "sh: cp: command not found", ...).
bool shell_reported_missing(const std::string& err, const std::string& command);

// True when a line of `err` is the shell's message that it could not run
// `command`, giving the C library's text for `code` ("sh: 1: cp: Permission
// denied", "sh: line 1: /x/bin/cp: Permission denied", ...).
bool shell_reported_not_run(const std::string& err, const std::string& command, int code);

// True when `err` is empty or is one line, the shell's note that a command
// it waited for was ended by `signal` ("Terminated", "Terminated: 15", a
// line naming the command...). The note's presence and form vary by shell.
bool at_most_a_signal_note(const std::string& err, int signal);

// `tool` says that it met the C library's error `code` on `file`.
Said tool_said(const std::string& tool, const std::string& file, int code);

// The shell says that it found no `command`.
Said shell_said_missing(const std::string& command);

// Shell text that sends SIGINT to the wexla process above the stand-in, as
// an interrupt typed at the terminal reaches every process of the job.
extern const std::string kInterruptWexla;

// An editor stand-in that records the peak resident memory (VmHWM) of the
// wexla process that started it, in KiB, in peak.kib. The editor runs after
// the scan, so the peak covers the whole reading of the results file.
void record_peak_memory(const Sandbox& box);
// Empty when the peak can be recorded; otherwise why not (it is read from
// /proc, which macOS and the BSDs do not have).
std::string why_no_peak_memory();
// The recorded peak, or -1 when none was recorded.
long recorded_peak_kib(const Sandbox& box);

}  // namespace e2e
