// The end of a run: close the files, the last copy of the best section, the
// count of fits within the percentage window, the scratch file removed, the
// editor started on BEST.OUT, and the wait for Return (the last two not in
// a batch run).
#pragma once

#include <cstdint>
#include <span>

#include "app/dialogue.hpp"
#include "scan/fit_scan.hpp"

namespace wexla {

// The count's bound: (window_percent / 100 + 1) * best_wss, in single
// precision and in that order.
float window_threshold(float window_percent, float best_wss);

// Fits whose WSS lies strictly below (window_percent / 100 + 1) * best_wss, in single
// precision and in that order; a NaN is never counted.
std::int32_t count_within(std::span<const float> all_fit_wss, float window_percent, float best_wss);

void wrap_up(RunSettings& settings, FitScan& scan);

}  // namespace wexla
