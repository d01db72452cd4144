// Start-up and operator dialogue: the banner, the results-file name (from
// argument 1 or the prompt, asked again until it exists), the percentage
// window (from argument 2 or the prompt) and the fit table's heading.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "textio/text/text_field.hpp"

namespace wexla {

struct RunSettings {
  std::int32_t arguments_left = 0;  // arguments after the program name; 0 once a name failed
  TextField<32> typed_name;         // the name as given or typed
  std::int32_t prefix_length = 0;   // length of the part of typed_name that goes into results_name
  TextField<32> results_name;       // the results file's name, ending in ".OUT"
  TextField<32> percent_argument;   // argument 2
  TextField<40> percent_record;     // in-memory record that argument 2 is read from
  float window_percent = 0.0f;      // percentage window above the best WSS
  // What a document may say of them: the results name once the run has
  // settled on it, the percentage once the dialogue is over.
  bool name_settled = false;
  bool percent_settled = false;
  // A batch run takes its results operand as given, of any length: a name
  // ending in ".OUT" as it stands, another derived as the dialogue derives
  // it, without the cut at 32 characters. Empty in other runs.
  std::string given_name;     // the operand, trailing blanks removed
  std::string given_results;  // the results file's name

  // The results file's name, and the name as given or typed, trimmed.
  std::string_view results() const {
    return given_results.empty() ? results_name.trimmed() : std::string_view(given_results);
  }
  std::string_view typed() const {
    return given_name.empty() ? typed_name.trimmed() : std::string_view(given_name);
  }
};

struct Following;

// Runs the whole dialogue; `args` are the command-line arguments after the
// program name. With `following`, a results file that does not exist yet
// is waited for (following.hpp) before it is said to be missing.
void run_dialogue(RunSettings& settings, std::span<char* const> args,
                  Following* following = nullptr);

// Exit status of a batch run whose results file does not exist (the BSD
// sysexits value for missing input).
inline constexpr int kExitNoResultsFile = 66;

// The dialogue of a batch run, which prompts for nothing: the banner, the
// name from operand 1, the percentage from operand 2 and the table heading.
// A results file that does not exist ends the run with status 66 and one
// line on standard error.
void run_batch_dialogue(RunSettings& settings, std::span<char* const> operands,
                        Following* following = nullptr);

// Whether `argument`, given as the percentage, reads as a number: its first
// 14 characters, as the dialogue reads them from its in-memory record.
bool percent_argument_reads(std::string_view argument);

// A batch run's results file from its operand (trailing blanks removed):
// the operand itself when it ends in ".OUT", else the part before the first
// "." of its last component (the whole operand when that component has no
// dot or begins with one) followed by ".OUT"; of any length.
std::string batch_results_name(std::string_view operand);

// results_name from typed_name: the part before the first "." of the name's
// last component, after its last "/" (the whole trimmed name when that
// component has no dot or begins with one), followed by ".OUT".
void derive_results_name(RunSettings& settings);

}  // namespace wexla
