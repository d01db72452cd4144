// Hostile run folders: the names of the three files the run writes stand
// for something else. Each is a symbolic link (to a file of the user's
// elsewhere, to a file that does not exist yet, to /dev/null, to another of
// the three), a folder, a FIFO, a hard link to another of the three, or the
// run's own standard output or error. Every row is refused with status 2
// and a reason that says what stands there; nothing outside the folder is
// written, and the run's files are as the row says.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "harness.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"
#include "scratch_folder.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const std::string kPrecious = "alias ll='ls -l'\n";
// What a name holds afterwards, where it is not a regular file's content.
const std::string kAbsent = "<absent>";
const std::string kLink = "<symbolic link>";
const std::string kFolder = "<folder>";
const std::string kFifo = "<fifo>";
const std::string kSocket = "<socket>";

// Stand for the screen and the report, in files that receive them.
const std::string kScreen = "<screen>";
const std::string kReport = "<report>";

struct Folder {
  const char* name;
  // Makes the folder hostile; `elsewhere` is a folder of the user's outside it.
  std::function<void(const Sandbox& box, const fs::path& elsewhere)> arrange;
  std::string locus;   // the report's locus, after "At line # of file "
  std::string reason;  // the report's reason
  bool at_copy;        // refused at the first copy, after the first fit
  // What the three names hold afterwards.
  std::string best, scratch, summary;
  std::string stdout_name{};  // standard output onto this file of the folder
  std::string stderr_name{};  // standard error onto this file of the folder
};

void PrintTo(const Folder& f, std::ostream* os) {
  *os << f.name;
}

std::string refusal(const std::string& name, const std::string& why) {
  return "Cannot open file '" + name + "': " + why;
}
std::string copy_refusal(const std::string& why) {
  return "Cannot copy 'temp.OUT' to 'BEST.OUT': " + why;
}
const std::string kRemove = "; remove it or run elsewhere";
const std::string kOneOfThem = "; remove one of them or run elsewhere";
const std::string kNotStdout = "it is the standard output; send the standard output elsewhere";
const std::string kNotStderr = "it is the standard error; send the standard error elsewhere";

// Leaves a socket file at `path`: the file stays after its socket is closed.
void bind_socket(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
}

void link(const Sandbox& box, const fs::path& target, const std::string& name) {
  fs::create_symlink(target, box.path(name));
}

std::vector<Folder> folders() {
  const TwoSections two;
  const std::string first = records(two.first), first_summary = two.first_summary();
  std::vector<Folder> rows;

  // Each name linked to a file of the user's, to a file that does not
  // exist yet, and to /dev/null. temp.OUT is refused at its opening, before
  // anything is written; WexlaP.OUT at its opening, with temp.OUT made but
  // empty; BEST.OUT before the first copy, the first section in temp.OUT.
  struct Target {
    const char* what;
    fs::path (*path)(const fs::path& elsewhere);
  };
  static const Target kTargets[] = {
      {"ToAFileOfTheUsers", [](const fs::path& e) { return e / "bashrc"; }},
      {"ToAFileNotYetThere", [](const fs::path& e) { return e / "ghost"; }},
      {"ToDevNull", [](const fs::path&) { return fs::path("/dev/null"); }},
  };
  static const char* const kScratchNames[] = {
      "ScratchLinkToAFileOfTheUsers", "ScratchLinkToAFileNotYetThere", "ScratchLinkToDevNull"};
  static const char* const kSummaryNames[] = {
      "SummaryLinkToAFileOfTheUsers", "SummaryLinkToAFileNotYetThere", "SummaryLinkToDevNull"};
  static const char* const kBestNames[] = {"BestLinkToAFileOfTheUsers",
                                           "BestLinkToAFileNotYetThere", "BestLinkToDevNull"};
  for (std::size_t t = 0; t < std::size(kTargets); ++t) {
    auto path = kTargets[t].path;
    rows.push_back(
        {kScratchNames[t],
         [path](const Sandbox& box, const fs::path& e) { link(box, path(e), "temp.OUT"); },
         "capture.cpp (unit = 11)", refusal("temp.OUT", "it is a symbolic link" + kRemove), false,
         kAbsent, kLink, kAbsent});
    rows.push_back(
        {kSummaryNames[t],
         [path](const Sandbox& box, const fs::path& e) { link(box, path(e), "WexlaP.OUT"); },
         "summary.cpp", refusal("WexlaP.OUT", "it is a symbolic link" + kRemove), false, kAbsent,
         "", kLink});
    rows.push_back(
        {kBestNames[t],
         [path](const Sandbox& box, const fs::path& e) { link(box, path(e), "BEST.OUT"); },
         "capture.cpp", copy_refusal("'BEST.OUT' is a symbolic link" + kRemove), true, kLink, first,
         first_summary});
  }

  const std::vector<Folder> more = {
      // --- The three names linked to each other ---------------------------
      {"BestLinkedToTheSummary",
       [](const Sandbox& box, const fs::path&) { link(box, "WexlaP.OUT", "BEST.OUT"); },
       "capture.cpp", copy_refusal("'BEST.OUT' is a symbolic link" + kRemove), true, kLink, first,
       first_summary},
      {"ScratchLinkedToTheSummary",
       [](const Sandbox& box, const fs::path&) { link(box, "WexlaP.OUT", "temp.OUT"); },
       "capture.cpp (unit = 11)", refusal("temp.OUT", "it is a symbolic link" + kRemove), false,
       kAbsent, kLink, kAbsent},
      {"SummaryLinkedToTheScratch",
       [](const Sandbox& box, const fs::path&) { link(box, "temp.OUT", "WexlaP.OUT"); },
       "summary.cpp", refusal("WexlaP.OUT", "it is a symbolic link" + kRemove), false, kAbsent, "",
       kLink},
      // --- Folders and a FIFO -----------------------------------------------
      {"BestIsAFolder",
       [](const Sandbox& box, const fs::path&) { fs::create_directory(box.path("BEST.OUT")); },
       "capture.cpp", copy_refusal("'BEST.OUT' is a folder" + kRemove), true, kFolder, first,
       first_summary},
      {"BestLinksToAnotherProjectsFolder",
       // cp would copy into that folder, over its own temp.OUT.
       [](const Sandbox& box, const fs::path& e) {
         fs::create_directory(e / "project");
         test_support::write_file((e / "project" / "temp.OUT").string(), kPrecious);
         link(box, e / "project", "BEST.OUT");
       },
       "capture.cpp", copy_refusal("'BEST.OUT' is a symbolic link" + kRemove), true, kLink, first,
       first_summary},
      {"BestIsAFifo",
       [](const Sandbox& box, const fs::path&) {
         ASSERT_EQ(::mkfifo(box.path("BEST.OUT").c_str(), 0644), 0);
       },
       "capture.cpp", copy_refusal("'BEST.OUT' is a FIFO (named pipe)" + kRemove), true, kFifo,
       first, first_summary},
      {"ScratchIsASocket",
       [](const Sandbox& box, const fs::path&) { bind_socket(box.path("temp.OUT").string()); },
       "capture.cpp (unit = 11)", refusal("temp.OUT", "it is a socket" + kRemove), false, kAbsent,
       kSocket, kAbsent},
      // --- Hard links between two of the three ------------------------------
      {"ScratchAndSummaryHardLinked",
       [](const Sandbox& box, const fs::path&) {
         box.write("temp.OUT", kPrecious);
         fs::create_hard_link(box.path("temp.OUT"), box.path("WexlaP.OUT"));
       },
       "summary.cpp", refusal("WexlaP.OUT", "it is the same file as 'temp.OUT'" + kOneOfThem),
       false, kAbsent, kPrecious, kPrecious},
      {"ScratchAndBestHardLinked",
       [](const Sandbox& box, const fs::path&) {
         box.write("BEST.OUT", kPrecious);
         fs::create_hard_link(box.path("BEST.OUT"), box.path("temp.OUT"));
       },
       "capture.cpp (unit = 11)",
       refusal("BEST.OUT", "it is the same file as 'temp.OUT'" + kOneOfThem), false, kPrecious,
       kPrecious, ""},
      {"SummaryAndBestHardLinked",
       [](const Sandbox& box, const fs::path&) {
         box.write("BEST.OUT", kPrecious);
         fs::create_hard_link(box.path("BEST.OUT"), box.path("WexlaP.OUT"));
       },
       "capture.cpp (unit = 11)",
       refusal("BEST.OUT", "it is the same file as 'WexlaP.OUT'" + kOneOfThem), false, kPrecious,
       "", kPrecious},
      // --- Standard output and standard error onto the three ----------------
      {"StandardOutputOntoTheScratch", [](const Sandbox&, const fs::path&) {},
       "capture.cpp (unit = 11)", refusal("temp.OUT", kNotStdout), false, kAbsent, kScreen, kAbsent,
       "temp.OUT"},
      {"StandardOutputOntoTheSummary", [](const Sandbox&, const fs::path&) {}, "summary.cpp",
       refusal("WexlaP.OUT", kNotStdout), false, kAbsent, "", kScreen, "WexlaP.OUT"},
      {"StandardOutputOntoBest", [](const Sandbox&, const fs::path&) {}, "capture.cpp (unit = 11)",
       refusal("BEST.OUT", kNotStdout), false, kScreen, "", "", "BEST.OUT"},
      {"StandardErrorOntoTheScratch", [](const Sandbox&, const fs::path&) {},
       "capture.cpp (unit = 11)", refusal("temp.OUT", kNotStderr), false, kAbsent, kReport, kAbsent,
       "", "temp.OUT"},
      {"StandardErrorOntoTheSummary", [](const Sandbox&, const fs::path&) {}, "summary.cpp",
       "Cannot change STATUS parameter in OPEN statement", false, kAbsent, "", kReport, "",
       "WexlaP.OUT"},
      {"StandardErrorOntoBest", [](const Sandbox&, const fs::path&) {}, "capture.cpp (unit = 11)",
       refusal("BEST.OUT", kNotStderr), false, kReport, "", "", "", "BEST.OUT"},
  };
  rows.insert(rows.end(), more.begin(), more.end());
  return rows;
}

// What `name` holds: a regular file's content, or the kind of what stands there.
std::string held(const Sandbox& box, const std::string& name) {
  fs::path path = box.path(name);
  fs::file_status status = fs::symlink_status(path);
  if (!fs::exists(status)) return kAbsent;
  if (fs::is_symlink(status)) return kLink;
  if (fs::is_directory(status)) return kFolder;
  if (fs::is_fifo(status)) return kFifo;
  if (fs::is_socket(status)) return kSocket;
  return box.read(name);
}

class HostileFolderTest : public ::testing::TestWithParam<Folder> {};

TEST_P(HostileFolderTest, IsRefusedAndNothingOutsideIsWritten) {
  const Folder& f = GetParam();
  const TwoSections two;
  Sandbox box;
  test_support::ScratchFolder elsewhere("wexla-elsewhere");
  elsewhere.write("bashrc", kPrecious);
  box.write("run1.OUT", two.text());
  f.arrange(box, elsewhere.dir());

  RunOptions options;
  options.input = "\n";
  options.time_limit = 60;
  if (!f.stdout_name.empty()) {
    options.stdout_to_file = true;
    options.stdout_name = f.stdout_name;
  }
  options.stderr_file = f.stderr_name;
  RunResult r = box.run({"run1", "5"}, options);

  EXPECT_EQ(r.status, 2);
  std::string screen = banner() + table_heading() +
                       (f.at_copy ? table_line(1, true, k20_25, k20_25) : std::string());
  std::string err = f.stderr_name.empty() ? r.err : box.read(f.stderr_name);
  EXPECT_EQ(normalize_report(err), report(f.locus, f.reason));
  EXPECT_EQ(r.out, f.stdout_name.empty() ? screen : "");

  // Nothing outside the folder was written or made.
  EXPECT_EQ(elsewhere.read("bashrc"), kPrecious);
  EXPECT_FALSE(fs::exists(elsewhere.path("ghost")));
  if (fs::exists(elsewhere.path("project"))) {
    EXPECT_EQ(elsewhere.read("project/temp.OUT"), kPrecious);
  }

  // The run's own files, as far as it got.
  auto expected = [&](const std::string& what) {
    return what == kScreen ? screen : what == kReport ? err : what;
  };
  EXPECT_EQ(held(box, "BEST.OUT"), expected(f.best));
  EXPECT_EQ(held(box, "temp.OUT"), expected(f.scratch));
  EXPECT_EQ(held(box, "WexlaP.OUT"), expected(f.summary));
  EXPECT_EQ(box.read("run1.OUT"), two.text());
}

INSTANTIATE_TEST_SUITE_P(Folders, HostileFolderTest, ::testing::ValuesIn(folders()),
                         [](const ::testing::TestParamInfo<Folder>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace e2e
