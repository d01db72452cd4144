// The percentage window above the best WSS: its bound, which fits lie
// within it, and their count. The one place the rule is written; the count
// line and every document that shows a fit as within use it.
#pragma once

#include <cstdint>
#include <span>

namespace wexla {

// The count's bound: (window_percent / 100 + 1) * best_wss, in single
// precision and in that order.
inline float window_threshold(float window_percent, float best_wss) {
  float ratio = window_percent / 100.0f;
  float factor = ratio + 1.0f;
  return factor * best_wss;
}

// Strictly below the bound; a NaN, or a NaN bound, is never within.
inline bool within_window(float wss, float threshold) {
  return wss < threshold;
}

inline std::int32_t count_within(std::span<const float> all_fit_wss, float threshold) {
  std::int32_t count = 0;
  for (float value : all_fit_wss) {
    if (within_window(value, threshold)) ++count;
  }
  return count;
}

}  // namespace wexla
