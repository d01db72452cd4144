// The chart of a run's fits as SVG: every fit's WSS by fit number as a
// point, the best WSS so far as a step line, the window from the best WSS
// to the count's bound as a band, the best fit marked and labelled, and
// the fits whose WSS is not finite as marks on the top edge. Written from
// the fit stream (two readings of it), so that it takes little memory
// however many fits there are. The SVG carries its plot area and its axes'
// spans as data- attributes, so that a reader can place every point again.
#pragma once

#include <cstddef>
#include <string>

#include "documents/document_out.hpp"
#include "documents/run_description.hpp"
#include "scan/fit_recorder.hpp"

namespace wexla {

// What the chart will show: how many fits, how many of them finite.
struct ChartCount {
  std::size_t fits = 0;
  std::size_t finite = 0;
  float smallest = 0.0f;  // of the finite WSS values
  float largest = 0.0f;
};
ChartCount count_for_chart(const FitRecorder& fits);

// Why there is no chart, or empty when there is one: "No fit was found",
// "No fit has a finite WSS".
std::string no_chart_reason(const ChartCount& count);

// The chart itself, an <svg> element; `standalone` adds the XML namespace
// and a background of its own, for a file that stands alone.
void write_run_chart(DocumentOut& out, const RunDescription& run, const FitRecorder& fits,
                     bool standalone);

// The WSS as the screen's field shows it, its blanks removed ("1432.87",
// "0.100000E+31", "NaN").
std::string screen_wss_text(float wss);

// The percentage as the count line's field shows it, its blanks removed.
std::string screen_percent_text(float percent);

}  // namespace wexla
