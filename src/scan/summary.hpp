// The parameter summary "WexlaP.OUT": for every fit a numbered heading with
// its WSS, then the first lines of its parameter block.
#pragma once

#include <cstdint>

#include "scan/fit_scan.hpp"
#include "textio/connection_table.hpp"

namespace wexla {

struct SummaryWriter {
  std::int32_t flag2 = 0;  // 0 idle, 1 heading due, 2-6 block lines
  std::int32_t inc = 1;    // number of the next heading
};

// Opens "WexlaP.OUT" on connection 0, which until now was standard error.
void open_summary();

// Writes the line to the summary when the state calls for it. Most lines
// find it idle, so that test is inline.
void summary_write_step(SummaryWriter& summary, const Line& line, float wss);
inline void summary_step(SummaryWriter& summary, const Line& line, float wss) {
  if (summary.flag2 != 0) summary_write_step(summary, line, wss);
}

void close_summary();

}  // namespace wexla
