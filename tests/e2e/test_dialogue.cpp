// The operator dialogue: banner, name and its derivation, the existence
// loop, the percentage, the table heading, and the end of input at prompts.
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <regex>
#include <string>

#include "../host_facilities.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

const std::string kHeading = "           n             WSS       Best WSS\n";
const std::string kNoFits = "no fits in this file\n";

// The screen of a run that found no fit, from the count line on.
std::string tail_without_fits(const std::string& percent_field) {
  return "\n WSS within " + percent_field +
         "% of best     0\nbbedit ran\n\n Press return to finish\n";
}

TEST(Dialogue, BothArgumentsGiveNoPrompt) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"run1", "5"}, "\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + kHeading + tail_without_fits("  5.00    "));
  EXPECT_EQ(r.err, "");
}

TEST(Dialogue, OneArgumentAsksOnlyForThePercentage) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"run1"}, "12.5\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + kPercentPrompt + kHeading + tail_without_fits("  12.5    "));
}

TEST(Dialogue, ExtraArgumentsAreIgnored) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"run1", "5", "x", "y", "z"}, "\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + kHeading + tail_without_fits("  5.00    "));
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

class NameDerivation : public testing::TestWithParam<NameCase> {};

TEST_P(NameDerivation, TypedNameFindsItsFile) {
  Sandbox box;
  std::filesystem::create_directories(box.path("dir"));
  std::filesystem::create_directories(box.path("dir.v2"));
  box.write(GetParam().file, kNoFits);
  RunResult r = box.run({}, std::string(GetParam().typed) + "\n5\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            banner() + kNamePrompt + kPercentPrompt + kHeading + tail_without_fits("  5.00    "));
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

TEST(Dialogue, LongFirstArgumentIsCutBeforeTheDotIsSought) {
  Sandbox box;
  std::string name32 = "abcdefghijabcdefghijabcdefghijab";
  box.write(name32, kNoFits);  // 32 characters, no room for any of ".OUT"
  RunResult r = box.run({name32 + "xyz.OUT", "5"}, "\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + kHeading + tail_without_fits("  5.00    "));
}

TEST(Dialogue, MissingNamesAreAskedAgain) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({}, "nope\n\nrun1.txt\n5\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + kNamePrompt + missing("nope.OUT") + kNamePrompt + missing(".OUT") +
                       kNamePrompt + kPercentPrompt + kHeading + tail_without_fits("  5.00    "));
}

TEST(Dialogue, MissingFirstArgumentDiscardsTheSecond) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"gone", "7"}, "run1\n5\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + missing("gone.OUT") + kNamePrompt + kPercentPrompt + kHeading +
                       tail_without_fits("  5.00    "));
}

TEST(Dialogue, DirectoryPassesTheExistenceTest) {
  Sandbox box;
  std::filesystem::create_directories(box.path("folder.OUT"));
  RunResult r = box.run({"folder", "5"}, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + kHeading);
  EXPECT_EQ(normalize_report(r.err),
            "At line # of file fit_scan.cpp (unit = 10)\n"
            "Wexla run-time error: Cannot open file 'folder.OUT': " +
                host::error_text(EISDIR) + "\n\nError termination. Backtrace:\n");
}

struct PercentCase {
  const char* text;
  const char* field;  // the count line's g10.3 field
};

class PercentArgument : public testing::TestWithParam<PercentCase> {};

TEST_P(PercentArgument, ReadFromTheSecondArgument) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"run1", GetParam().text}, "\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + kHeading + tail_without_fits(GetParam().field));
}

TEST_P(PercentArgument, ReadAtThePrompt) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"run1"}, std::string(GetParam().text) + "\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + kPercentPrompt + kHeading + tail_without_fits(GetParam().field));
}

INSTANTIATE_TEST_SUITE_P(
    Percentages, PercentArgument,
    testing::Values(PercentCase{"5", "  5.00    "}, PercentCase{"0", " 0.100E-02"},
                    PercentCase{"-5", " 0.100E-02"}, PercentCase{"-0", " 0.100E-02"},
                    PercentCase{"1.5e1", "  15.0    "}, PercentCase{"  1 2", "  12.0    "},
                    // Only the first 14 characters are read.
                    PercentCase{"12345678901234567", " 0.123E+14"},
                    PercentCase{"00000000000005x", "  5.00    "}, PercentCase{"nan", "       NaN"},
                    PercentCase{"-inf", " 0.100E-02"}, PercentCase{"inf", "  Infinity"}),
    [](const testing::TestParamInfo<PercentCase>& info) {
      return case_name(info.index, info.param.text);
    });

TEST(Dialogue, EmptyPercentAnswerBecomesTheSmallestWindow) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"run1"}, "\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + kPercentPrompt + kHeading + tail_without_fits(" 0.100E-02"));
}

TEST(Dialogue, CommaEndsTheTypedPercentage) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"run1"}, "1,5\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, banner() + kPercentPrompt + kHeading + tail_without_fits("  1.00    "));
}

TEST(Dialogue, BadPercentageArgumentFails) {
  for (const char* text : {"abc", "1,5", "1e", "5%"}) {
    Sandbox box;
    box.write("run1.OUT", kNoFits);
    RunResult r = box.run({"run1", text}, "\n");
    EXPECT_EQ(r.status, 2) << text;
    EXPECT_EQ(r.out, banner()) << text;
    EXPECT_EQ(normalize_report(r.err),
              "At line # of file dialogue.cpp\n"
              "Wexla run-time error: Bad value during floating point read\n\n"
              "Error termination. Backtrace:\n")
        << text;
  }
}

TEST(Dialogue, BadTypedPercentageFails) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"run1"}, "5-\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + kPercentPrompt);
  EXPECT_EQ(normalize_report(r.err),
            "At line # of file dialogue.cpp (unit = 5, file = 'stdin')\n"
            "Wexla run-time error: Bad value during floating point read\n\n"
            "Error termination. Backtrace:\n");
}

const std::string kEndOfInput =
    "At line # of file dialogue.cpp (unit = 5, file = 'stdin')\n"
    "Wexla run-time error: End of file\n\n"
    "Error termination. Backtrace:\n";

TEST(Dialogue, EndOfInputAtTheNamePrompt) {
  Sandbox box;
  RunResult r = box.run({}, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + kNamePrompt);
  EXPECT_EQ(normalize_report(r.err), kEndOfInput);
}

TEST(Dialogue, EndOfInputAfterAMissingName) {
  Sandbox box;
  RunResult r = box.run({"gone"}, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + missing("gone.OUT") + kNamePrompt);
  EXPECT_EQ(normalize_report(r.err), kEndOfInput);
}

TEST(Dialogue, EndOfInputAtThePercentPrompt) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({"run1"}, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, banner() + kPercentPrompt);
  EXPECT_EQ(normalize_report(r.err), kEndOfInput);
}

TEST(Dialogue, UnfinishedLineAtTheEndOfInputIsTheAnswer) {
  Sandbox box;
  box.write("run1.OUT", kNoFits);
  RunResult r = box.run({}, "run1\n5");
  EXPECT_EQ(r.status, 2);  // the final Return never comes
  EXPECT_EQ(r.out, banner() + kNamePrompt + kPercentPrompt + kHeading +
                       "\n WSS within   5.00    % of best     0\nbbedit ran\n\n"
                       " Press return to finish\n");
  EXPECT_EQ(normalize_report(r.err),
            "At line # of file wrap_up.cpp (unit = 5, file = 'stdin')\n"
            "Wexla run-time error: End of file\n\n"
            "Error termination. Backtrace:\n");
}

TEST(Dialogue, CarriageReturnLineEndsGiveTheSameAnswers) {
  for (const char* input : {"run1\r\n5\r\n\r\n", "run1\r5\r\r"}) {
    Sandbox box;
    box.write("run1.OUT", kNoFits);
    RunResult r = box.run({}, input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              banner() + kNamePrompt + kPercentPrompt + kHeading + tail_without_fits("  5.00    "));
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
