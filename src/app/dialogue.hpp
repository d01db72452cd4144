// Start-up and operator dialogue: the banner, the results-file name (from
// argument 1 or the prompt, asked again until it exists), the percentage
// window (from argument 2 or the prompt) and the fit table's heading.
#pragma once

#include <cstdint>
#include <span>

#include "textio/text_field.hpp"

namespace wexla {

struct RunSettings {
  std::int32_t narg = 0;     // arguments after the program name; 0 once a name failed
  TextField<32> dname;       // the name as given or typed
  std::int32_t fn = 0;       // length of the part of dname that goes into fname
  TextField<32> fname;       // the results file's name, ending in ".OUT"
  bool exist = false;
  TextField<32> temp;        // argument 2
  TextField<40> int_file;    // in-memory record that argument 2 is read from
  float per = 0.0f;          // percentage window above the best WSS
};

// Runs the whole dialogue; `args` are the command-line arguments after the
// program name.
void run_dialogue(RunSettings& settings, std::span<char* const> args);

// fname from dname: the part before the first "." (the whole trimmed name
// when there is none or it comes first), followed by ".OUT".
void derive_fname(RunSettings& settings);

}  // namespace wexla
