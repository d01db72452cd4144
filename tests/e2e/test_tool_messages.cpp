// The checks of other programs' messages: they must accept the wording of
// every platform's tools and still refuse a message about something else.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "robust_support.hpp"

namespace e2e {
namespace {

// An error stream, and whether the check must accept it.
struct Case {
  const char* what;
  std::string err;
  bool accepted;
};

TEST(ToolMessages, ToolReportedAcceptsEveryWordingOfTheSameFault) {
  const std::string denied = std::strerror(EACCES);
  const Case cases[] = {
      {"GNU", "cp: cannot create regular file 'BEST.OUT': " + denied + "\n", true},
      {"BSD", "cp: BEST.OUT: " + denied + "\n", true},
      {"BusyBox", "cp: can't create 'BEST.OUT': " + denied + "\n", true},
      {"started by path", "/bin/cp: cannot create regular file 'BEST.OUT': " + denied + "\n", true},
      {"among other lines", "first\ncp: BEST.OUT: " + denied + "\nlast\n", true},
      {"another file", "cp: temp.OUT: " + denied + "\n", false},
      {"another error", "cp: BEST.OUT: " + std::string(std::strerror(ENOSPC)) + "\n", false},
      {"another tool", "rm: BEST.OUT: " + denied + "\n", false},
      {"parts on different lines", "cp: BEST.OUT:\n" + denied + "\n", false},
      {"nothing", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tool_reported(c.err, "cp", "BEST.OUT", EACCES), c.accepted) << c.what;
  }
}

TEST(ToolMessages, ShellReportedMissingAcceptsEveryShell) {
  const Case cases[] = {
      {"dash", "sh: 1: cp: not found\n", true},
      {"bash", "sh: cp: command not found\n", true},
      {"zsh", "zsh:1: command not found: cp\n", true},
      {"another command", "sh: 1: rm: not found\n", false},
      {"found but failed", "cp: missing file operand\n", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shell_reported_missing(c.err, "cp"), c.accepted) << c.what;
  }
}

TEST(ToolMessages, ShellReportedNotRunNamesTheCommandAndTheError) {
  const std::string denied = std::strerror(EACCES);
  const Case cases[] = {
      {"dash", "sh: 1: cp: " + denied + "\n", true},
      {"bash", "sh: line 1: /x/bin/cp: " + denied + "\n", true},
      {"another command", "sh: 1: rm: " + denied + "\n", false},
      {"another error", "sh: 1: cp: " + std::string(std::strerror(ENOENT)) + "\n", false},
      {"nothing", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shell_reported_not_run(c.err, "cp", EACCES), c.accepted) << c.what;
  }
}

TEST(ToolMessages, AtMostASignalNoteAllowsOneLineNamingTheSignal) {
  const std::string term = ::strsignal(SIGTERM);
  const Case cases[] = {
      {"silence", "", true},
      {"the name alone", term + "\n", true},
      {"with the command", "sh: line 1: 42 " + term + "  cp temp.OUT BEST.OUT\n", true},
      {"another signal", std::string(::strsignal(SIGINT)) + "\n", false},
      {"a second line", term + "\nmore\n", false},
      {"no line end", term, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(at_most_a_signal_note(c.err, SIGTERM), c.accepted) << c.what;
  }
}

}  // namespace
}  // namespace e2e
