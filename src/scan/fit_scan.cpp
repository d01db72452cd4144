// The one pass over the results file: the line window, the fit table on
// standard output, and the passage of plain lines to the scratch file.
#include "scan/fit_scan.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "scan/capture.hpp"
#include "scan/fit_recorder.hpp"
#include "scan/summary.hpp"
#include "textio/connections/followed_input.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/ending/failure.hpp"
#include "textio/ending/stop.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/numbers/fp_compare.hpp"
#include "textio/numbers/read_real.hpp"
#include "textio/records/line_passage.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

// The line eight above a model heading that gives the fit its WSS.
constexpr std::string_view kFitResult = "Final WSS";
constexpr Format kWssField = WEXLA_FORMAT("(13x,g14.0)");
constexpr std::size_t kWssColumn = 13;  // the field the format reads, for a document
constexpr std::size_t kWssWidth = 14;
constexpr Format kMarkedLine = WEXLA_FORMAT("(1x,'The WSS(',i3,'*) is ',g14.6,',',g14.6)");
constexpr Format kPlainLine = WEXLA_FORMAT("(1x,'The WSS(',i3,' ) is ',g14.6,',',g14.6)");
constexpr Format kNotNormal = WEXLA_FORMAT(
    "(1x,'This file, ',a,                                        "
    "'.OUT, does not appear to have resulted from a normal fit',/)");

// The fit's WSS from characters 14 to 27 of its "Final WSS" line. A field
// that is not a number is a data error: the run ends at once with it, or
// (as the record statement has it) with the failure report, which is then
// taken for a data error.
void read_wss(FitScan& scan, const Line& line8) {
  std::string_view field = line8.view().substr(kWssColumn, kWssWidth);
  auto note = [&] {
    scan.data_error.line = scan.lines_read - kFitResultAbove;
    scan.data_error.fit = scan.next_fit_number;
    std::size_t first = field.find_first_not_of(kBlank);
    scan.data_error.field = first == std::string_view::npos
                                ? std::string()
                                : std::string(field.substr(first, string_len_trim(field) - first));
  };
  if (scan.data_error_said_at_once) {
    float value = 0.0f;
    if (!read_real_field(field, 0, value)) {
      note();
      throw run_end(RunEnd::Why::data_error, kExitDataError, {});
    }
  }
  try {
    read_record(std::span<const char>(line8.chars), kWssField, scan.fit_wss);
  } catch (RunEnd& end) {
    note();
    end.why = RunEnd::Why::data_error;
    throw;
  }
}

// A model heading ends a fit: its WSS stands on the "Final WSS" line eight
// lines above. Prints the fit's table line and stores the WSS.
void model_heading_step(FitScan& scan, const ScanKeys& keys, SummaryWriter& summary,
                        FitRecorder& recorder, std::string_view typed_name) {
  if (string_index(scan.line0().view(), keys.model_heading_key) == 0) return;
  const Line& line8 = scan.line_at(kFitResultAbove);
  if (string_index(line8.view(), kFitResult) == 0) {
    write_record(kStdoutConnection, kNotNormal, typed_name.substr(0, string_len_trim(typed_name)));
    stop_run();
  }
  summary.state = SummaryState::heading_due;
  read_wss(scan, line8);
  // A fit is marked while the scratch file holds the best section: a new
  // best, and any later fit of that same section.
  const bool new_best = less_signaling(scan.fit_wss, scan.best_wss);
  if (new_best) {
    scan.best_wss = scan.fit_wss;
    scan.scratch_holds_best = true;
  }
  write_record(kStdoutConnection, scan.scratch_holds_best ? kMarkedLine : kPlainLine,
               scan.next_fit_number, scan.fit_wss, scan.best_wss);
  record_fit(recorder, scan.next_fit_number, scan.fit_wss, scan.best_wss, scan.scratch_holds_best,
             new_best, line8.view().substr(kWssColumn, kWssWidth));
  scan.all_fit_wss.push_back(scan.fit_wss);
  ++scan.next_fit_number;
}

// Blanks, digits and lower-case letters fill most lines; other bytes make
// the better common byte.
bool is_common_in_text(char c) {
  return c == kBlank || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

// A line that cannot hold a key, read while the summary writer is idle, only
// goes on to the scratch file; such lines pass many at a time. The window
// then takes the last nine of them from where they were written. The line
// that stops the passage is left to the statements of the loop.
void pass_plain_lines(FitScan& scan, const ScanKeys& keys, const SummaryWriter& summary) {
  if (!keys.has_common || summary.state != SummaryState::idle) return;
  LinePassage passage = begin_line_passage(results_connection, scratch_connection);
  const std::size_t passed = pass_lines(passage, keys.common);
  scan.lines_read += passed;
  if (passed >= kWindowLines) {
    // The window becomes the last passed lines in order, the oldest first.
    for (std::size_t slot = 0; slot < kWindowLines; ++slot) {
      std::memcpy(scan.window[slot].chars.data(), passed_line(passage, kWindowLines - 1 - slot),
                  Line::width);
    }
    scan.newest = kWindowLines - 1;
  } else {
    for (std::size_t k = passed; k-- > 0;) {
      std::memcpy(scan.next_line().chars.data(), passed_line(passage, k), Line::width);
      scan.push_line();
    }
  }
  end_line_passage(passage);
}

// A device under the results name (also through a link) is no results
// file: /dev/urandom would be read for ever.
void refuse_a_device(std::string_view results_name) {
  const Connection* c = find_connection(results_connection);
  struct stat st {};
  if (c == nullptr || ::fstat(c->descriptor, &st) != 0) return;
  if (!S_ISCHR(st.st_mode) && !S_ISBLK(st.st_mode)) return;
  close_connection(results_connection);
  fail_open(results_connection, results_name.substr(0, string_len_trim(results_name)),
            "it is a device, not a results file");
}

// At the end of the data: a regular file now shorter than what was read, or
// than it was when it was opened, was cut while it was read; its last
// section would be a cut one.
void refuse_a_cut_file() {
  const Connection* c = find_connection(results_connection);
  struct stat st {};
  if (c == nullptr || !c->buffered || ::fstat(c->descriptor, &st) != 0) return;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (size < c->position || size < c->size_at_start)
    report_failure(Where::current(), c->ref(), "the results file was cut while it was read");
}

}  // namespace

ScanKeys trimmed_keys(const FitScan& scan) {
  ScanKeys keys{scan.section_header_key.trimmed(), scan.statistics_key.trimmed(),
                scan.model_heading_key.trimmed()};
  // An empty key is found in every line, so then no line may be passed over.
  if (keys.section_header_key.empty() || keys.model_heading_key.empty()) return keys;
  for (bool rare_only : {true, false}) {
    for (char c : keys.section_header_key) {
      if (keys.model_heading_key.find(c) == std::string_view::npos) continue;
      if (rare_only && is_common_in_text(c)) continue;
      keys.has_common = true;
      keys.common = c;
      return keys;
    }
  }
  return keys;
}

void open_scan(std::string_view results_name, FitScan& scan) {
  open_connection(results_connection, results_name, OpenStatus::old_file);
  if (scan.results_must_stay_whole) refuse_a_device(results_name);
  open_scratch(true);
  open_summary();
  check_best_name();
  // A hard link of the scratch or the summary file to a file elsewhere.
  refuse_other_names(scratch_connection);
  refuse_other_names(summary_connection);
}

ScanPause scan_lines(std::string_view typed_name, FitScan& scan, SummaryWriter& summary,
                     FitRecorder& recorder) {
  const ScanKeys keys = trimmed_keys(scan);
  while (true) {
    pass_plain_lines(scan, keys, summary);
    LineRead read = read_line_or_end(results_connection, scan.next_line().chars, keys.common);
    if (!read.got_line) {
      // A followed file has only come to the end of what is written so far.
      if (still_followed(results_connection)) {
        read_on(results_connection);
        return ScanPause::no_data_yet;
      }
      if (scan.results_must_stay_whole) refuse_a_cut_file();
      return ScanPause::end_of_data;
    }
    ++scan.lines_read;
    scan.push_line();
    const bool keyed = may_hold_key(read.holds_watched, keys);
    if (keyed) section_header_step(scan, keys);
    append_line(scan);
    if (keyed) model_heading_step(scan, keys, summary, recorder, typed_name);
    summary_step(summary, scan.line0(), scan.fit_wss, recorder);
  }
}

void finish_scan(FitScan& scan) {
  close_connection(results_connection);
  ScratchHeld held = close_scratch(reader_needed(scan));
  close_summary();
  finish_capture(scan, held);
}

}  // namespace wexla
