// Hostile names and arguments: empty, blank and extra words, names of 31,
// 32 and 300 characters, names made to look like shell commands, which must
// never reach the shell, and a results file that BEST.OUT would overwrite.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "harness.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

// The screen after the banner and the prompts of a run on one fit.
std::string fit_screen(const std::string& percent_field = "  5.00    ") {
  return table_heading() + table_line(1, true, k12_5, k12_5) + screen_tail(percent_field, 1);
}

struct Words {
  std::vector<std::string> args;
  std::string input;
  std::string screen;  // the screen after the banner
};

TEST(HostileArguments, EmptyBlankAndExtraWords) {
  const Words cases[] = {
      {{}, "run1\n5\n\n", kNamePrompt + kPercentPrompt + fit_screen()},
      // An empty or blank name is ".OUT"; after it the percentage is asked for.
      {{""}, "run1\n5\n\n", missing(".OUT") + kNamePrompt + kPercentPrompt + fit_screen()},
      {{"   ", "7"}, "run1\n5\n\n", missing(".OUT") + kNamePrompt + kPercentPrompt + fit_screen()},
      {{"run1"}, "5\n\n", kPercentPrompt + fit_screen()},
      // An empty or blank percentage reads as zero: the smallest window.
      {{"run1", ""}, "\n", fit_screen(" 0.100E-02")},
      {{"run1", "   "}, "\n", fit_screen(" 0.100E-02")},
      {{"run1", "5", "", "", ""}, "\n", fit_screen()},
      {{"run1", "5", "$(touch pwned)", "`touch pwned`", "; touch pwned"}, "\n", fit_screen()},
  };
  for (const Words& c : cases) {
    Sandbox box;
    log_commands(box);
    box.write("run1.OUT", Results().section("12.5").text());
    expect_run(box, c.args, RunOptions{.input = c.input, .path = box.path("bin").string()},
               {.out = banner() + c.screen,
                .err = "",
                .files = {{"commands.log", kFixedCommands}, {"pwned", kAbsent}},
                .what = std::to_string(c.args.size()) + " words"});
  }
}

struct LongName {
  const char* what;
  std::string given;  // argument 1, or the typed line
  std::string file;   // the results file it must find
};

std::vector<LongName> long_names() {
  const std::string a31 = "abcdefghijabcdefghijabcdefghija";
  const std::string a32 = a31 + "b";
  std::string a300;
  while (a300.size() < 300) a300 += "0123456789";
  std::string dot_late = a300;
  dot_late[100] = '.';
  return {
      {"31 characters", a31, a31 + "."},
      {"31 characters and a suffix", a31 + ".txt", a31 + "."},
      {"32 characters", a32, a32},
      {"300 characters", a300, a300.substr(0, 32)},
      {"300 characters, dot beyond 32", dot_late, a300.substr(0, 32)},
  };
}

TEST(HostileNames, LongNamesAsTheFirstArgument) {
  for (const LongName& c : long_names()) {
    Sandbox box;
    box.write(c.file, Results().section("12.5").text());
    expect_run(box, {c.given, "5"}, "\n", {.out = one_fit_screen(), .what = c.what});
  }
}

TEST(HostileNames, LongNamesTyped) {
  // The rest of a long line is skipped; the percentage comes from the next.
  for (const LongName& c : long_names()) {
    Sandbox box;
    box.write(c.file, Results().section("12.5").text());
    expect_run(box, {}, c.given + "\n5\n\n",
               {.out = banner() + kNamePrompt + kPercentPrompt + fit_screen(), .what = c.what});
  }
}

TEST(HostileNames, MissingLongNameShowsTheCutName) {
  std::string a300(300, 'z');
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  expect_run(box, {a300, "5"}, "run1\n5\n\n",
             {.out = banner() + missing(std::string(32, 'z')) + kNamePrompt + kPercentPrompt +
                     fit_screen()});
}

TEST(HostileNames, MegabyteNameLine) {
  Sandbox box;
  box.write(std::string(32, 'n'), Results().section("12.5").text());
  expect_run(box, {}, std::string(1 << 20, 'n') + "\n5\n\n",
             {.out = banner() + kNamePrompt + kPercentPrompt + fit_screen()});
}

const std::vector<std::string> kShellNames = {
    "my run",
    "it's",
    "say \"hi\"",
    "$(touch pwned)",
    "a;touch pwned",
    "`touch pwned`",
    "x&&touch pwned",
    "|touch pwned",
    "'; touch pwned; '",
    "$HOME",
    "*",
    "\\",
    ">pwned",
    "a\ttab",
};

TEST(HostileNames, ShellTextInNamesNeverReachesTheShell) {
  // PATH holds only the logging stand-ins: any other command the shell were
  // asked to run would fail with a message on standard error.
  for (bool typed : {false, true}) {
    for (const std::string& name : kShellNames) {
      Sandbox box;
      log_commands(box);
      std::string text = Results().section("12.5").text();
      box.write(name + ".OUT", text);
      std::string prompts = typed ? kNamePrompt + kPercentPrompt : "";
      expect_run(
          box, typed ? std::vector<std::string>{} : std::vector<std::string>{name, "5"},
          RunOptions{.input = typed ? name + "\n5\n\n" : "\n", .path = box.path("bin").string()},
          {.out = banner() + prompts + fit_screen(),
           .err = "",
           .files = {{"commands.log", kFixedCommands},
                     {"pwned", kAbsent},
                     {name + ".OUT", text},
                     {"BEST.OUT", records(text)}},
           .what = name});
    }
  }
}

TEST(HostileNames, ResultsFileThatIsBestIsRefused) {
  // Copying a section to BEST.OUT would overwrite the results file while it
  // is read; the run is refused before anything is written. The same file
  // may be reached as BEST, by a link, or BEST.OUT may link to it.
  struct Case {
    const char* what;
    const char* argument;
    void (*make)(const Sandbox& box);
  } cases[] = {
      {"named BEST", "BEST", [](const Sandbox&) {}},
      {"hard link to BEST.OUT", "run1",
       [](const Sandbox& box) {
         std::filesystem::create_hard_link(box.path("BEST.OUT"), box.path("run1.OUT"));
       }},
      {"BEST.OUT a symbolic link to it", "run1",
       [](const Sandbox& box) {
         std::filesystem::rename(box.path("BEST.OUT"), box.path("run1.OUT"));
         std::filesystem::create_symlink("run1.OUT", box.path("BEST.OUT"));
       }},
  };
  Results r;
  for (int i = 0; i < 40; ++i) r.section(std::to_string(50 - i));
  for (const Case& c : cases) {
    Sandbox box;
    box.write("BEST.OUT", r.text());
    box.write("WexlaP.OUT", "earlier summary\n");
    c.make(box);
    expect_run(box, {c.argument, "5"}, "\n",
               {.status = 2,
                .out = banner() + table_heading(),
                .report = report("capture.cpp (unit = 11)",
                                 "Cannot open file 'BEST.OUT': it is the results file being read"),
                .files = {{"BEST.OUT", r.text()},
                          {"WexlaP.OUT", "earlier summary\n"},
                          {"temp.OUT", kAbsent}},
                .what = c.what});
  }
}

TEST(HostileNames, ShellTextInTheStopMessageIsOnlyPrinted) {
  Sandbox box;
  log_commands(box);
  Results r;
  r.header().line(kModelHeading);
  box.write("$(touch pwned).OUT", r.text());
  // A stop runs no command.
  expect_run(box, {"$(touch pwned)", "5"}, RunOptions{.path = box.path("bin").string()},
             {.out = banner() + table_heading() +
                     " This file, $(touch pwned).OUT, does not appear to have resulted "
                     "from a normal fit\n\n",
              .files = {{"commands.log", kAbsent}, {"pwned", kAbsent}}});
}

}  // namespace
}  // namespace e2e
