// An in-process stand-in for the shell commands of a run, for the
// whole-program fuzz check: it does to the files what `cp`, `rm` and
// `bbedit` would, without a shell, and logs every command for the check.
// For a batch run, which copies BEST.OUT itself, it stands in for the
// copy's writes and its rename instead, and fails one of them as told.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wexla::fuzz {

// How the copy that is told to fail fails: by cp, or (in a batch run) in
// the program's own copy.
enum class CopyFault : std::uint8_t {
  status_one,  // cp's status 1; in process, the write fails with EIO
  not_found,   // the shell's 127: cp could not be run; in process, the rename fails with EIO
  killed,      // cp ended by SIGKILL; in process, the rename is refused (EPERM), so the copy
               // is written in place
  short_copy,  // half of the bytes written, status 0 (in process: the write says all)
};

// The error numbers the in-process faults give.
inline constexpr int kFailedWrite = 5;    // EIO
inline constexpr int kFailedRename = 5;   // EIO
inline constexpr int kRefusedRename = 1;  // EPERM

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
  // The calls of an in-process copy so far.
  int copy_writes = 0;
  int best_renames = 0;
};

// The one log, which the check empties before each run.
CommandLog& command_log();

// Runs `command` as the shell would and returns a wait status.
int stand_in_shell(const char* command);

// The writes and the rename of a copy made in process, failing as told.
int stand_in_copy_write(int descriptor, const char* data, std::size_t length);
int stand_in_rename(int folder, const char* from, const char* to);

}  // namespace wexla::fuzz
