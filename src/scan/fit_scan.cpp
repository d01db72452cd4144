#include "scan/fit_scan.hpp"

#include <cstring>

#include "scan/capture.hpp"
#include "scan/summary.hpp"
#include "textio/fp_compare.hpp"
#include "textio/record.hpp"
#include "textio/stop.hpp"
#include "textio/connection_table.hpp"

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
void model_heading_step(FitScan& scan, const ScanKeys& keys, SummaryWriter& summary,
                        std::string_view dname) {
  if (string_index(scan.line0().view(), keys.heading) == 0) return;
  const Line& line8 = scan.line_at(8);
  if (string_index(line8.view(), kFitResult) == 0) {
    write_record(kStdoutConnection, kNotNormal, dname.substr(0, string_len_trim(dname)));
    stop_run();
  }
  summary.flag2 = 1;
  read_record(std::span<const char>(line8.chars), kWssField, scan.wss);
  if (less_signaling(scan.wss, scan.wssb)) {
    scan.wssb = scan.wss;
    scan.flag0 = 1;
    write_record(kStdoutConnection, kMarkedLine, scan.n, scan.wss, scan.wssb);
  } else if (scan.flag0 != 1) {
    write_record(kStdoutConnection, kPlainLine, scan.n, scan.wss, scan.wssb);
  } else {
    write_record(kStdoutConnection, kMarkedLine, scan.n, scan.wss, scan.wssb);
  }
  scan.wssa.push_back(scan.wss);
  ++scan.n;
}

// Blanks, digits and lower-case letters fill most lines; other bytes make
// the better common byte.
bool is_common_in_text(char c) {
  return c == kBlank || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

}  // namespace

ScanKeys trimmed_keys(const FitScan& scan) {
  ScanKeys keys{scan.key0.trimmed(), scan.key1.trimmed(), scan.key2.trimmed()};
  // An empty key is found in every line, so then no line may be passed over.
  if (keys.header.empty() || keys.heading.empty()) return keys;
  for (bool rare_only : {true, false}) {
    for (char c : keys.header) {
      if (keys.heading.find(c) == std::string_view::npos) continue;
      if (rare_only && is_common_in_text(c)) continue;
      keys.has_common = true;
      keys.common = c;
      return keys;
    }
  }
  return keys;
}

bool may_hold_key(const Line& line, const ScanKeys& keys) {
  return !keys.has_common || std::memchr(line.chars.data(), keys.common, Line::width) != nullptr;
}

void run_scan(std::string_view fname, std::string_view dname, FitScan& scan,
              SummaryWriter& summary) {
  open_connection(dat_in, fname, OpenStatus::old_file);
  open_scratch();
  open_summary();
  const ScanKeys keys = trimmed_keys(scan);
  while (read_record_or_end(dat_in, kWholeRecord, scan.next_line().span())) {
    scan.push_line();
    const bool keyed = may_hold_key(scan.line0(), keys);
    if (keyed) section_header_step(scan, keys);
    append_line(scan);
    if (keyed) model_heading_step(scan, keys, summary, dname);
    summary_step(summary, scan.line0(), scan.wss);
  }
}

}  // namespace wexla
