#include "scan/summary.hpp"

#include "textio/record.hpp"

namespace wexla {
namespace {

constexpr int kSummaryUnit = kStderrConnection;
const TextField<32> pname{"WexlaP.OUT"};
constexpr Format kHeading = WEXLA_FORMAT("(a,' (',i3.3,') WSS =',g14.6)");
constexpr Format kBlockLine = WEXLA_FORMAT("(a38)");
// States 2 to 5 write the four lines after the heading; state 6 goes on
// while lines hold a ")" and ends with the first one that does not.
constexpr std::int32_t kLastState = 6;

}  // namespace

void open_summary() {
  // Cutting the results file while it is being read would destroy it.
  if (names_connected_file(dat_in, pname.view())) {
    fail_open(kSummaryUnit, pname.trimmed(), "it is the results file being read",
              Where::current());
  }
  open_connection(kSummaryUnit, pname.view(), OpenStatus::unknown);
}

void summary_write_step(SummaryWriter& summary, const Line& line, float wss) {
  switch (summary.flag2) {
    case 0:
      return;
    case 1:
      write_record(kSummaryUnit, kHeading, line.trimmed(), summary.inc, wss);
      ++summary.inc;
      summary.flag2 = 2;
      return;
    default:
      write_record(kSummaryUnit, kBlockLine, line.view());
      if (summary.flag2 < kLastState) {
        ++summary.flag2;
      } else if (string_index(line.view(), ")") == 0) {
        summary.flag2 = 0;
      }
      return;
  }
}

void close_summary() { close_connection(kSummaryUnit); }

}  // namespace wexla
