// The parameter summary file: its opening and the state machine that
// writes a heading and the parameter lines of every fit.
#include "scan/summary.hpp"

#include "scan/results_guard.hpp"
#include "scan/run_facts.hpp"
#include "scan/run_files.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

constexpr int kSummaryConnection = kStderrConnection;
const TextField<32> summary_file_name{kSummaryFileName};
constexpr Format kHeading = WEXLA_FORMAT("(a,' (',i3.3,') WSS =',g14.6)");
constexpr Format kBlockLine = WEXLA_FORMAT("(a38)");
constexpr std::size_t kBlockWidth = 38;

// A block line as it went to the summary file, trailing blanks removed.
void record_block_line(const SummaryWriter& summary, const Line& line) {
  if (summary.facts == nullptr || summary.facts->fits.empty()) return;
  std::string_view written = line.view().substr(0, kBlockWidth);
  summary.facts->fits.back().parameters.emplace_back(written.substr(0, string_len_trim(written)));
}

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
      write_record(kSummaryConnection, kHeading, line.trimmed(), summary.next_heading_number,
                   fit_wss);
      ++summary.next_heading_number;
      summary.state = SummaryState::first_block_line;
      return;
    case SummaryState::parameter_lines:
      write_record(kSummaryConnection, kBlockLine, line.view());
      record_block_line(summary, line);
      if (string_index(line.view(), ")") == 0) summary.state = SummaryState::idle;
      return;
    default:
      write_record(kSummaryConnection, kBlockLine, line.view());
      record_block_line(summary, line);
      summary.state = static_cast<SummaryState>(static_cast<std::uint8_t>(summary.state) + 1);
      return;
  }
}

void close_summary() {
  close_connection(kSummaryConnection);
}

}  // namespace wexla
