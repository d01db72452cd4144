// The options in front of the operands: refused command lines (status 64,
// one line, nothing read or written), --batch (no prompt, no editor, no
// final wait, standard input never read), a document on standard output,
// and document files that cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

std::string three_fits() {
  return Results().section("12.5").section("10.25").section("11").text();
}

// The screen of `wexla run1 5` on three_fits() without the tail.
std::string table_of_three_fits() {
  return banner() + table_heading() + table_line(1, true, k12_5, k12_5) +
         table_line(2, true, "   10.2500    ", "   10.2500    ") +
         table_line(3, false, "   11.0000    ", "   10.2500    ") +
         "\n WSS within   5.00    % of best     1\n";
}

bool wrote_nothing(const Sandbox& box) {
  for (const char* name :
       {"temp.OUT", "WexlaP.OUT", "BEST.OUT", "bbedit.args", "run.json", "run.csv", "-"}) {
    if (box.exists(name)) return false;
  }
  return true;
}

struct Refused {
  std::vector<std::string> args;
  std::string line;  // standard error, without its line end
};

// A row is shown by its command line, in the test's name and in a failure.
void PrintTo(const Refused& row, std::ostream* os) {
  *os << testing::PrintToString(row.args);
}

class RefusedCommandLine : public testing::TestWithParam<Refused> {};

TEST_P(RefusedCommandLine, OneLineStatus64AndNothingElse) {
  Sandbox box;
  box.write("run1.OUT", three_fits());
  expect_run(box, GetParam().args, "run1\n5\n\n",
             {.status = 64, .out = "", .err = GetParam().line + "\n"});
  EXPECT_TRUE(wrote_nothing(box));
}

const std::string kPutDashes = "; to read a results file of that name, put '--' before it";
const std::string kInFront =
    " after the results file; options go in front (to use it as a name or percentage, put '--' "
    "before the results file)";

INSTANTIATE_TEST_SUITE_P(
    Options, RefusedCommandLine,
    testing::Values(
        Refused{{"--jsn=run.json", "run1", "5"},
                "wexla: unknown option '--jsn=run.json'" + kPutDashes},
        Refused{{"--bacth", "run1", "5"}, "wexla: unknown option '--bacth'" + kPutDashes},
        Refused{{"--HELP"}, "wexla: unknown option '--HELP'" + kPutDashes},
        Refused{{"--vers"}, "wexla: unknown option '--vers'" + kPutDashes},
        Refused{{"--help.OUT", "5"}, "wexla: unknown option '--help.OUT'" + kPutDashes},
        Refused{{"--json"},
                "wexla: option '--json' needs a file name (--json=FILE, or '-' for "
                "standard output)"},
        Refused{{"--csv=", "run1", "5"},
                "wexla: option '--csv' needs a file name (--csv=FILE, or "
                "'-' for standard output)"},
        // A separate value that begins with "--" is taken for the next option.
        Refused{{"--json", "--batch", "run1", "5"},
                "wexla: option '--json' needs a file name (--json=FILE, or '-' for standard "
                "output)"},
        Refused{{"--batch=yes", "run1", "5"}, "wexla: option '--batch' takes no value"},
        Refused{{"--version=1"}, "wexla: option '--version' takes no value"},
        Refused{{"--batch", "--batch", "run1", "5"}, "wexla: option '--batch' is given twice"},
        Refused{{"--json=a", "--json=b", "run1", "5"}, "wexla: option '--json' is given twice"},
        Refused{{"--json=-", "--csv", "-", "run1", "5"},
                "wexla: --json and --csv cannot both write to standard output ('-')"},
        Refused{{"--json=run.json", "--csv=run.json", "run1", "5"},
                "wexla: --json and --csv name the same file 'run.json'"},
        Refused{{"run1", "--batch"}, "wexla: option '--batch'" + kInFront},
        Refused{{"run1", "5", "--json=run.json"}, "wexla: option '--json=run.json'" + kInFront},
        Refused{{"--batch"}, "wexla: --batch needs the results file and the percentage"},
        Refused{{"--batch", "run1"}, "wexla: --batch needs the percentage after the results file"},
        Refused{{"--batch", "--"}, "wexla: --batch needs the results file and the percentage"}));

// A run with --batch is the interactive run without the editor and the
// final prompt, whatever standard input is: it is never read.
TEST(Batch, NoPromptNoEditorNoWait) {
  struct Case {
    const char* what;
    RunOptions options;
  } cases[] = {{"input at its end", {}}, {"input closed", {}}, {"input waiting", {}}};
  cases[1].options.close_stdin = true;
  cases[2].options.input = "this line must not be read\n";
  for (const Case& c : cases) {
    Sandbox box;
    box.write("run1.OUT", three_fits());
    // bbedit.args would show that the editor ran.
    expect_run(box, {"--batch", "run1", "5"}, c.options,
               {.out = table_of_three_fits(),
                .err = "",
                .files = {{"bbedit.args", kAbsent}, {"temp.OUT", kAbsent}},
                .what = c.what});

    Sandbox plain;
    plain.write("run1.OUT", three_fits());
    RunResult p = plain.run({"run1", "5"}, "\n");
    EXPECT_EQ(p.out, table_of_three_fits() + "bbedit ran\n\n Press return to finish\n");
    for (const char* file : {"BEST.OUT", "WexlaP.OUT"}) {
      EXPECT_EQ(box.read(file), plain.read(file)) << c.what << ": " << file;
    }
  }
}

TEST(Batch, MissingResultsFileIsStatus66) {
  Sandbox box;
  expect_run(box, {"--batch", "--json=run.json", "run1", "5"}, "run1\n5\n\n",
             {.status = 66,
              .out = banner(),
              .err = "wexla: the results file 'run1.OUT' does not exist\n",
              .files = {{"temp.OUT", kAbsent}, {"WexlaP.OUT", kAbsent}}});
  // The document still says what happened.
  EXPECT_NE(box.read("run.json").find("\"outcome\": \"no results file\""), std::string::npos);
}

// With the document on standard output an interactive run shows its screen,
// prompts included, on standard error; a batch run shows none.
TEST(DocumentOnStandardOutput, ScreenMovesToStandardErrorOrNowhere) {
  Sandbox box;
  box.write("run1.OUT", three_fits());
  // The editor's own output joins the screen there.
  RunResult r = expect_run(box, {"--json=-"}, "run1\n5\n\n",
                           {.err = banner() + kNamePrompt + kPercentPrompt +
                                   table_of_three_fits().substr(banner().size()) +
                                   "bbedit ran\n\n Press return to finish\n",
                            .files = {{"bbedit.args", "BEST.OUT\n"}}});
  EXPECT_EQ(r.out.substr(0, 2), "{\n");
  r = expect_run(box, {"--batch", "--csv=-", "run1", "5"}, "", {.err = ""});
  EXPECT_EQ(r.out.rfind("results,results_hex,fit,wss,wss_text,best_wss,marked,new_best,"
                        "within_percent\n",
                        0),
            0u);
}

// A document that can never be written is refused before anything is read
// or written; one that cannot be written at the end leaves the run's files
// and ends with status 74.
TEST(DocumentFile, TargetsThatCannotTakeADocument) {
  struct Case {
    const char* target;
    const char* why;
  } cases[] = {{"folder", "it is not a regular file"},
               {"link.json", "it is a symbolic link"},
               {"BEST.OUT", "it is BEST.OUT"},
               {"alias", "it is WexlaP.OUT"}};
  for (const Case& c : cases) {
    Sandbox box;
    box.write("run1.OUT", three_fits());
    std::filesystem::create_directory(box.path("folder"));
    box.write("BEST.OUT", "old\n");
    box.write("WexlaP.OUT", "old\n");
    std::filesystem::create_hard_link(box.path("WexlaP.OUT"), box.path("alias"));
    std::filesystem::create_symlink("elsewhere.json", box.path("link.json"));
    expect_run(box, {"--batch", std::string("--json=") + c.target, "run1", "5"}, "",
               {.status = 74,
                .out = "",
                .err = std::string("wexla: cannot write a document to '") + c.target +
                       "': " + c.why + "\n",
                .files = {{"BEST.OUT", "old\n"}, {"WexlaP.OUT", "old\n"}},
                .what = c.target});
  }
}

// A document whose folder does not exist is refused before anything is
// read or written, as one whose file could never take it.
TEST(DocumentFile, MissingFolderIsRefusedBeforeTheRun) {
  Sandbox box;
  box.write("run1.OUT", three_fits());
  expect_run(box, {"--batch", "--json=nowhere/run.json", "run1", "5"}, "",
             {.status = 74,
              .out = "",
              .err = "wexla: cannot write a document to 'nowhere/run.json': " +
                     host::error_text(ENOENT) + "\n",
              .files = {{"BEST.OUT", kAbsent}, {"WexlaP.OUT", kAbsent}, {"temp.OUT", kAbsent}}});
}

// The document replaces an earlier one whole, and no temporary file is left.
TEST(DocumentFile, ReplacesAnEarlierDocumentAndLeavesNoTemporaryFile) {
  Sandbox box;
  box.write("run1.OUT", three_fits());
  box.write("run.json", "an earlier document\n");
  expect_run(box, {"--batch", "--json=run.json", "run1", "5"}, "", {});
  EXPECT_EQ(box.read("run.json").substr(0, 2), "{\n");
  for (const auto& entry : std::filesystem::directory_iterator(box.dir())) {
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
  }
}

}  // namespace
}  // namespace e2e
