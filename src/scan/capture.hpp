// The best fit's whole section: every line goes to the scratch file, which
// restarts at each new section; a section holding the best WSS so far is
// copied to BEST.OUT by `cp` before the restart (or at the end). A copy that
// fails ends the run as a run-time failure.
#pragma once

#include "scan/fit_scan.hpp"
#include "textio/connection_table.hpp"

namespace wexla {

// Opens "temp.OUT" on the scratch connection, as a file that may exist.
void open_scratch();

// At scan set-up: takes the lock on the folder, refusing the run when
// another run holds it, then opens the scratch file.
void start_capture();

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

// At the end of the scan: the last copy, when the best fit is still pending.
void finish_capture(FitScan& scan);

}  // namespace wexla
