// The end of a run: close the files, the last copy of the best section, the
// count of fits within the percentage window, the scratch file removed, the
// editor started on BEST.OUT, and the wait for Return.
#pragma once

#include <cstdint>
#include <span>

#include "app/dialogue.hpp"
#include "scan/fit_scan.hpp"

namespace wexla {

// Fits whose WSS lies strictly below (per / 100 + 1) * wssb, in single
// precision and in that order; a NaN is never counted.
std::int32_t count_within(std::span<const float> wss, float per, float wssb);

void wrap_up(RunSettings& settings, FitScan& scan);

}  // namespace wexla
