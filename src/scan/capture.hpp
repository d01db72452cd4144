// The best fit's whole section: every line goes to the scratch file, which
// restarts at each new section; a section holding the best WSS so far is
// copied to BEST.OUT by `cp` before the restart (or at the end). A copy that
// fails ends the run as a run-time failure.
#pragma once

#include <cstdint>

#include "scan/fit_scan.hpp"

namespace wexla {

// Opens "temp.OUT" on the scratch connection, as a file that may exist.
void open_scratch();

// At scan set-up, once the scratch and the summary file are open: refuses
// a BEST.OUT that is one of the run's other files or standard streams.
void check_best_name();

// Closes the scratch file and gives the bytes it holds: everything written
// since it was opened, the first write having cut what was there before.
std::uint64_t close_scratch();

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

// At the end of the scan, the scratch file closed holding `scratch_size`
// bytes: the last copy, when the best fit is still pending.
void finish_capture(FitScan& scan, std::uint64_t scratch_size);

}  // namespace wexla
