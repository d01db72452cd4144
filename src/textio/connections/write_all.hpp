// The one loop that hands bytes to the system: partial writes go on where
// they stopped and interrupted ones are retried.
#pragma once

#include <cstddef>

namespace wexla {

// Writes every byte to `descriptor`. Returns 0 or the error number; a write
// that makes no progress gives EIO, since retrying it would never end.
int write_all(int descriptor, const char* data, std::size_t length);

}  // namespace wexla
