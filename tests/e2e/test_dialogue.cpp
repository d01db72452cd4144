// The operator dialogue: banner, name and its derivation, the existence
// loop, the percentage, the table heading, and the end of input at prompts.
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

const std::string kNoFits = "no fits in this file\n";

// The screen of a run on a file without fits, with `prompts` between the
// banner and the table heading.
std::string screen(const std::string& prompts, const std::string& percent_field = "  5.00    ") {
  return banner() + prompts + table_heading() + screen_tail(percent_field, 0);
}

TEST(Dialogue, ArgumentsThatAskNothing) {
  const std::string name32 = "abcdefghijabcdefghijabcdefghijab";
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::string file;
  } cases[] = {
      {"both arguments give no prompt", {"run1", "5"}, "run1.OUT"},
      {"extra arguments are ignored", {"run1", "5", "x", "y", "z"}, "run1.OUT"},
      // 32 characters leave no room for any of ".OUT".
      {"a long first argument is cut before the dot is sought", {name32 + "xyz.OUT", "5"}, name32},
  };
  for (const auto& c : cases) {
    Sandbox box;
    box.write(c.file, kNoFits);
    expect_run(box, c.args, "\n", {.out = screen(""), .err = "", .what = c.what});
  }
}

// A readable test name from a case's text: its letters and digits.
std::string case_name(std::size_t index, const char* text) {
  std::string name = std::to_string(index) + "_";
  for (const char* c = text; *c; ++c) {
    if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
  }
  return name;
}

struct NameCase {
  const char* typed;
  const char* file;  // the name the run must find
};

void PrintTo(const NameCase& row, std::ostream* os) {
  *os << testing::PrintToString(row.typed);
}

class NameDerivation : public testing::TestWithParam<NameCase> {};

TEST_P(NameDerivation, TypedNameFindsItsFile) {
  Sandbox box;
  std::filesystem::create_directories(box.path("dir"));
  std::filesystem::create_directories(box.path("dir.v2"));
  box.write(GetParam().file, kNoFits);
  expect_run(box, {}, std::string(GetParam().typed) + "\n5\n\n",
             {.out = screen(kNamePrompt + kPercentPrompt)});
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameDerivation,
    testing::Values(NameCase{"run1", "run1.OUT"}, NameCase{"run1.OUT", "run1.OUT"},
                    NameCase{"run1.txt", "run1.OUT"}, NameCase{"run1.a.b", "run1.OUT"},
                    NameCase{"./run1", "run1.OUT"},
                    // Only the last component's first dot counts.
                    NameCase{"dir.v2/run1", "dir.v2/run1.OUT"},
                    NameCase{"dir.v2/run1.OUT", "dir.v2/run1.OUT"},
                    NameCase{"./run1.OUT", "run1.OUT"}, NameCase{"dir/../run1.txt", "run1.OUT"},
                    NameCase{"dir.v2/.hidden", "dir.v2/.hidden.OUT"},
                    NameCase{"my run", "my run.OUT"}, NameCase{"  lead", "  lead.OUT"},
                    NameCase{".OUT", ".OUT.OUT"},
                    // 30 characters leave room for ".O" only.
                    NameCase{"abcdefghijabcdefghijabcdefghij", "abcdefghijabcdefghijabcdefghij.O"},
                    NameCase{"abcdefghijabcdefghijabcdefghi", "abcdefghijabcdefghijabcdefghi.OU"},
                    NameCase{"abcdefghijabcdefghijabcdefgh", "abcdefghijabcdefghijabcdefgh.OUT"}),
    [](const testing::TestParamInfo<NameCase>& info) {
      return case_name(info.index, info.param.typed);
    });

TEST(Dialogue, MissingNamesAreAskedAgain) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  expect_run(box, {}, "nope\n\nrun1.txt\n5\n\n",
             {.out = screen(kNamePrompt + missing("nope.OUT") + kNamePrompt + missing(".OUT") +
                            kNamePrompt + kPercentPrompt)});
}

TEST(Dialogue, MissingFirstArgumentDiscardsTheSecond) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  expect_run(box, {"gone", "7"}, "run1\n5\n\n",
             {.out = screen(missing("gone.OUT") + kNamePrompt + kPercentPrompt)});
}

TEST(Dialogue, DirectoryPassesTheExistenceTest) {
  Sandbox box;
  std::filesystem::create_directories(box.path("folder.OUT"));
  expect_run(box, {"folder", "5"}, "",
             {.status = 2,
              .out = banner() + table_heading(),
              .report = report("fit_scan.cpp (unit = 10)",
                               "Cannot open file 'folder.OUT': " + host::error_text(EISDIR))});
}

struct PercentCase {
  const char* text;
  const char* field;  // the count line's g10.3 field
};

void PrintTo(const PercentCase& row, std::ostream* os) {
  *os << testing::PrintToString(row.text);
}

class PercentArgument : public testing::TestWithParam<PercentCase> {};

TEST_P(PercentArgument, ReadFromTheSecondArgument) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  expect_run(box, {"run1", GetParam().text}, "\n", {.out = screen("", GetParam().field)});
}

TEST_P(PercentArgument, ReadAtThePrompt) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  expect_run(box, {"run1"}, std::string(GetParam().text) + "\n\n",
             {.out = screen(kPercentPrompt, GetParam().field)});
}

INSTANTIATE_TEST_SUITE_P(
    Percentages, PercentArgument,
    testing::Values(PercentCase{"5", "  5.00    "}, PercentCase{"0", " 0.100E-02"},
                    PercentCase{"-5", " 0.100E-02"}, PercentCase{"-0", " 0.100E-02"},
                    PercentCase{"1.5e1", "  15.0    "}, PercentCase{"  1 2", "  12.0    "},
                    // Only the first 14 characters are read.
                    PercentCase{"12345678901234567", " 0.123E+14"},
                    PercentCase{"00000000000005x", "  5.00    "}, PercentCase{"nan", "       NaN"},
                    PercentCase{"-inf", " 0.100E-02"}, PercentCase{"inf", "  Infinity"},
                    PercentCase{"12.5", "  12.5    "},
                    // An empty answer or argument is the smallest window.
                    PercentCase{"", " 0.100E-02"}),
    [](const testing::TestParamInfo<PercentCase>& info) {
      return case_name(info.index, info.param.text);
    });

TEST(Dialogue, CommaEndsTheTypedPercentage) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  expect_run(box, {"run1"}, "1,5\n\n", {.out = screen(kPercentPrompt, "  1.00    ")});
}

TEST(Dialogue, BadPercentageArgumentFails) {
  for (const char* text : {"abc", "1,5", "1e", "5%"}) {
    Sandbox box;
    box.write("run1.OUT", kNoFits);
    expect_run(box, {"run1", text}, "\n",
               {.status = 2,
                .out = banner(),
                .report = report("dialogue.cpp", "Bad value during floating point read"),
                .what = text});
  }
}

TEST(Dialogue, BadTypedPercentageFails) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  expect_run(box, {"run1"}, "5-\n",
             {.status = 2,
              .out = banner() + kPercentPrompt,
              .report = report("dialogue.cpp (unit = 5, file = 'stdin')",
                               "Bad value during floating point read")});
}

const std::string kEndOfInput = report("dialogue.cpp (unit = 5, file = 'stdin')", "End of file");

TEST(Dialogue, EndOfInputAtTheNamePrompt) {
  Sandbox box;
  expect_run(box, {}, "", {.status = 2, .out = banner() + kNamePrompt, .report = kEndOfInput});
}

TEST(Dialogue, EndOfInputAfterAMissingName) {
  Sandbox box;
  expect_run(
      box, {"gone"}, "",
      {.status = 2, .out = banner() + missing("gone.OUT") + kNamePrompt, .report = kEndOfInput});
}

TEST(Dialogue, EndOfInputAtThePercentPrompt) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  expect_run(box, {"run1"}, "",
             {.status = 2, .out = banner() + kPercentPrompt, .report = kEndOfInput});
}

TEST(Dialogue, UnfinishedLineAtTheEndOfInputIsTheAnswer) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  // The final Return never comes.
  expect_run(box, {}, "run1\n5",
             {.status = 2,
              .out = screen(kNamePrompt + kPercentPrompt),
              .report = report("wrap_up.cpp (unit = 5, file = 'stdin')", "End of file")});
}

TEST(Dialogue, CarriageReturnLineEndsGiveTheSameAnswers) {
  for (const char* end : {"\r\n", "\r"}) {
    Sandbox box;
    box.write("run1.OUT", kNoFits);
    std::string input = std::string("run1") + end + "5" + end + end;
    expect_run(box, {}, input,
               {.out = screen(kNamePrompt + kPercentPrompt), .what = end[1] ? "CR LF" : "CR"});
  }
}

TEST(Dialogue, ReportNamesAStatementWithABacktrace) {
  Sandbox box;
  RunResult r = box.run({}, "");
  // The real line number of the read, and at least one frame of the program.
  EXPECT_TRUE(std::regex_search(r.err, std::regex("^At line [1-9][0-9]* of file dialogue.cpp")));
  EXPECT_NE(r.err.find("#0  0x"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("run_dialogue"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace e2e
