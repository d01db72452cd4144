// The answers to a command line that asks for no run: --help (or -h)
// prints the usage text, --version the version line, and a refused command
// line its one line on standard error.
#pragma once

#include "app/plan.hpp"

namespace wexla {

// Answers the plan's command line and gives the status to end with: 0 after
// the usage text or the version line, 64 after a refusal.
int answer_command_line(const RunPlan& plan);

}  // namespace wexla
