#include "scan/capture.hpp"

#include "textio/record.hpp"
#include "textio/shell.hpp"

namespace wexla {
namespace {

const TextField<32> oname{"temp.OUT"};
const TextField<32> best_name{"BEST.OUT"};

// BEST.OUT is only ever written by this copy, so it always holds a whole
// section or is left as it was.
void copy_best() {
  TextField<64> scall{"cp temp.OUT BEST.OUT"};
  system_sub(scall.view());
}

}  // namespace

void open_scratch() {
  // Cutting the results file while it is being read would destroy it, and
  // so would copying a section over it.
  if (names_connected_file(dat_in, oname.view())) {
    fail_open(dat_ou, oname.trimmed(), "it is the results file being read", Where::current());
  }
  if (names_connected_file(dat_in, best_name.view())) {
    fail_open(dat_ou, best_name.trimmed(), "it is the results file being read", Where::current());
  }
  open_connection(dat_ou, oname.view(), OpenStatus::unknown);
}

void section_header_found(FitScan& scan, const ScanKeys& keys) {
  if (string_index(scan.line_at(2).view(), keys.statistics) != 0) return;
  close_connection(dat_ou);
  if (scan.flag0 == 1) {
    copy_best();
    scan.flag0 = 0;
  }
  open_scratch();
}

void append_line(const FitScan& scan) {
  write_record(dat_ou, kWholeRecord, scan.line0().view());
}

void finish_capture(FitScan& scan) {
  if (scan.flag0 == 1) copy_best();
}

}  // namespace wexla
