#include "scan/summary.hpp"

#include "scan/results_guard.hpp"
#include "textio/record.hpp"

namespace wexla {
namespace {

constexpr int kSummaryConnection = kStderrConnection;
const TextField<32> summary_file_name{"WexlaP.OUT"};
constexpr Format kHeading = WEXLA_FORMAT("(a,' (',i3.3,') WSS =',g14.6)");
constexpr Format kBlockLine = WEXLA_FORMAT("(a38)");

}  // namespace

void open_summary() {
  refuse_the_results_file(kSummaryConnection, summary_file_name.view());
  open_own_file(kSummaryConnection, summary_file_name.view());
}

void summary_write_step(SummaryWriter& summary, const Line& line, float fit_wss) {
  switch (summary.state) {
    case SummaryState::idle:
      return;
    case SummaryState::heading_due:
      write_record(kSummaryConnection, kHeading, line.trimmed(), summary.next_heading_number, fit_wss);
      ++summary.next_heading_number;
      summary.state = SummaryState::first_block_line;
      return;
    case SummaryState::parameter_lines:
      write_record(kSummaryConnection, kBlockLine, line.view());
      if (string_index(line.view(), ")") == 0) summary.state = SummaryState::idle;
      return;
    default:
      write_record(kSummaryConnection, kBlockLine, line.view());
      summary.state = static_cast<SummaryState>(static_cast<std::uint8_t>(summary.state) + 1);
      return;
  }
}

void close_summary() {
  close_connection(kSummaryConnection);
}

}  // namespace wexla
