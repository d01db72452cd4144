// One pass over a results file: a window of the last nine lines, the fit
// table on standard output, and the WSS of every fit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "textio/text/line_bytes.hpp"
#include "textio/text/text_field.hpp"

namespace wexla {

struct SummaryWriter;
struct FitRecorder;

using Line = TextField<80>;

// Exit status of a batch run that met a WSS field that is not a number (the
// BSD sysexits value for bad input data).
inline constexpr int kExitDataError = 65;

// The scan's own connections take numbers clear of the standard ones (5, 6
// and 0, made at start), so that a report names which file failed.
inline constexpr int results_connection = 10;  // the results file, read
inline constexpr int scratch_connection = 11;  // the scratch file, the section being read

// The window holds the line just read and the eight above it: the "Final
// WSS" line stands eight above a model heading, the closing statistics two
// above a section header that does not start a new section.
inline constexpr std::size_t kWindowLines = 9;
inline constexpr std::size_t kFitResultAbove = 8;
inline constexpr std::size_t kStatisticsAbove = 2;

// A WSS field that is not a number: the number of its "Final WSS" line in
// the results file, the fit's number and the field's text, blanks removed
// at both ends. `fit` is 0 while none was met.
struct DataError {
  std::uint64_t line = 0;
  std::int32_t fit = 0;
  std::string field;
};

// How BEST.OUT is copied from the scratch file: by the shell's cp, or in
// the program's own process (a batch run), replacing it whole.
enum class BestCopy : unsigned char { by_cp, in_process };

struct FitScan {
  // The line just read is line0 of the window: it is read straight into its
  // place in the ring.
  std::array<Line, kWindowLines> window{};  // ring of line0 .. line8
  std::size_t newest = 0;                   // where line0 stands in the ring
  TextField<40> section_header_key{"FINAL OUTPUT FROM Kalvor"};
  TextField<40> statistics_key{"MAE  ="};  // closing statistics: two lines below, no new section
  TextField<40> model_heading_key{"Model and Parameter Definition"};
  std::int32_t next_fit_number = 1;
  float best_wss = 1e30f;           // smallest WSS so far
  bool scratch_holds_best = false;  // the scratch file holds the best fit's section
  float fit_wss = 0.0f;             // WSS of the most recent fit
  std::vector<float> all_fit_wss;   // WSS of fit 1, fit 2, ... in order
  BestCopy best_copy = BestCopy::by_cp;
  // A WSS field that is not a number ends the run as a data error at once,
  // with one line of its own (batch runs); otherwise the read's failure
  // report ends it, and the data error is said in the documents.
  bool data_error_said_at_once = false;
  // Lines read so far, counted as the reader counts them (a line that a
  // lone carriage return ends counts one), and where a data error was met.
  std::uint64_t lines_read = 0;
  DataError data_error;
  std::int32_t best_copies = 0;  // copies made to BEST.OUT
  // The results file must be a file that stays whole while it is read: a
  // device is refused, and a file cut ahead of the reader or behind it ends
  // the run (batch runs).
  bool results_must_stay_whole = false;

  // line0 is the line just read, line8 the one eight lines above it.
  const Line& line_at(std::size_t k) const {
    return window[(newest + kWindowLines - k) % kWindowLines];
  }
  const Line& line0() const { return window[newest]; }
  // Where the next line is read: the place of line8, which the push turns
  // into line0, so that no line is copied within the window.
  Line& next_line() { return window[after(newest)]; }
  void push_line() { newest = after(newest); }
  static std::size_t after(std::size_t k) { return k + 1 == kWindowLines ? 0 : k + 1; }
};

// The keys as they are searched for, trailing blanks removed. They do not
// change during a scan, so they are trimmed once and not at every line.
struct ScanKeys {
  std::string_view section_header_key;
  std::string_view statistics_key;
  std::string_view model_heading_key;
  // A byte that both the header and the heading key hold, when there is one
  // ("P" for the program's keys): a line without it holds neither key.
  bool has_common = false;
  char common = 0;
};
ScanKeys trimmed_keys(const FitScan& scan);

// False when the line cannot hold the header or the heading key. Every line
// is searched for both keys; one search for their common byte spares most
// lines both searches.
// The scan's read finds `holds_common` in its one pass over the line.
inline bool may_hold_key(bool holds_common, const ScanKeys& keys) {
  return !keys.has_common || holds_common;
}
inline bool may_hold_key(const Line& line, const ScanKeys& keys) {
  return may_hold_key(holds_byte<Line::width>(line.chars.data(), keys.common), keys);
}

// Opens the results file, the scratch file and the summary file.
void open_scan(std::string_view results_name, FitScan& scan);

// Why scan_lines came back: the end of the data, or, while the results
// file is followed, nothing whole to read yet (it reads on when called
// again).
enum class ScanPause : unsigned char { end_of_data, no_data_yet };

// Reads the results file on, telling `recorder` every fit. `typed_name` is
// the name as the operator gave it, for the message about a file that did
// not come from a normal fit.
ScanPause scan_lines(std::string_view typed_name, FitScan& scan, SummaryWriter& summary,
                     FitRecorder& recorder);

// The whole results file, in one pass to its end.
inline void run_scan(std::string_view results_name, std::string_view typed_name, FitScan& scan,
                     SummaryWriter& summary, FitRecorder& recorder) {
  open_scan(results_name, scan);
  (void)scan_lines(typed_name, scan, summary, recorder);
}

// Ends the scan after the last line: closes the results file, the scratch
// file and the summary file, in the order they were opened, then makes the
// last copy of the best section when it is still due.
void finish_scan(FitScan& scan);

}  // namespace wexla
