// Standard streams closed: standard input at every prompt, and every
// combination of standard streams closed at start.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

struct Prompt {
  const char* what;
  std::vector<std::string> args;
  std::string screen;  // the screen after the banner
};

TEST(HostileStreams, StandardInputClosedAtEveryPrompt) {
  const Prompt cases[] = {
      {"name prompt", {}, kNamePrompt},
      {"name asked again", {"gone", "5"}, missing("gone.OUT") + kNamePrompt},
      {"percentage prompt", {"run1"}, kPercentPrompt},
  };
  for (const Prompt& c : cases) {
    Sandbox box;
    box.write("run1.OUT", Results().section("12.5").text());
    expect_run(
        box, c.args, RunOptions{.close_stdin = true},
        {.status = 2,
         .out = banner() + c.screen,
         .report = report("dialogue.cpp (unit = 5, file = 'stdin')", host::error_text(EBADF)),
         .files = {{"temp.OUT", kAbsent}, {"WexlaP.OUT", kAbsent}},
         .what = c.what});
  }
}

struct Closed {
  const char* what;
  bool in, out, err;
  Expect expect;
};

TEST(HostileStreams, ClosedAtStart) {
  const std::string text = Results().section("12.5").text();
  // A run whole up to its final read: the files never take descriptors 0
  // to 2, and the last section is copied.
  const std::vector<std::pair<std::string, std::string>> whole = {
      {"BEST.OUT", records(text)},
      {"WexlaP.OUT", kModelHeading + " (001) WSS =" + k12_5 + "\n" + summary_block()},
      {"temp.OUT", kAbsent}};
  const std::string final_read =
      report("wrap_up.cpp (unit = 5, file = 'stdin')", host::error_text(EBADF));
  // Without standard output the banner cannot be written: the run ends
  // before any file is opened.
  const std::string no_screen =
      report("dialogue.cpp (unit = 6, file = 'stdout')", host::error_text(EBADF));
  const std::vector<std::pair<std::string, std::string>> no_files = {{"temp.OUT", kAbsent},
                                                                     {"WexlaP.OUT", kAbsent}};
  const Closed cases[] = {
      // Every file is complete; only the final read fails.
      {"input",
       true,
       false,
       false,
       {.status = 2, .out = one_fit_screen(), .report = final_read, .files = whole}},
      {"error", false, false, true, {.status = 0, .out = one_fit_screen(), .files = whole}},
      // The report of the final read has nowhere to go.
      {"input and error",
       true,
       false,
       true,
       {.status = 2, .out = one_fit_screen(), .report = "", .files = whole}},
      {"output",
       false,
       true,
       false,
       {.status = 2, .out = "", .report = no_screen, .files = no_files}},
      {"output and error",
       false,
       true,
       true,
       {.status = 2, .out = "", .report = "", .files = no_files}},
      {"input and output",
       true,
       true,
       false,
       {.status = 2, .out = "", .report = no_screen, .files = no_files}},
      {"all three", true, true, true, {.status = 2, .out = "", .report = "", .files = no_files}},
  };
  for (const Closed& c : cases) {
    Sandbox box;
    box.write("run1.OUT", text);
    Expect expect = c.expect;
    expect.what = c.what;
    // Only a run that reaches its final read with standard input open gets
    // the Return for it.
    std::string input = c.in || c.out ? "" : "\n";
    expect_run(
        box, {"run1", "5"},
        RunOptions{
            .input = input, .close_stdin = c.in, .close_stdout = c.out, .close_stderr = c.err},
        expect);
  }
}

}  // namespace
}  // namespace e2e
