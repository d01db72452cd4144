// Shell commands: the pending output of every connection written first,
// then the command run through the system's shell (or the stand-in a test
// put in the connection table), and how it ended read.
#include "textio/files/shell.hpp"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "textio/connections/connection.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/files/closing.hpp"
#include "textio/text/text_field.hpp"

namespace wexla {
namespace {

// The shell's own exit statuses: for a command it could not find or run,
// and, above 128, for a command ended by a signal (128 plus its number) when
// the shell waited for the command instead of becoming it.
constexpr int kShellNotExecutable = 126;
constexpr int kShellNotFound = 127;
constexpr int kShellSignalBase = 128;
constexpr int kHighestSignal = 64;

CommandOutcome outcome_of(int wait_status) {
  using Ending = CommandOutcome::Ending;
  if (wait_status == -1) return {Ending::not_run, 0};
  if (WIFSIGNALED(wait_status)) return {Ending::signalled, WTERMSIG(wait_status)};
  if (!WIFEXITED(wait_status)) return {Ending::not_run, 0};
  int status = WEXITSTATUS(wait_status);
  if (status == kShellNotFound || status == kShellNotExecutable) return {Ending::not_run, status};
  if (status > kShellSignalBase && status <= kShellSignalBase + kHighestSignal) {
    return {Ending::signalled, status - kShellSignalBase};
  }
  return {Ending::exited, status};
}

}  // namespace

CommandOutcome run_shell_command(std::string_view command, Where where) {
  char text[kMaxFileName + 1];
  std::size_t length = std::min(string_len_trim(command), kMaxFileName);
  std::memcpy(text, command.data(), length);
  text[length] = '\0';
  flush_all_connections(where);
  int (*stand_in)(const char*) = connection_table().system.run_command;
  return outcome_of(stand_in != nullptr ? stand_in(text) : std::system(text));
}

}  // namespace wexla
