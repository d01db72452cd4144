// Ordered comparisons of single-precision values that raise the invalid
// operation flag when an operand is a NaN, as a hardware ordered compare
// does. Compilers may fold or reorder a plain `<`, so the flag is raised
// explicitly; the flags are reported when the run stops.
#pragma once

#include <cfenv>
#include <cmath>

namespace wexla {

inline bool less_signaling(float a, float b) {
  if (std::isnan(a) || std::isnan(b)) {
    std::feraiseexcept(FE_INVALID);
    return false;
  }
  return a < b;
}

inline bool less_equal_signaling(float a, float b) {
  if (std::isnan(a) || std::isnan(b)) {
    std::feraiseexcept(FE_INVALID);
    return false;
  }
  return a <= b;
}

}  // namespace wexla
