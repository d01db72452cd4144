// What a batch run answers a script: names taken as given, a status for
// each way a run ends with its line on standard error and its JSON
// document (outcome, error and where a data error stands, the files this
// run wrote), and a screen whose reader has gone that costs the run
// nothing.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "harness.hpp"
#include "json_reader.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using wexla::fuzz::JsonValue;

const JsonValue* member(const JsonValue& doc, const char* name) {
  return doc.member(name);
}

JsonValue read_document(const Sandbox& box, const std::string& name) {
  JsonValue doc;
  std::string why = wexla::fuzz::read_json(box.read(name), doc);
  EXPECT_EQ(why, "") << box.read(name);
  return doc;
}

std::string text(const JsonValue* v) {
  return v != nullptr && v->kind == JsonValue::string ? v->text : "<not a text>";
}

bool is_null(const JsonValue* v) {
  return v != nullptr && v->kind == JsonValue::null;
}

// Names as given: a name ending in ".OUT" as it stands, whatever its dots
// and its length; another derived, without the cut at 32 characters.
TEST(BatchNames, AreTakenAsGiven) {
  struct Row {
    std::string operand;
    std::string file;  // the results file the run must read
  };
  // A path of 300 bytes, through two folders.
  const std::string long_name =
      std::string(100, 'd') + "/" + std::string(100, 'e') + "/" + std::string(94, 'f') + ".OUT";
  const std::vector<Row> rows = {
      {"subj.07.OUT", "subj.07.OUT"},
      {"study_alpha_subject_0042_final_fit.OUT", "study_alpha_subject_0042_final_fit.OUT"},
      {"study_alpha_subject_0042_final_fit", "study_alpha_subject_0042_final_fit.OUT"},
      {"subj.07", "subj.OUT"},
      {long_name, long_name},
      {"data/project_alpha.v2/subject_0042_the_final_fit.OUT",
       "data/project_alpha.v2/subject_0042_the_final_fit.OUT"},
      {"caf\xe9.OUT", "caf\xe9.OUT"},
  };
  const TwoSections two;
  for (const Row& row : rows) {
    Sandbox box;
    fs::create_directories(box.path("data/project_alpha.v2"));
    fs::create_directories(box.path(long_name).parent_path());
    box.write(row.file, two.text());
    expect_run(box, {"--batch", "--json=run.json", row.operand, "5"}, "",
               {.out = banner() + two.table() + "\n WSS within   5.00    % of best     1\n",
                .err = "",
                .files = {{"BEST.OUT", records(two.second)}},
                .what = row.operand.substr(0, 60)});
    JsonValue doc = read_document(box, "run.json");
    const JsonValue* results = member(doc, "results");
    if (row.file.find('\xe9') == std::string::npos) {
      EXPECT_EQ(text(results), row.file);
    } else {
      EXPECT_EQ(text(member(doc, "results_hex")), "636166e92e4f5554");
    }
  }
}

// The number of the line of `text` where "Final WSS" stands for the
// second time, counting from 1.
std::string second_wss_line(const std::string& text) {
  std::size_t at = text.find("Final WSS");
  at = text.find("Final WSS", at + 1);
  return std::to_string(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n') + 1);
}

// One row for each way a batch run ends: its status, its line on standard
// error, its JSON document's outcome, error and files.
struct Ending {
  const char* name;
  std::vector<std::string> args;
  std::function<void(const Sandbox&)> arrange;
  int status;
  std::string err;                   // the whole of standard error
  std::string outcome{};             // empty: no document
  std::string error{};               // the JSON's error; empty: null
  std::vector<std::string> files{};  // the JSON's files
};

void PrintTo(const Ending& row, std::ostream* os) {
  *os << row.name;
}

std::vector<Ending> endings() {
  const TwoSections two;
  const std::vector<std::string> args = {"--batch", "--json=run.json", "run1", "5"};
  auto results = [](std::string text) {
    return [text](const Sandbox& box) { box.write("run1.OUT", text); };
  };
  const std::string stop_file = Results().header().line("a line").line(kModelHeading).text();
  const std::string bad = Results().section("12.5").section("1.2.3").text();
  return {
      {"NormalWithFits", args, results(two.text()), 0, "", "normal", "", {"best", "summary"}},
      {"EmptyFileHasNoFit", args, results(""), 3, "wexla: run1.OUT: no fit found\n", "no fits",
       "run1.OUT: no fit found"},
      {"AReadmeIsNoResultsFile", args, results("# A project\n\nSee the docs.\n"), 3,
       "wexla: run1.OUT: no fit found\n", "no fits", "run1.OUT: no fit found"},
      // The screen has the message; with the screen gone, standard error.
      {"NotANormalFit", args, results(stop_file), 4, "", "not a normal fit",
       "run1.OUT: not the result of a normal fit"},
      {"NotANormalFitWithTheScreenGone",
       {"--batch", "--json=-", "run1", "5"},
       results(stop_file),
       4,
       "wexla: run1.OUT: not the result of a normal fit\n"},
      {"DataError",
       args,
       results(bad),
       65,
       "wexla: run1.OUT line " + second_wss_line(bad) +
           ", fit 2: the WSS field '1.2.3' is not a number\n",
       "data error",
       "run1.OUT line " + second_wss_line(bad) + ", fit 2: the WSS field '1.2.3' is not a number",
       {"best", "summary"}},
      {"PercentageThatIsNoNumber",
       {"--batch", "--json=run.json", "run1", "2,5"},
       results(two.text()),
       64,
       "wexla: the percentage '2,5' is not a number\n"},
      {"NoResultsFile", args, [](const Sandbox&) {}, 66,
       "wexla: the results file 'run1.OUT' does not exist\n", "no results file",
       "the results file 'run1.OUT' does not exist"},
      {"DocumentRefusedBeforeTheRun",
       {"--batch", "--json=BEST.OUT", "run1", "5"},
       results(two.text()),
       74,
       "wexla: cannot write a document to 'BEST.OUT': it is BEST.OUT\n"},
      {"OtherFailure", args,
       [two](const Sandbox& box) {
         box.write("run1.OUT", two.text());
         fs::create_symlink("elsewhere", box.path("temp.OUT"));
       },
       2, "wexla: Cannot open file 'temp.OUT': it is a symbolic link; remove it or run elsewhere\n",
       "failed", "Cannot open file 'temp.OUT': it is a symbolic link; remove it or run elsewhere"},
  };
}

class BatchEnding : public testing::TestWithParam<Ending> {};

TEST_P(BatchEnding, HasItsStatusLineAndDocument) {
  const Ending& row = GetParam();
  Sandbox box;
  row.arrange(box);
  RunResult r = expect_run(box, row.args, "", {.status = row.status, .err = row.err});
  if (row.outcome.empty()) {
    EXPECT_FALSE(box.exists("run.json")) << "no document";
    return;
  }
  JsonValue doc = read_document(box, "run.json");
  EXPECT_EQ(text(member(doc, "outcome")), row.outcome);
  const JsonValue* status = member(doc, "status");
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->text, std::to_string(row.status));
  if (row.error.empty()) {
    EXPECT_TRUE(is_null(member(doc, "error")));
  } else {
    EXPECT_EQ(text(member(doc, "error")), row.error);
  }
  const JsonValue* files = member(doc, "files");
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(files->names, row.files);
  (void)r;
}

INSTANTIATE_TEST_SUITE_P(Batch, BatchEnding, testing::ValuesIn(endings()));

// Another run holds the folder: try again later, and no document that
// would replace the one the lock's holder writes.
TEST(BatchEnding, FolderInUseIsStatus75WithoutADocument) {
  const TwoSections two;
  Sandbox box;
  box.write("run1.OUT", two.text());
  int held = ::open(box.dir().c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  expect_run(box, {"--batch", "--json=run.json", "run1", "5"}, "",
             {.status = 75,
              .out = "",
              .err = "wexla: another run is using this folder\n",
              .files = {{"run.json", kAbsent}, {"temp.OUT", kAbsent}}});
  ::close(held);
}

// Where a data error stands, counted as the reader counts lines: a lone
// carriage return ends a line and counts one, as a line feed does.
TEST(BatchEnding, ADataErrorSaysWhereItStandsWhateverTheLineEnds) {
  const std::string bad = Results().section("12.5").section("1.2.3").text();
  struct Row {
    const char* what;
    std::string text;
  };
  auto ended = [&](const std::string& end) {
    std::string out;
    for (char c : bad) out += c == '\n' ? end : std::string(1, c);
    return out;
  };
  for (const Row& row :
       {Row{"LF", bad}, Row{"CR LF", ended("\r\n")}, Row{"lone CR", ended("\r")}}) {
    Sandbox box;
    box.write("run1.OUT", row.text);
    const std::string line_number = second_wss_line(bad);
    expect_run(box, {"--batch", "--json=run.json", "run1", "5"}, "",
               {.status = 65,
                .err = "wexla: run1.OUT line " + line_number +
                       ", fit 2: the WSS field '1.2.3' is not a number\n",
                .what = row.what});
    JsonValue doc = read_document(box, "run.json");
    const JsonValue* line = member(doc, "error_line");
    const JsonValue* fit = member(doc, "error_fit");
    ASSERT_TRUE(line != nullptr && fit != nullptr) << row.what;
    EXPECT_EQ(line->text, line_number) << row.what;
    EXPECT_EQ(fit->text, "2") << row.what;
    EXPECT_EQ(text(member(doc, "error_field")), "1.2.3") << row.what;
  }
}

// `| head`: the screen's reader has gone before the first write. The files
// were the point of the run: complete, status 0. A document that was to go
// there is lost: 74.
TEST(BatchEnding, AScreenWhoseReaderHasGoneCostsNothing) {
  const TwoSections two;
  Sandbox box;
  box.write("run1.OUT", two.text());
  expect_run(box, {"--batch", "--json=run.json", "run1", "5"},
             RunOptions{.stdout_reader_gone = true},
             {.err = "",
              .files = {{"BEST.OUT", records(two.second)},
                        {"WexlaP.OUT", two.summary()},
                        {"temp.OUT", kAbsent}}});
  EXPECT_NE(box.read("run.json").find("\"outcome\": \"normal\""), std::string::npos);

  Sandbox gone;
  gone.write("run1.OUT", two.text());
  RunResult r =
      expect_run(gone, {"--batch", "--json=-", "run1", "5"}, RunOptions{.stdout_reader_gone = true},
                 {.status = 74, .files = {{"BEST.OUT", records(two.second)}}});
  EXPECT_EQ(r.err.rfind("wexla: cannot write the JSON document to '-': ", 0), 0u) << r.err;
}

}  // namespace
}  // namespace e2e
