// What the documents say of the run as a whole, beside its fits (which the
// recorder holds): the results file, the percentage window, how the run
// ended and with which status.
#pragma once

#include <cstdint>
#include <string_view>

namespace wexla {

enum class RunOutcome : std::uint8_t { normal, not_a_normal_fit, failed };

struct RunDescription {
  std::string_view results;    // the results file's name, ending in ".OUT"; empty until known
  bool percent_known = false;  // the percentage window has been settled
  float percent = 0.0f;
  RunOutcome outcome = RunOutcome::normal;
  std::string_view error;  // for a failed run: why
  int status = 0;          // the exit status the run ends with
};

// The outcome's name in the documents: "normal", "not a normal fit", "failed".
const char* outcome_name(RunOutcome outcome);

}  // namespace wexla
