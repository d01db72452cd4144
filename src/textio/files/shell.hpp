// Shell commands: all pending output is written first, so the program's
// text and the command's own output appear in order.
#pragma once

#include <string_view>

#include "textio/ending/where.hpp"

namespace wexla {

// How a shell command ended. The shell answers 127 when it cannot find the
// command and 126 when it cannot execute it; those, and a shell that could
// not be started at all, count as a command that did not run. A command
// ended by a signal shows either as the shell itself ended by it or, when
// the shell outlived the command, as the shell's status 128 plus the
// signal's number; both count as ended by that signal.
struct CommandOutcome {
  enum class Ending : unsigned char { not_run, exited, signalled };
  Ending ending = Ending::not_run;
  int value = 0;  // the exit status, or the number of the ending signal

  bool succeeded() const { return ending == Ending::exited && value == 0; }
};

// Runs `command` (trailing blanks removed) through the system's shell and
// waits for it. Callers that do not care how it ended may ignore the outcome.
CommandOutcome run_shell_command(std::string_view command, Where where = Where::current());

}  // namespace wexla
