// Following a results file that the fitting program is still writing: the
// scan reads what is whole, then the run waits here and reads on as the
// file grows, until the process it waits for has ended, the file has not
// grown for a while, or a signal says to stop. While it waits, every
// connection is flushed and the documents are written again, at most once
// a second, with the count from the best WSS so far. Ending, it lets the
// last line through as it stands, and the run ends as at the end of a
// finished file.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string_view>

#include "app/dialogue.hpp"
#include "app/plan.hpp"
#include "documents/run_description.hpp"
#include "scan/fit_recorder.hpp"
#include "scan/fit_scan.hpp"
#include "scan/summary.hpp"
#include "textio/connections/followed_input.hpp"

namespace wexla {

using FollowClock = std::chrono::steady_clock;

struct Following {
  FollowRequest request;
  bool on = false;  // asked for, and not ended yet
  Followed ended_by = Followed::unsettled;
  FollowedInput input;  // the gate the results file is read through
  // Growth: the bytes read at the last look, and when the count last rose
  // (or following began, or the file appeared).
  std::uint64_t taken_at_last_look = 0;
  FollowClock::time_point last_growth{};
  // The documents written on the way: when, with how many fits, and whether
  // a rewrite that failed has been said.
  FollowClock::time_point documents_written{};
  std::int32_t fits_in_documents = 0;
  bool rewrite_failure_said = false;
  // The signals that stop following, caught while it waits, and what they
  // did before.
  bool catching = false;
  struct sigaction signals_before[3] = {};

  explicit Following(const FollowRequest& r);
  Following(const Following&) = delete;
  Following& operator=(const Following&) = delete;
  ~Following();
};

// Waits until `results_name` exists, while following; true when it does.
// When following ends first the file is as missing as without --follow.
bool wait_for_results_file(Following& f, std::string_view results_name);

// The scan of a followed results file, to its end: the files opened, then
// reading and waiting in turn until following ends and the rest is read.
// A file that is no regular file (a FIFO) is read as it is, to its end.
void follow_scan(Following& f, const RunPlan& plan, const RunSettings& settings, FitScan& scan,
                 SummaryWriter& summary, FitRecorder& recorder);

}  // namespace wexla
