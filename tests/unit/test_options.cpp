// The command line as a pure function: which arguments are options, which
// are operands, and the one line that refuses the rest.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/options.hpp"
#include "app/plan.hpp"

namespace wexla {
namespace {

struct Arguments {
  std::vector<std::string> words;
  std::vector<char*> pointers;
  explicit Arguments(std::vector<std::string> w) : words(std::move(w)) {
    for (std::string& word : words) pointers.push_back(word.data());
  }
};

struct Accepted {
  std::vector<std::string> args;
  bool help, version, batch;
  std::string json, csv;
  std::vector<std::string> operands;
};

// A row is shown by its command line, in the test's name and in a failure.
void PrintTo(const Accepted& row, std::ostream* os) {
  *os << testing::PrintToString(row.args);
}

class AcceptedArguments : public testing::TestWithParam<Accepted> {};

TEST_P(AcceptedArguments, GiveTheseOptionsAndOperands) {
  const Accepted& want = GetParam();
  Arguments a(want.args);
  ParsedArguments parsed = parse_arguments(a.pointers);
  ASSERT_EQ(parsed.usage_error, "");
  const Options& o = parsed.options;
  EXPECT_EQ(o.help, want.help);
  EXPECT_EQ(o.version, want.version);
  EXPECT_EQ(o.batch, want.batch);
  EXPECT_EQ(o.json_file, want.json);
  EXPECT_EQ(o.csv_file, want.csv);
  std::vector<std::string> operands(o.operands.begin(), o.operands.end());
  EXPECT_EQ(operands, want.operands);
  // The plan puts the screen off a standard output that holds a document.
  RunPlan plan = plan_run(a.pointers);
  bool document_out = want.json == "-" || want.csv == "-";
  ScreenPlace screen = !document_out || want.help || want.version ? ScreenPlace::standard_output
                       : want.batch                               ? ScreenPlace::nowhere
                                                                  : ScreenPlace::standard_error;
  EXPECT_EQ(plan.streams.screen, screen);
  EXPECT_EQ(plan.documents.any(), !want.json.empty() || !want.csv.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptedArguments,
    testing::Values(
        // No option: every argument is an operand, as it always was.
        Accepted{{}, false, false, false, "", "", {}},
        Accepted{{"run1", "5"}, false, false, false, "", "", {"run1", "5"}},
        Accepted{{"run1", "5", "x", "-h"}, false, false, false, "", "", {"run1", "5", "x", "-h"}},
        Accepted{{"-help", "-v"}, false, false, false, "", "", {"-help", "-v"}},
        Accepted{{"-", "5"}, false, false, false, "", "", {"-", "5"}},
        Accepted{{"run1", "--"}, false, false, false, "", "", {"run1", "--"}},
        // "--" ends the options; after it anything is an operand.
        Accepted{{"--", "--help", "5"}, false, false, false, "", "", {"--help", "5"}},
        Accepted{{"--", "-h"}, false, false, false, "", "", {"-h"}},
        Accepted{
            {"--batch", "--", "--x", "--json=y"}, false, false, true, "", "", {"--x", "--json=y"}},
        Accepted{{"--"}, false, false, false, "", "", {}},
        // Both forms of a file option.
        Accepted{{"--json=run.json", "r", "5"}, false, false, false, "run.json", "", {"r", "5"}},
        Accepted{{"--json", "run.json", "r", "5"}, false, false, false, "run.json", "", {"r", "5"}},
        Accepted{
            {"--csv=-", "--json", "a b.json", "r"}, false, false, false, "a b.json", "-", {"r"}},
        Accepted{{"--csv", "-", "r"}, false, false, false, "", "-", {"r"}},
        Accepted{{"--json==x", "r"}, false, false, false, "=x", "", {"r"}},
        Accepted{{"--batch", "--csv=t.csv", "r", "5"}, false, false, true, "", "t.csv", {"r", "5"}},
        // Help and the version win over everything else, refusals included.
        Accepted{{"--help"}, true, false, false, "", "", {}},
        Accepted{{"-h"}, true, false, false, "", "", {}},
        Accepted{{"--version"}, false, true, false, "", "", {}},
        Accepted{{"--batch", "--help", "r", "5"}, true, false, true, "", "", {"r", "5"}},
        Accepted{{"--jsn", "-h"}, true, false, false, "", "", {}},
        Accepted{{"--version", "--batch"}, false, true, true, "", "", {}},
        Accepted{{"--help", "r", "--batch"}, true, false, false, "", "", {"r", "--batch"}}));

struct Refused {
  std::vector<std::string> args;
  std::string message;
};

void PrintTo(const Refused& row, std::ostream* os) {
  *os << testing::PrintToString(row.args);
}

class RefusedArguments : public testing::TestWithParam<Refused> {};

TEST_P(RefusedArguments, SayWhyInOneLine) {
  Arguments a(GetParam().args);
  ParsedArguments parsed = parse_arguments(a.pointers);
  EXPECT_EQ(parsed.usage_error, GetParam().message);
  EXPECT_EQ(parsed.usage_error.find('\n'), std::string::npos);
}

const std::string kDashes = "; to read a results file of that name, put '--' before it";
const std::string kNeedsJson =
    "wexla: option '--json' needs a file name (--json=FILE, or '-' for standard output)";

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedArguments,
    testing::Values(
        Refused{{"--jsn=x", "r"}, "wexla: unknown option '--jsn=x'" + kDashes},
        Refused{{"--Help"}, "wexla: unknown option '--Help'" + kDashes},
        Refused{{"---", "r"}, "wexla: unknown option '---'" + kDashes},
        // The first refusal is reported.
        Refused{{"--a", "--b"}, "wexla: unknown option '--a'" + kDashes},
        Refused{{"--json"}, kNeedsJson}, Refused{{"--json="}, kNeedsJson},
        Refused{{"--json", "--csv=x"}, kNeedsJson},
        Refused{{"--batch=1", "r", "5"}, "wexla: option '--batch' takes no value"},
        Refused{{"--help=me"}, "wexla: option '--help' takes no value"},
        Refused{{"--csv=a", "--csv=a", "r"}, "wexla: option '--csv' is given twice"},
        Refused{{"--json=-", "--csv=-", "r"},
                "wexla: --json and --csv cannot both write to standard output ('-')"},
        Refused{{"--json=t", "--csv=t", "r"}, "wexla: --json and --csv name the same file 't'"},
        // Following: --pid and --idle say when it ends, and only with it; its
        // documents are written again and again, so never to standard output.
        Refused{{"--pid=12", "r", "5"}, "wexla: --pid needs --follow"},
        Refused{{"--idle", "3", "r", "5"}, "wexla: --idle needs --follow"},
        Refused{{"--follow", "--pid=0", "r", "5"},
                "wexla: --pid takes the number of a process, above 0, not '0'"},
        Refused{{"--follow", "--pid=-4", "r", "5"},
                "wexla: --pid takes the number of a process, above 0, not '-4'"},
        Refused{{"--follow", "--pid=99999999999", "r", "5"},
                "wexla: --pid takes the number of a process, above 0, not '99999999999'"},
        Refused{{"--follow", "--idle=0", "r", "5"},
                "wexla: --idle takes a whole number of seconds, at least 1, not '0'"},
        Refused{{"--follow", "--idle=1.5", "r", "5"},
                "wexla: --idle takes a whole number of seconds, at least 1, not '1.5'"},
        Refused{{"--follow", "--pid"}, "wexla: option '--pid' needs a process number (--pid=PID)"},
        Refused{{"--follow", "--follow", "r"}, "wexla: option '--follow' is given twice"},
        Refused{{"--follow=yes", "r"}, "wexla: option '--follow' takes no value"},
        Refused{{"--follow", "--csv=-", "r", "5"},
                "wexla: --follow writes --csv's document again and again: it cannot go to "
                "standard output ('-')"},
        // The page and the chart are documents like the others.
        Refused{{"--html=-", "--svg=-", "r"},
                "wexla: --html and --svg cannot both write to standard output ('-')"},
        Refused{{"--json=-", "--svg=-", "r"},
                "wexla: --json and --svg cannot both write to standard output ('-')"},
        Refused{{"--csv=p", "--html=p", "r"}, "wexla: --csv and --html name the same file 'p'"},
        Refused{{"--svg=a", "--svg=b", "r"}, "wexla: option '--svg' is given twice"},
        Refused{{"--html"},
                "wexla: option '--html' needs a file name (--html=FILE, or '-' for "
                "standard output)"},
        Refused{{"r", "--json=t"},
                "wexla: option '--json=t' after the results file; options go in front (to use it "
                "as a name or percentage, put '--' before the results file)"},
        Refused{{"--batch"}, "wexla: --batch needs the results file and the percentage"},
        Refused{{"--batch", "r"}, "wexla: --batch needs the percentage after the results file"}));

}  // namespace
}  // namespace wexla
