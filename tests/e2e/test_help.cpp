// --help (or -h) and --version in front of the operands; the words after
// "--" or after the first operand are names and percentages, and a word
// that only looks like an option in front is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "../host_facilities.hpp"
#include "app/banner.hpp"
#include "harness.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

const std::string kVersionLine = WEXLA_NAME_AND_VERSION " (build " WEXLA_BUILD ")\n";
const std::string kUsageFirst = "Usage: wexla [OPTION]... [--] [RESULTS [PERCENT]]\n";
const std::string kUsageLast = " See wexla(1).\n";
const std::string kNoFits = "no fits in this file\n";

bool leaves_no_files(const Sandbox& box) {
  return !box.exists("temp.OUT") && !box.exists("WexlaP.OUT") && !box.exists("BEST.OUT") &&
         !box.exists("bbedit.args");
}

TEST(Help, VersionLineAndNothingElse) {
  Sandbox box;
  RunResult r = box.run({"--version"}, "answer that must not be read\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kVersionLine);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(leaves_no_files(box));
  // The version line and the banner name the same version.
  EXPECT_EQ(r.out.substr(0, 12), banner().substr(1, 12));
}

TEST(Help, UsageTextAndNothingElse) {
  Sandbox box;
  RunResult r = box.run({"--help"}, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  ASSERT_GE(r.out.size(), kUsageFirst.size() + kUsageLast.size());
  EXPECT_EQ(r.out.substr(0, kUsageFirst.size()), kUsageFirst);
  EXPECT_EQ(r.out.substr(r.out.size() - kUsageLast.size()), kUsageLast);
  for (const char* named :
       {"--help", "-h", "--version", "--batch", "--json=FILE", "--csv=FILE", "--html=FILE",
        "--svg=FILE", "BEST.OUT", "WexlaP.OUT", "bbedit", " 64 ", " 66 ", " 74 "}) {
    EXPECT_NE(r.out.find(named), std::string::npos) << named;
  }
  // A short text: it fits on one screen, each line within 80 characters.
  std::size_t lines = 0, start = 0;
  for (std::size_t nl; (nl = r.out.find('\n', start)) != std::string::npos; start = nl + 1) {
    ++lines;
    EXPECT_LE(nl - start, 80u) << r.out.substr(start, nl - start);
  }
  EXPECT_LE(lines, 24u);
  EXPECT_EQ(start, r.out.size()) << "the text ends with a line end";
  EXPECT_TRUE(leaves_no_files(box));
}

// The option decides even where a results file of that name exists.
TEST(Help, OnlyArgumentWinsOverAResultsFileOfThatName) {
  for (const char* option : {"--help", "-h", "--version"}) {
    Sandbox box;
    box.write(std::string(option) + ".OUT", kNoFits);
    RunResult r = box.run({option}, "\n");
    EXPECT_EQ(r.status, 0) << option;
    EXPECT_EQ(r.out.find(banner()), std::string::npos) << option;
    EXPECT_TRUE(leaves_no_files(box)) << option;
  }
}

// Standard output a regular file: the text reaches it when the run ends.
TEST(Help, TextReachesARegularFile) {
  Sandbox box;
  RunOptions options;
  options.stdout_to_file = true;
  RunResult r = box.run({"--version"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(box.read("stdout.txt"), kVersionLine);
  r = box.run({"--help"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(box.read("stdout.txt").substr(0, kUsageFirst.size()), kUsageFirst);
}

// A text that cannot be written is a failure, not a silent success.
TEST(Help, ClosedStandardOutputFails) {
  for (const char* option : {"--help", "--version"}) {
    Sandbox box;
    RunOptions options;
    options.close_stdout = true;
    RunResult r = box.run({option}, options);
    EXPECT_EQ(r.status, 2) << option;
    EXPECT_NE(r.err.find("(unit = 6, file = 'stdout')\nWexla run-time error: " +
                         host::error_text(EBADF) + "\n"),
              std::string::npos)
        << option << ": " << r.err;
  }
}

// After "--" the words are names: a results file "--help.OUT" (or
// "-h.OUT") exists, so each of these runs the whole job on it.
class HelpWordsAsNames : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(HelpWordsAsNames, RunTheJob) {
  Sandbox box;
  box.write("--help.OUT", kNoFits);
  box.write("--version.OUT", kNoFits);
  box.write("-h.OUT", kNoFits);
  expect_run(box, GetParam(), "\n", {.out = no_fit_screen(), .err = ""});
}

INSTANTIATE_TEST_SUITE_P(Arguments, HelpWordsAsNames,
                         testing::Values(std::vector<std::string>{"--", "--help", "5"},
                                         std::vector<std::string>{"--", "--version", "5"},
                                         std::vector<std::string>{"--", "-h", "5"},
                                         std::vector<std::string>{"--", "--help.OUT", "5"},
                                         // Words after the first operand beyond the
                                         // percentage are ignored, as always.
                                         std::vector<std::string>{"--", "--help", "5",
                                                                  "--version"}));

// Help, then the version, win over every other argument, even a refused one.
class HelpWithOthers : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(HelpWithOthers, PrintsTheTextAndEnds) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run(GetParam(), "\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto& args = GetParam();
  bool help = std::find(args.begin(), args.end(), "--help") != args.end() ||
              std::find(args.begin(), args.end(), "-h") != args.end();
  if (help) {
    EXPECT_EQ(r.out.substr(0, kUsageFirst.size()), kUsageFirst);
  } else {
    EXPECT_EQ(r.out, kVersionLine);
  }
  EXPECT_TRUE(leaves_no_files(box));
  EXPECT_FALSE(box.exists("run.json"));
}

INSTANTIATE_TEST_SUITE_P(Arguments, HelpWithOthers,
                         testing::Values(std::vector<std::string>{"--batch", "--help", "run1", "5"},
                                         std::vector<std::string>{"--json=run.json", "-h"},
                                         std::vector<std::string>{"--help", "--version"},
                                         std::vector<std::string>{"--version", "-h"},
                                         std::vector<std::string>{"--jsn", "--help"},
                                         std::vector<std::string>{"--help", "run1", "--batch"},
                                         std::vector<std::string>{"--version", "--batch", "run1",
                                                                  "5"}));

// Single arguments that only look like the options, without the two
// dashes, are names; none of these files exists, so the name is asked for.
class NearMisses : public testing::TestWithParam<const char*> {};

TEST_P(NearMisses, AreNamesThatDoNotExist) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  std::string arg = GetParam();
  RunResult r = box.run({arg}, "run1\n5\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  std::string derived = arg.substr(0, arg.find('.')) + ".OUT";
  EXPECT_EQ(r.out.substr(0, banner().size()), banner());
  EXPECT_NE(r.out.find("\nThis .OUT file (" + derived +
                       ") does not exist in this directory\n\n"
                       "Enter the OUT file name "),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Usage:"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Arguments, NearMisses,
                         testing::Values("-help", "-v", "-V", "help", "-", "-hh", "-H"));

// Typed at the name prompt, the words are names too.
TEST(Help, TypedAtThePromptIsAName) {
  Sandbox box;
  box.write("--help.OUT", kNoFits);
  expect_run(box, {}, "--help\n5\n\n",
             {.out = banner() + kNamePrompt + kPercentPrompt + table_heading() +
                     screen_tail("  5.00    ", 0)});
}

// After "--", --version as the second argument is a percentage, and not a
// number.
TEST(Help, AsThePercentageIsABadNumber) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"--", "run1", "--version"}, "\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner());
  EXPECT_NE(r.err.find("Bad value during floating point read"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace e2e
