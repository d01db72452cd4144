// One pass over a results file: a window of the last nine lines, the fit
// table on standard output, and the WSS of every fit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "textio/text_field.hpp"

namespace wexla {

struct SummaryWriter;

using Line = TextField<80>;

inline constexpr int dat_in = 10;  // the results file
inline constexpr int dat_ou = 11;  // the scratch file

struct FitScan {
  Line line;                     // the line just read
  std::array<Line, 9> window{};  // ring of line0 .. line8
  std::size_t newest = 0;        // where line0 stands in the ring
  TextField<40> key0{"FINAL OUTPUT FROM Kalvor"};
  TextField<40> key1{"MAE  ="};
  TextField<40> key2{"Model and Parameter Definition"};
  std::int32_t n = 1;      // number of the next fit
  float wssb = 1e30f;      // smallest WSS so far
  std::int32_t flag0 = 0;  // 1 while the scratch file holds the best fit's section
  float wss = 0.0f;        // WSS of the most recent fit
  std::vector<float> wssa; // WSS of fit 1, fit 2, ... in order

  // line0 is the line just read, line8 the one eight lines above it.
  const Line& line_at(std::size_t k) const { return window[(newest + 9 - k) % 9]; }
  void push_line();
};

// Opens the results file, the scratch file and the summary file, then reads
// the results file to its end. `dname` is the name as the operator gave it,
// for the message about a file that did not come from a normal fit.
void run_scan(std::string_view fname, std::string_view dname, FitScan& scan,
              SummaryWriter& summary);

}  // namespace wexla
