// The best fit's whole section: every line goes to the scratch file, which
// restarts at each new section; a section holding the best WSS so far is
// copied to BEST.OUT before the restart (or at the end), by `cp` or, in a
// batch run, in process. A copy that fails ends the run as a run-time
// failure.
#pragma once

#include <cstdint>

#include "scan/fit_scan.hpp"
#include "textio/ending/where.hpp"

namespace wexla {

// Opens "temp.OUT" on the scratch connection, as a file that may exist,
// and refuses it when it has another name elsewhere unless `names_later`
// (the set-up asks once every file is open).
void open_scratch(bool names_later = false);

// At scan set-up, once the scratch and the summary file are open: refuses
// a BEST.OUT that is one of the run's other files or standard streams.
void check_best_name();

// The scratch file once closed: the bytes it holds (everything written
// since it was opened, the first write having cut what was there before)
// and, for a copy made in process, a descriptor to read them from.
// It owns the descriptor, which is closed however the run goes on.
struct ScratchHeld {
  std::uint64_t size = 0;
  int reader = -1;       // open for reading, when asked for and it could be had
  int reader_error = 0;  // why not, when the system said

  ScratchHeld() = default;
  ScratchHeld(ScratchHeld&& other) noexcept
      : size(other.size), reader(other.reader), reader_error(other.reader_error) {
    other.reader = -1;
  }
  ScratchHeld(const ScratchHeld&) = delete;
  ScratchHeld& operator=(const ScratchHeld&) = delete;
  ~ScratchHeld();
};

// Closes the scratch file. With `keep_reader`, a descriptor of the file
// written is kept for reading: the connection's own, or, where the file
// could only be opened for writing, one opened without following a link
// and checked to be that file.
ScratchHeld close_scratch(bool keep_reader);

// Whether the copy that may be due needs to read the scratch file itself.
inline bool reader_needed(const FitScan& scan) {
  return scan.scratch_holds_best && scan.best_copy == BestCopy::in_process;
}

// At a section header not preceded two lines above by the closing
// statistics: close the scratch file, copy it when it holds the best fit,
// and open it afresh. The search for the header, made on every line, is
// inline; the rest is not.
void section_header_found(FitScan& scan, const ScanKeys& keys);
inline void section_header_step(FitScan& scan, const ScanKeys& keys) {
  if (string_index(scan.line0().view(), keys.section_header_key) != 0)
    section_header_found(scan, keys);
}

// Writes the line, exactly 80 characters, as one scratch record.
void append_line(const FitScan& scan);

// At the end of the scan, the scratch file closed: the last copy, when the
// best fit is still pending.
void finish_capture(FitScan& scan, const ScratchHeld& held);

// At the end of the run: "rm temp.OUT", or, where BEST.OUT is copied in
// process, the scratch file unlinked after the pending output is written.
void remove_scratch(BestCopy how, Where where = Where::current());

}  // namespace wexla
