// The bound of every number field: no width, and no count of digits or
// decimals, may exceed it. Fields are built in stack buffers of this size,
// and a number text read from a field is never longer.
#pragma once

namespace wexla {

inline constexpr int kNumberFieldLimit = 256;

}  // namespace wexla
