// Shell commands: all pending output is written first, so the program's
// text and the command's own output appear in order.
#pragma once

#include <string_view>

#include "textio/connection_table.hpp"

namespace wexla {

// Runs `command` (trailing blanks removed) through the system's shell and
// waits for it; its result is ignored.
void system_sub(std::string_view command, Where where = Where::current());

}  // namespace wexla
