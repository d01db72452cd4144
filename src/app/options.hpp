// The command line: options in front, then "--" or the first operand, then
// the operands (the results file and the percentage). Parsing is a pure
// function of the arguments, so that tests can call it in-process; nothing
// is read or written until it has accepted them.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace wexla {

// Exit status of a command line that is refused (the BSD sysexits value).
inline constexpr int kExitUsage = 64;

struct Options {
  bool help = false;                // --help or -h
  bool version = false;             // --version
  bool batch = false;               // --batch: no prompt, no editor, no final wait
  std::string_view json_file;       // --json=FILE; empty when not asked for
  std::string_view csv_file;        // --csv=FILE; empty when not asked for
  std::string_view html_file;       // --html=FILE
  std::string_view svg_file;        // --svg=FILE
  bool follow = false;              // --follow: read on as the results file grows
  std::string_view pid_text;        // --pid=PID, as given; empty when not asked for
  std::string_view idle_text;       // --idle=SECONDS, as given
  long pid = 0;                     // the process whose end ends following; 0 for none
  long idle_seconds = 0;            // how long the file may not grow before following ends
  std::span<char* const> operands;  // the arguments after the options
};

struct ParsedArguments {
  Options options;
  // Empty when the arguments are accepted; otherwise the one line (without
  // its line end) that says what is wrong and how to name such a file.
  std::string usage_error;
};

// Reads the options in front of the operands. An argument beginning with
// "--" before the first operand is an option ("--" alone ends them); "-h"
// there is --help. One beginning with "--" after an operand is refused, so
// that a misplaced option is never taken for a name or ignored. With
// --help or --version the other arguments are not examined further: help
// wins over everything, then the version.
ParsedArguments parse_arguments(std::span<char* const> arguments);

}  // namespace wexla
