// Runs the built wexla binary in a scratch folder with given arguments and
// standard input, and captures everything it leaves behind.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "scratch_folder.hpp"

namespace e2e {

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;  // standard output
  std::string err;  // standard error
};

// Every member has an initializer, so that tests may name only the options
// they set: RunOptions{.input = "\n", .as_nobody = true}.
struct RunOptions {
  std::string input{};                     // standard input, then end of file
  bool close_stdin = false;                // start with descriptor 0 closed
  bool close_stdout = false;               // start with descriptor 1 closed
  bool stdout_reader_gone = false;         // standard output a pipe nobody reads
  bool close_stderr = false;               // start with descriptor 2 closed
  bool stdout_to_file = false;             // standard output to the regular file `stdout_name`
  std::string stdout_name = "stdout.txt";  // a file of the folder, made anew as `>` makes it
  bool stderr_to_stdout = false;           // standard error shares standard output's open file
  std::string stderr_file{};               // standard error appended to this file of the folder
  // Meet file permissions as an ordinary user does. Run by an ordinary user
  // the run is started as it is; run by root it is started as nobody
  // through setpriv. Tests that set it begin with
  // SKIP_WHEN(why_permissions_do_not_bite()).
  bool as_nobody = false;
  std::string path{};  // PATH; empty means the folder's bin first, then the system's
  unsigned umask_value = 022;
  // Standard input is held back until standard output shows this text;
  // then `meanwhile` runs and the input follows.
  std::string wait_for{};
  std::function<void()> meanwhile{};
  // Seconds after which the run is killed by SIGALRM (status 128 + 14), so
  // that a run that hangs fails its test instead of stalling it; 0: none.
  unsigned time_limit = 0;
  // Largest size, in bytes, a file may reach through the run's writes (and
  // its commands'); a write beyond it fails as on a full device. 0: none.
  unsigned long file_size_limit = 0;
};

// Empty when a run with `as_nobody` meets file permissions; otherwise why
// it cannot (root, or a user whose privileges override permissions, on a
// machine without setpriv).
std::string why_permissions_do_not_bite();

// Every run finds its own process id in this environment variable, so that
// a command stand-in can signal or inspect the wexla process above it.
inline constexpr const char* kWexlaPidVariable = "E2E_WEXLA_PID";

// A fresh folder under the system's temporary folder, removed afterwards.
// It holds a fake `bbedit` in bin/ that records its arguments in
// bbedit.args and a copy of BEST.OUT (as it is when it runs) in
// bbedit.BEST, and prints "bbedit ran" on standard output.
class Sandbox {
 public:
  Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::filesystem::path& dir() const { return folder_.dir(); }
  std::filesystem::path path(const std::string& name) const { return folder_.path(name); }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  void write_script(const std::string& name, const std::string& body) const;

  RunResult run(const std::vector<std::string>& args, const RunOptions& options = {}) const;
  RunResult run(const std::vector<std::string>& args, const std::string& input) const;

 private:
  test_support::ScratchFolder folder_{"wexla-e2e"};
};

// Lines of the fixed texts, for building expected screens.
std::string banner();
std::string table_heading();
extern const std::string kNamePrompt;     // "Enter the OUT file name "
extern const std::string kPercentPrompt;  // line end, "Enter percent from Best WWW "
// The message of a name that does not exist, with its line ends.
std::string missing(const std::string& name);
// A fit table line: " The WSS(  n*) is " with the two 14-character fields.
std::string table_line(int n, bool marked, const std::string& wss_text, const std::string& best);
// The screen after the table: count line, the fake editor's line, the final prompt.
std::string screen_tail(const std::string& percent_field, int count);

// The g14.6 fields of the WSS values the suites use most.
inline const std::string k12_5 = "   12.5000    ";
inline const std::string k20_25 = "   20.2500    ";
// The whole screen of a run given its name and percentage, with the usual
// editor stand-in: on a file of one fit of 12.5, and on one without fits.
std::string one_fit_screen(const std::string& percent_field = "  5.00    ");
std::string no_fit_screen(const std::string& percent_field = "  5.00    ");

// The failure report's first two lines, with the line number left out:
// e.g. "At line # of file dialogue.cpp (unit = 5, file = 'stdin')\n...".
// Replaces every "At line <digits>" in `err` with "At line #" and drops the
// backtrace frames after "Error termination. Backtrace:".
std::string normalize_report(const std::string& err);

// A whole report as normalize_report leaves it, from the locus line's tail
// ("dialogue.cpp (unit = 5, file = 'stdin')") and the reason.
std::string report(const std::string& locus, const std::string& reason);

}  // namespace e2e
