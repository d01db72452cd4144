// What a run found, kept as plain data for the run's documents (JSON and
// CSV): the fits with their table values and parameter lines, the best fit,
// the count within the window and how the run ended. The scan fills it only
// when a document was asked for; a run without one never makes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wexla {

struct FitFacts {
  std::int32_t number = 0;
  float wss = 0.0f;
  float best_wss = 0.0f;  // the best WSS after this fit's update
  bool marked = false;    // its table line carries the "*"
  bool within = false;    // counted within the window (once the run has counted)
  std::string wss_text;   // the WSS field as read, blanks removed at both ends
  // The fit's lines as they went to the summary file (the block lines, not
  // the heading), trailing blanks removed.
  std::vector<std::string> parameters;
};

enum class RunOutcome : std::uint8_t { normal, not_a_normal_fit, failed };

struct RunFacts {
  std::string results;         // the results file's name, ending in ".OUT"; empty until known
  bool percent_known = false;  // the percentage window has been settled
  float percent = 0.0f;
  std::vector<FitFacts> fits;
  std::int32_t best_fit = 0;  // number of the fit that holds the best WSS; 0 when none does
  bool counted = false;       // the count within the window was made
  std::int32_t within_count = 0;
  RunOutcome outcome = RunOutcome::normal;
  std::string error;  // for a failed run: the report's reason text
  int status = 0;     // the exit status the run ends with
};

}  // namespace wexla
