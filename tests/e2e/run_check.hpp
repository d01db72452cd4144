// One run of the program and the checks most tests make of it: the exit
// status, the screen, the error stream (whole, or the failure report with
// other programs' messages before it) and what files hold afterwards.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "harness.hpp"

namespace e2e {

// A message of another program that an error stream must hold, checked by
// the parts every platform's tool or shell prints.
struct Said {
  std::string what;  // for the failure message
  std::function<bool(const std::string&)> found;
};

// Stand for what a name holds where it is not a file's content.
extern const std::string kAbsent;   // nothing stands under the name
extern const std::string kPresent;  // something does, whatever it holds

// What a run must show. The status is always checked; every other part
// only where it is given. Every member has an initializer, so that tests
// name only the parts they check: {.status = 2, .report = ...}.
struct Expect {
  int status = 0;
  std::optional<std::string> out{};  // the whole standard output
  // The end of the error stream as normalize_report leaves it. What stands
  // before it must hold every message of `said`, and be empty when there
  // are none; so without `said` this is the whole stream.
  std::optional<std::string> report{};
  std::vector<Said> said{};
  std::optional<std::string> err{};  // the whole error stream, as written
  // Files of the folder afterwards: name, and content, kAbsent or kPresent.
  std::vector<std::pair<std::string, std::string>> files{};
  std::string what{};  // names the case (a row of a table) in failure messages
};

// Runs the program in `box` and checks the run against `expect`; failures
// name the line of the call. The result is returned for the test's own
// further checks.
RunResult expect_run(const Sandbox& box, const std::vector<std::string>& args,
                     const RunOptions& options, const Expect& expect,
                     const char* file = __builtin_FILE(), int line = __builtin_LINE());
// The same with `input` as standard input and no other option.
RunResult expect_run(const Sandbox& box, const std::vector<std::string>& args,
                     const std::string& input, const Expect& expect,
                     const char* file = __builtin_FILE(), int line = __builtin_LINE());

// Checks a run made otherwise (by a helper, or held while another ran).
void check_run(const Sandbox& box, const RunResult& r, const Expect& expect,
               const char* file = __builtin_FILE(), int line = __builtin_LINE());

}  // namespace e2e
