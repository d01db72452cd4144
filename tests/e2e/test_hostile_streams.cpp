// Standard streams closed: standard input at every prompt, and every
// combination of closed streams at start that the single cases in the
// connections suite leave out.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"

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
    RunOptions options;
    options.close_stdin = true;
    RunResult r = box.run(c.args, options);
    EXPECT_EQ(r.status, 2) << c.what;
    EXPECT_EQ(r.out, banner() + c.screen) << c.what;
    EXPECT_EQ(normalize_report(r.err),
              report("dialogue.cpp (unit = 5, file = 'stdin')", host::error_text(EBADF)))
        << c.what;
    EXPECT_FALSE(box.exists("temp.OUT")) << c.what;
    EXPECT_FALSE(box.exists("WexlaP.OUT")) << c.what;
  }
}

TEST(HostileStreams, InputAndErrorClosedAtStart) {
  // The files take none of descriptors 0 to 2; the run is whole up to the
  // final read, whose report has nowhere to go.
  Sandbox box;
  std::string text = Results().section("12.5").text();
  box.write("run1.OUT", text);
  RunOptions options;
  options.close_stdin = true;
  options.close_stderr = true;
  RunResult r = box.run({"run1", "5"}, options);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + table_heading() + table_line(1, true, k12_5, k12_5) +
                       screen_tail("  5.00    ", 1));
  EXPECT_EQ(box.read("BEST.OUT"), records(text));
  EXPECT_EQ(box.read("WexlaP.OUT"),
            kModelHeading + " (001) WSS =" + k12_5 + "\n" + summary_block());
  EXPECT_FALSE(box.exists("temp.OUT"));
}

TEST(HostileStreams, OutputClosedWithOtherStreams) {
  // The banner cannot be written: the run ends before any file is opened.
  struct Closed {
    bool in, err;
  };
  for (Closed c : {Closed{false, true}, Closed{true, false}, Closed{true, true}}) {
    Sandbox box;
    box.write("run1.OUT", Results().section("12.5").text());
    RunOptions options;
    options.close_stdin = c.in;
    options.close_stdout = true;
    options.close_stderr = c.err;
    RunResult r = box.run({"run1", "5"}, options);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(
        normalize_report(r.err),
        c.err ? "" : report("dialogue.cpp (unit = 6, file = 'stdout')", host::error_text(EBADF)));
    EXPECT_FALSE(box.exists("temp.OUT"));
    EXPECT_FALSE(box.exists("WexlaP.OUT"));
  }
}

}  // namespace
}  // namespace e2e
