// The scan's output files must never be the results file it is reading:
// cutting it, or copying a section over it, would destroy it mid-read.
#pragma once

#include <string_view>

#include "textio/ending/where.hpp"

namespace wexla {

// Refuses `name` for `connection` when a file of that name is the
// results file being read: the opening failure "Cannot open file '...': it
// is the results file being read", reported at `where`.
void refuse_the_results_file(int connection, std::string_view name, Where where = Where::current());

}  // namespace wexla
