// An in-process stand-in for the shell commands of a run, for the
// whole-program fuzz check: it does to the files what `cp`, `rm` and
// `bbedit` would, without a shell, and logs every command for the check.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wexla::fuzz {

// How the copy that is told to fail fails.
enum class CopyFault : std::uint8_t {
  status_one,  // cp's status 1 (a copy it could not make); BEST.OUT untouched
  not_found,   // the shell's 127: cp could not be run
  killed,      // cp ended by SIGKILL
  short_copy,  // half of the bytes written, status 0
};

enum class Command : std::uint8_t { copy, remove, show, show_on_stderr, unknown };

inline constexpr std::size_t kMaxLoggedCommands = 64;

struct CommandLog {
  std::size_t count = 0;  // commands run, even past the ones logged
  Command commands[kMaxLoggedCommands];
  // The descriptor the screen goes to (1, or 2 when a document takes
  // standard output), and its size when each command ran: everything
  // written before the command must have been flushed by then.
  int screen_fd = 1;
  std::int64_t screen_size[kMaxLoggedCommands];
  // Which copy fails (1 the first; 0 none) and how.
  int failing_copy = 0;
  CopyFault fault = CopyFault::status_one;
};

// The one log, which the check empties before each run.
CommandLog& command_log();

// Runs `command` as the shell would and returns a wait status.
int stand_in_shell(const char* command);

}  // namespace wexla::fuzz
