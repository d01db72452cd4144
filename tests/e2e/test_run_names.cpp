// What may stand under a run's names: a file of the run that has another
// name elsewhere (a hard link), a document named as one of the run's files
// in another spelling or case, standard output onto a file of the run while
// it holds a document, a document in a folder that does not exist, and a
// results file that is a device. Every row checks the status, the reason,
// that the file outside the folder is unchanged, and what the run's names
// hold.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "../host_facilities.hpp"
#include "harness.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const std::string kPrecious = "a file of the user's, outside the run's folder\n";
const std::string kAnotherName = "it has another name elsewhere; remove it or run elsewhere";

struct NameCase {
  const char* name = "";
  std::vector<std::string> args{};
  // Makes the folder; `elsewhere` is a file of the user's outside it.
  std::function<void(const Sandbox& box, const fs::path& elsewhere)> arrange{};
  Expect expect{};
  std::string stdout_name{};  // standard output onto this file of the folder
  // BEST.OUT is a file of its own afterwards (a rename replaced the name).
  bool best_replaced = false;
};

void PrintTo(const NameCase& row, std::ostream* os) {
  *os << row.name;
}

void hard_link(const Sandbox& box, const fs::path& elsewhere, const std::string& name) {
  fs::create_hard_link(elsewhere, box.path(name));
}

std::string document_refusal(const std::string& file, const std::string& why) {
  return "wexla: cannot write a document to '" + file + "': " + why + "\n";
}

std::vector<NameCase> name_cases() {
  const TwoSections two;
  const std::string first = records(two.first), second = records(two.second);
  const std::string to_first = banner() + table_heading() + table_line(1, true, k20_25, k20_25);
  const std::string whole = banner() + two.table() + "\n WSS within   5.00    % of best     1\n";
  const std::vector<std::string> batch = {"--batch", "run1", "5"};
  std::vector<NameCase> rows;

  // Hard links from the run's names to a file elsewhere, in every mode. A
  // batch run says a failure in one line.
  for (bool in_batch : {false, true}) {
    std::vector<std::string> args = in_batch ? batch : std::vector<std::string>{"run1", "5"};
    auto failure = [&](const std::string& locus, const std::string& reason) {
      Expect e{.status = 2, .out = banner() + table_heading(), .files = {{"BEST.OUT", kAbsent}}};
      if (in_batch) {
        e.err = "wexla: " + reason + "\n";
      } else {
        e.report = report(locus, reason);
      }
      return e;
    };
    rows.push_back(
        {.name = in_batch ? "ScratchHardLinkedElsewhereInABatchRun" : "ScratchHardLinkedElsewhere",
         .args = args,
         .arrange = [](const Sandbox& b, const fs::path& e) { hard_link(b, e, "temp.OUT"); },
         .expect =
             failure("fit_scan.cpp (unit = 11)", "Cannot open file 'temp.OUT': " + kAnotherName)});
    rows.push_back(
        {.name = in_batch ? "SummaryHardLinkedElsewhereInABatchRun" : "SummaryHardLinkedElsewhere",
         .args = args,
         .arrange = [](const Sandbox& b, const fs::path& e) { hard_link(b, e, "WexlaP.OUT"); },
         .expect = failure("fit_scan.cpp", "Cannot open file 'WexlaP.OUT': " + kAnotherName)});
  }
  // cp would write BEST.OUT in place, through its other name.
  rows.push_back(
      {.name = "BestHardLinkedElsewhereIsRefusedAtTheCopy",
       .args = {"run1", "5"},
       .arrange = [](const Sandbox& b, const fs::path& e) { hard_link(b, e, "BEST.OUT"); },
       .expect = {
           .status = 2,
           .out = to_first,
           .report = report("capture.cpp", "Cannot copy 'temp.OUT' to 'BEST.OUT': 'BEST.OUT' " +
                                               kAnotherName.substr(3)),
           .files = {{"temp.OUT", first}, {"WexlaP.OUT", two.first_summary()}}}});
  // A batch run replaces the name: the other name keeps its file.
  rows.push_back(
      {.name = "BestHardLinkedElsewhereIsReplacedByABatchRun",
       .args = batch,
       .arrange = [](const Sandbox& b, const fs::path& e) { hard_link(b, e, "BEST.OUT"); },
       .expect = {.out = whole, .files = {{"BEST.OUT", second}}},
       .best_replaced = true});

  // Document names are files: another spelling or case is the same file,
  // whether or not it exists yet.
  rows.push_back({.name = "TwoDocumentsOnOneFile",
                  .args = {"--batch", "--json=./a.json", "--csv=a.json", "run1", "5"},
                  .arrange = [](const Sandbox&, const fs::path&) {},
                  .expect = {.status = 64,
                             .out = "",
                             .err = "wexla: --json and --csv name the same file './a.json'\n",
                             .files = {{"a.json", kAbsent}}}});
  rows.push_back({.name = "ThePageAndTheChartOnOneFile",
                  .args = {"--batch", "--html=p", "--svg=./p", "run1", "5"},
                  .arrange = [](const Sandbox&, const fs::path&) {},
                  .expect = {.status = 64,
                             .out = "",
                             .err = "wexla: --html and --svg name the same file 'p'\n",
                             .files = {{"p", kAbsent}}}});
  // The page is a document like the others: not on one of the run's files.
  rows.push_back({.name = "PageNamedAsTheSummary",
                  .args = {"--batch", "--html=wexlap.out", "run1", "5"},
                  .arrange = [](const Sandbox&, const fs::path&) {},
                  .expect = {.status = 74,
                             .out = "",
                             .err = document_refusal("wexlap.out", "it is WexlaP.OUT"),
                             .files = {{"WexlaP.OUT", kAbsent}}}});
  struct Spelling {
    const char* name;
    const char* document;
    const char* run_file;
  };
  for (const Spelling& sp :
       {Spelling{"DocumentNamedAsBestInLowerCase", "best.out", "BEST.OUT"},
        Spelling{"DocumentNamedAsBestWithAFolder", "./BEST.OUT", "BEST.OUT"},
        Spelling{"DocumentNamedAsTheScratchFileNotYetThere", "temp.OUT", "temp.OUT"},
        Spelling{"DocumentNamedAsTheSummaryInAnotherCase", "Wexlap.out", "WexlaP.OUT"}}) {
    rows.push_back(
        {.name = sp.name,
         .args = {"--batch", std::string("--json=") + sp.document, "run1", "5"},
         .arrange = [](const Sandbox&, const fs::path&) {},
         .expect = {
             .status = 74,
             .out = "",
             .err = document_refusal(sp.document, std::string("it is ") + sp.run_file),
             .files = {{"BEST.OUT", kAbsent}, {"temp.OUT", kAbsent}, {"WexlaP.OUT", kAbsent}}}});
  }
  // The results file, by another case, and through the link that a script
  // made: known once the name is settled, before the scan.
  rows.push_back({.name = "DocumentNamedAsTheResultsFile",
                  .args = {"--batch", "--csv=RUN1.out", "run1", "5"},
                  .arrange = [](const Sandbox&, const fs::path&) {},
                  .expect = {.status = 74,
                             .out = banner() + table_heading(),
                             .err = document_refusal("RUN1.out", "it is the results file"),
                             .files = {{"temp.OUT", kAbsent}, {"run1.OUT", two.text()}}}});
  rows.push_back({.name = "DocumentNamedAsTheResultsFilesTarget",
                  .args = {"--batch", "--json=data/a.OUT", "run1", "5"},
                  .arrange =
                      [](const Sandbox& b, const fs::path&) {
                        fs::create_directory(b.path("data"));
                        fs::rename(b.path("run1.OUT"), b.path("data/a.OUT"));
                        fs::create_symlink("data/a.OUT", b.path("run1.OUT"));
                      },
                  .expect = {.status = 74,
                             .out = banner() + table_heading(),
                             .err = document_refusal("data/a.OUT", "it is the results file"),
                             .files = {{"data/a.OUT", two.text()}}}});
  rows.push_back({.name = "DocumentInAFolderThatDoesNotExist",
                  .args = {"--batch", "--json=nodir/run.json", "run1", "5"},
                  .arrange = [](const Sandbox&, const fs::path&) {},
                  .expect = {.status = 74,
                             .out = "",
                             .err = document_refusal("nodir/run.json", host::error_text(ENOENT)),
                             .files = {{"temp.OUT", kAbsent}}}});

  // Standard output onto a file of the run, with a document there: refused
  // as it is without one.
  const std::string stdout_refusal =
      "it is the standard output; send the standard output elsewhere";
  rows.push_back({.name = "DocumentOnStandardOutputOntoBest",
                  .args = {"--batch", "--json=-", "run1", "5"},
                  .arrange = [](const Sandbox&, const fs::path&) {},
                  .expect = {.status = 2,
                             .err = "wexla: Cannot open file 'BEST.OUT': " + stdout_refusal + "\n"},
                  .stdout_name = "BEST.OUT"});
  rows.push_back(
      {.name = "DocumentOnStandardOutputOntoTheSummary",
       .args = {"--batch", "--csv=-", "run1", "5"},
       .arrange = [](const Sandbox&, const fs::path&) {},
       .expect = {.status = 2,
                  .err = "wexla: Cannot open file 'WexlaP.OUT': " + stdout_refusal + "\n"},
       .stdout_name = "WexlaP.OUT"});
  rows.push_back({.name = "DocumentOnStandardOutputOntoTheScratchFile",
                  .args = {"--batch", "--csv=-", "run1", "5"},
                  .arrange = [](const Sandbox&, const fs::path&) {},
                  .expect = {.status = 2,
                             .err = "wexla: Cannot open file 'temp.OUT': " + stdout_refusal + "\n"},
                  .stdout_name = "temp.OUT"});

  // A device is no results file for a batch run; a run without options
  // reads /dev/null as an empty file, as it always did.
  rows.push_back(
      {.name = "DeviceResultsFileInABatchRun",
       .args = batch,
       .arrange =
           [](const Sandbox& b, const fs::path&) {
             fs::remove(b.path("run1.OUT"));
             fs::create_symlink("/dev/null", b.path("run1.OUT"));
           },
       .expect = {.status = 2,
                  .out = banner() + table_heading(),
                  .err = "wexla: Cannot open file 'run1.OUT': it is a device, not a results file\n",
                  .files = {{"temp.OUT", kAbsent}}}});
  rows.push_back({.name = "DeviceResultsFileWithoutOptions",
                  .args = {"run1", "5"},
                  .arrange =
                      [](const Sandbox& b, const fs::path&) {
                        fs::remove(b.path("run1.OUT"));
                        fs::create_symlink("/dev/null", b.path("run1.OUT"));
                      },
                  .expect = {.out = no_fit_screen(), .files = {{"BEST.OUT", kAbsent}}}});
  return rows;
}

class RunNames : public testing::TestWithParam<NameCase> {};

TEST_P(RunNames, AreRefusedOrKeptAsTheRowSays) {
  const NameCase& c = GetParam();
  const TwoSections two;
  Sandbox outside;
  outside.write("precious", kPrecious);
  Sandbox box;
  box.write("run1.OUT", two.text());
  c.arrange(box, outside.path("precious"));
  RunOptions options;
  if (!c.stdout_name.empty()) {
    options.stdout_to_file = true;
    options.stdout_name = c.stdout_name;
  }
  options.input = "\n";
  expect_run(box, c.args, options, c.expect);
  EXPECT_EQ(outside.read("precious"), kPrecious) << "the file outside the folder changed";
  std::vector<std::string> outside_names;
  for (const auto& entry : fs::directory_iterator(outside.dir()))
    outside_names.push_back(entry.path().filename().string());
  EXPECT_EQ(outside_names.size(), 2u) << "something was made outside the folder";  // bin, precious
  if (c.best_replaced) {
    struct stat st {};
    ASSERT_EQ(::stat(box.path("BEST.OUT").c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 1u) << "BEST.OUT is a file of its own";
  }
}

INSTANTIATE_TEST_SUITE_P(Names, RunNames, testing::ValuesIn(name_cases()));

}  // namespace
}  // namespace e2e
