// The parameter summary "WexlaP.OUT": for every fit a numbered heading with
// its WSS, then the first lines of its parameter block.
#pragma once

#include <cstdint>

#include "scan/fit_scan.hpp"
#include "textio/connections/standard_connections.hpp"

namespace wexla {

// What the line now being handled means for the summary. The model-heading
// step makes a heading due; the four lines after the heading are always
// written, then parameter lines go on while they hold a ")" and end with
// the first one that does not.
enum class SummaryState : std::uint8_t {
  idle,
  heading_due,
  first_block_line,
  second_block_line,
  third_block_line,
  fourth_block_line,
  parameter_lines,
};

struct SummaryWriter {
  SummaryState state = SummaryState::idle;
  std::int32_t next_heading_number = 1;
};

// The summary takes connection 0 over from standard error, so that its
// reports name no connection.
inline constexpr int summary_connection = kStderrConnection;

// Opens "WexlaP.OUT" on connection 0, which until now was standard error.
void open_summary();

// Writes the line to the summary when the state calls for it, and tells
// `recorder` each block line. Most lines find it idle, so that test is
// inline.
void summary_write_step(SummaryWriter& summary, const Line& line, float fit_wss,
                        FitRecorder& recorder);
inline void summary_step(SummaryWriter& summary, const Line& line, float fit_wss,
                         FitRecorder& recorder) {
  if (summary.state != SummaryState::idle) summary_write_step(summary, line, fit_wss, recorder);
}

void close_summary();

}  // namespace wexla
