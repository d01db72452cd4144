// The parameter summary file: its opening and the state machine that
// writes a heading and the parameter lines of every fit.
#include "scan/summary.hpp"

#include "scan/fit_recorder.hpp"
#include "scan/results_guard.hpp"
#include "scan/run_files.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

constexpr int kSummaryConnection = summary_connection;
const TextField<32> summary_file_name{kSummaryFileName};
constexpr Format kHeading = WEXLA_FORMAT("(a,' (',i3.3,') WSS =',g14.6)");
constexpr Format kBlockLine = WEXLA_FORMAT("(a38)");
constexpr std::size_t kBlockWidth = 38;

// A block line, and the same for the recorder, as it went to the file.
void write_block_line(const Line& line, FitRecorder& recorder) {
  write_record(kSummaryConnection, kBlockLine, line.view());
  record_parameter_line(recorder, line.view().substr(0, kBlockWidth));
}

}  // namespace

void open_summary() {
  refuse_the_results_file(kSummaryConnection, summary_file_name.view());
  open_own_file(kSummaryConnection, summary_file_name.view());
}

void summary_write_step(SummaryWriter& summary, const Line& line, float fit_wss,
                        FitRecorder& recorder) {
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
      write_block_line(line, recorder);
      if (string_index(line.view(), ")") == 0) summary.state = SummaryState::idle;
      return;
    default:
      write_block_line(line, recorder);
      summary.state = static_cast<SummaryState>(static_cast<std::uint8_t>(summary.state) + 1);
      return;
  }
}

void close_summary() {
  close_connection(kSummaryConnection);
}

}  // namespace wexla
