// The whole program run in the test's own process, in a scratch folder,
// with its standard streams on files there and the system seam holding the
// test's stand-ins: for what a test can only show through the seam (the
// results file read in pieces, or cut while it is read).
#pragma once

#include <string>
#include <vector>

#include "scratch_folder.hpp"
#include "textio/connections/system_seam.hpp"

namespace wexla::testing_support {

struct InProcessRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `wexla ARGS` in `dir` with `input` on standard input and `seam` in
// the connection table; everything is given back afterwards.
InProcessRun run_in_process(const test_support::ScratchFolder& dir,
                            const std::vector<std::string>& args, const SystemSeam& seam,
                            const std::string& input = "");

}  // namespace wexla::testing_support
