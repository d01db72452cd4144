// The chart's axes: spans, the logarithmic choice, round ticks.
#include "documents/chart_axes.hpp"

#include <cmath>
#include <cstdio>

namespace wexla {
namespace {

constexpr int kFewestTicks = 4;
constexpr int kMostTicks = 8;

// The multiples of `step` within [low, high].
std::vector<double> multiples(double low, double high, double step) {
  std::vector<double> out;
  double first = std::ceil(low / step - 1e-9);
  for (double k = first; k * step <= high + step * 1e-9; k += 1.0) out.push_back(k * step);
  return out;
}

// Round ticks: the step of 1, 2 or 5 times a power of ten (at least
// `smallest_step`) that gives 4 to 8 ticks, the one nearest 6 where
// several do; the nearest count where none does.
Axis round_ticks(Axis axis, double smallest_step) {
  double range = axis.high - axis.low;
  double best_step = 0.0;
  int best_miss = 1 << 30;
  for (int power = static_cast<int>(std::floor(std::log10(range))) - 2;
       power <= static_cast<int>(std::floor(std::log10(range))) + 1; ++power) {
    for (double m : {1.0, 2.0, 5.0}) {
      double step = m * std::pow(10.0, power);
      if (step < smallest_step) continue;
      int count = static_cast<int>(multiples(axis.low, axis.high, step).size());
      int miss = count < kFewestTicks ? 100 + kFewestTicks - count
                 : count > kMostTicks ? 100 + count - kMostTicks
                                      : std::abs(count - 6);
      if (miss < best_miss) {
        best_miss = miss;
        best_step = step;
      }
    }
  }
  if (best_step == 0.0) best_step = smallest_step;
  for (double v : multiples(axis.low, axis.high, best_step))
    axis.ticks.push_back({v, tick_label(v, best_step)});
  return axis;
}

}  // namespace

std::string tick_label(double value, double step) {
  char text[64];
  if (value == 0.0) return "0";
  double magnitude = std::fabs(value);
  if (magnitude >= 1e6 || magnitude < 1e-4) {
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
  }
  int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

Axis wss_axis(double smallest, double largest) {
  Axis axis;
  axis.log = smallest > 0.0 && largest > 100.0 * smallest;
  if (axis.log) {
    double low = std::log10(smallest), high = std::log10(largest);
    double pad = 0.05 * (high - low);
    axis.low = std::pow(10.0, low - pad);
    axis.high = std::pow(10.0, high + pad);
    // Powers of ten, and 2 and 5 times them where fewer than 4 fit.
    for (int power = static_cast<int>(std::floor(low - pad));
         power <= static_cast<int>(std::ceil(high + pad)); ++power) {
      double v = std::pow(10.0, power);
      if (v >= axis.low && v <= axis.high) axis.ticks.push_back({v, tick_label(v, v)});
    }
    if (axis.ticks.size() < static_cast<std::size_t>(kFewestTicks)) {
      axis.ticks.clear();
      for (int power = static_cast<int>(std::floor(low - pad)) - 1;
           power <= static_cast<int>(std::ceil(high + pad)); ++power) {
        for (double m : {1.0, 2.0, 5.0}) {
          double v = m * std::pow(10.0, power);
          if (v >= axis.low && v <= axis.high)
            axis.ticks.push_back({v, tick_label(v, std::pow(10.0, power))});
        }
      }
    }
    return axis;
  }
  if (largest > smallest) {
    double pad = 0.05 * (largest - smallest);
    axis.low = smallest - pad;
    axis.high = largest + pad;
  } else {
    double pad = smallest == 0.0 ? 1.0 : 0.1 * std::fabs(smallest);
    axis.low = smallest - pad;
    axis.high = smallest + pad;
  }
  return round_ticks(axis, 0.0);
}

Axis fit_axis(std::size_t fits) {
  Axis axis;
  axis.low = 0.5;
  axis.high = static_cast<double>(fits) + 0.5;
  return round_ticks(axis, 1.0);
}

}  // namespace wexla
