// The axes of the chart of a run's fits: the span of each axis from the
// values it shows, the choice of a logarithmic WSS axis, and round ticks.
// Pure arithmetic, so that tests can check every rule on its own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace wexla {

struct AxisTick {
  double value = 0.0;  // in the axis's own units (a WSS, or a fit number)
  std::string label;
};

struct Axis {
  bool log = false;  // the WSS axis is logarithmic
  double low = 0.0;  // the span shown, in the axis's units
  double high = 1.0;
  std::vector<AxisTick> ticks;
};

// The WSS axis for finite values from `smallest` to `largest`: logarithmic
// when every value is positive and the largest is more than 100 times the
// smallest; spanning the values padded by 5 % of their range (of the range
// of their logarithms on a log axis), or, for a single value, by 10 % of it
// on each side (1 when it is 0); ticks at 1, 2 or 5 times a power of ten,
// 4 to 8 of them, on a log axis at the powers of ten and, where fewer than
// 4 fit, at 2 and 5 times them.
Axis wss_axis(double smallest, double largest);

// The fit axis for fits 1 to `fits`: from 0.5 to `fits` + 0.5, with round
// ticks as on the WSS axis, at whole fit numbers.
Axis fit_axis(std::size_t fits);

// The label of a tick value: its decimals as the tick step needs them.
std::string tick_label(double value, double step);

}  // namespace wexla
