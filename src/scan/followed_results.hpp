// The results file while it is followed: read through the gate that lets
// whole lines alone through, looked at between reads for growth, and ended
// as a cut file when it shrinks or another file takes its name (the
// fitting program started again).
#pragma once

#include <string_view>

#include "textio/connections/followed_input.hpp"

namespace wexla {

// Reads the open results file through `input` from now on. False for a
// file that is not a regular one: a FIFO already waits for its writer.
bool follow_results_file(FollowedInput& input);

// What a look at the followed file found.
enum class ResultsLook : unsigned char { unchanged, grown };

// Looks at the file under the descriptor and under its name: grown beyond
// what has been read, or not. A file now shorter than what was read, or one
// that another file has replaced under `results_name`, ends the run as a
// file cut while it was read.
ResultsLook look_at_followed_file(std::string_view results_name, const FollowedInput& input);

}  // namespace wexla
