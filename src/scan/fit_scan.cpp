#include "scan/fit_scan.hpp"

#include "scan/capture.hpp"
#include "scan/summary.hpp"
#include "textio/fp_compare.hpp"
#include "textio/record.hpp"
#include "textio/stop.hpp"
#include "textio/units.hpp"

namespace wexla {
namespace {

constexpr Format kNotNormal = WEXLA_FORMAT(
    "(1x,'This file, ',a,                                        "
    "'.OUT, does not appear to have resulted from a normal fit',/)");
constexpr Format kWssField = WEXLA_FORMAT("(13x,g14.0)");
constexpr Format kMarkedLine = WEXLA_FORMAT("(1x,'The WSS(',i3,'*) is ',g14.6,',',g14.6)");
constexpr Format kPlainLine = WEXLA_FORMAT("(1x,'The WSS(',i3,' ) is ',g14.6,',',g14.6)");
constexpr std::string_view kFitResult = "Final WSS";

// A model heading ends a fit: its WSS stands on the "Final WSS" line eight
// lines above. Prints the fit's table line and stores the WSS.
void model_heading_step(FitScan& scan, SummaryWriter& summary, std::string_view dname) {
  if (string_index(scan.line.view(), scan.key2.trimmed()) == 0) return;
  const Line& line8 = scan.line_at(8);
  if (string_index(line8.view(), kFitResult) == 0) {
    write_record(kUnitStdout, kNotNormal, dname.substr(0, string_len_trim(dname)));
    stop_string();
  }
  summary.flag2 = 1;
  read_record(std::span<const char>(line8.chars), kWssField, scan.wss);
  if (less_signaling(scan.wss, scan.wssb)) {
    scan.wssb = scan.wss;
    scan.flag0 = 1;
    write_record(kUnitStdout, kMarkedLine, scan.n, scan.wss, scan.wssb);
  } else if (scan.flag0 != 1) {
    write_record(kUnitStdout, kPlainLine, scan.n, scan.wss, scan.wssb);
  } else {
    write_record(kUnitStdout, kMarkedLine, scan.n, scan.wss, scan.wssb);
  }
  scan.wssa.push_back(scan.wss);
  ++scan.n;
}

}  // namespace

void FitScan::push_line() {
  newest = (newest + 1) % window.size();
  window[newest] = line;
}

void run_scan(std::string_view fname, std::string_view dname, FitScan& scan,
              SummaryWriter& summary) {
  st_open(dat_in, fname, OpenStatus::old_file);
  open_scratch();
  open_summary();
  while (read_record_or_end(dat_in, kWholeRecord, scan.line.span())) {
    scan.push_line();
    section_header_step(scan);
    append_line(scan);
    model_heading_step(scan, summary, dname);
    summary_step(summary, scan.line, scan.wss);
  }
}

}  // namespace wexla
