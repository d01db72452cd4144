// What the documents say of the run as a whole, beside its fits (which the
// recorder holds): the results file, the percentage window, how the run
// ended, with which status and why, and the files it wrote.
#pragma once

#include <cstdint>
#include <string_view>

namespace wexla {

enum class RunOutcome : std::uint8_t {
  normal,            // at least one fit, and the end
  no_fits,           // the end, without a fit
  not_a_normal_fit,  // the stop on a model heading without "Final WSS"
  data_error,        // a WSS field that is not a number
  no_results_file,   // a batch run's results file does not exist
  failed,            // any other run-time failure
  following,         // not ended: the results file is still being followed
};

// How following the results file ended, for a run that followed it: by the
// end of the process it waited for, by the file not growing, by a signal;
// `unsettled` while it goes on, or when the run ended first (a stop, a
// failure).
enum class Followed : std::uint8_t { not_followed, unsettled, pid, idle, signal };

// Where a data error stands: the "Final WSS" line's number in the results
// file, the fit's number and the field's text.
struct DataErrorPlace {
  std::uint64_t line = 0;
  std::int32_t fit = 0;
  std::string_view field;
};

struct RunDescription {
  std::string_view results;    // the results file's name, ending in ".OUT"; empty until known
  bool percent_known = false;  // the percentage window has been settled
  float percent = 0.0f;
  RunOutcome outcome = RunOutcome::normal;
  std::string_view error;     // why, for every outcome but normal
  DataErrorPlace data_error;  // for a data error
  int status = 0;             // the exit status the run ends with; none while following
  Followed followed = Followed::not_followed;
  bool wrote_best = false;     // this run wrote BEST.OUT
  bool wrote_summary = false;  // it wrote at least one record to WexlaP.OUT
};

// The outcome's name in the documents: "normal", "no fits", "not a normal
// fit", "data error", "no results file", "failed", "following".
const char* outcome_name(RunOutcome outcome);

}  // namespace wexla
