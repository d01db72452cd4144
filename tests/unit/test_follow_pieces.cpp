// A followed results file handed to the run in pieces through the seam's
// read: split inside lines, between a carriage return and its line feed,
// inside a key, at section boundaries, with "nothing yet" between them. The
// run, ended by a signal once every piece is in, leaves what a run without
// --follow over the finished file leaves: screen, status, BEST.OUT,
// WexlaP.OUT and the documents but for the one member that says how
// following ended. Hundreds of seeded cases, in the test's own process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "in_process_run.hpp"
#include "results_file.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::run_in_process;
using testing_support::ScratchFolder;

// The stand-ins' plan: the results file (by inode) given out up to each
// cut in turn, "nothing yet" at every cut, and a SIGHUP once all is out.
struct Pieces {
  ino_t results = 0;
  std::vector<long> cuts;  // increasing offsets, the last one the file's size
  std::size_t next = 0;    // the cut the reader has not passed yet
  long given = 0;          // bytes given out
  bool nothing_said = false;
  long size = 0;
  int pauses = 0;
};
Pieces pieces;

long piece_read(int fd, char* data, std::size_t length) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_ino != pieces.results) return ::read(fd, data, length);
  if (pieces.next < pieces.cuts.size() && pieces.given == pieces.cuts[pieces.next]) {
    // At a cut: once "nothing yet", then the next piece.
    if (!pieces.nothing_said) {
      pieces.nothing_said = true;
      return 0;
    }
    pieces.nothing_said = false;
    ++pieces.next;
  }
  if (pieces.given >= pieces.size) return 0;
  const long until = pieces.next < pieces.cuts.size() ? pieces.cuts[pieces.next] : pieces.size;
  const long want = std::min<long>(static_cast<long>(length), until - pieces.given);
  const ssize_t n = ::read(fd, data, static_cast<std::size_t>(want));
  if (n > 0) pieces.given += n;
  return n;
}

// The writer's turn while the run waits: when everything is out, the
// person at the terminal says stop.
void piece_pause() {
  ++pieces.pauses;
  if (pieces.given >= pieces.size || pieces.pauses > 100000) std::raise(SIGHUP);
}

// Line ends of every kind, long lines and a last line without its end,
// over sections that make fits, stops and data errors.
std::string varied_results(std::mt19937& rng) {
  e2e::Results r;
  std::uniform_int_distribution<int> kind(0, 9);
  const int sections = 1 + static_cast<int>(rng() % 5);
  for (int k = 0; k < sections; ++k) {
    const int what = kind(rng);
    if (what == 0) {
      r.section("NaN");
    } else if (what == 1 && k == sections - 1) {
      r.header().line(" stop: a model heading without its result").line(e2e::kModelHeading);
    } else if (what == 2 && k == sections - 1) {
      r.section("1.2.3");  // a data error
    } else {
      r.section(std::to_string(1000 - static_cast<int>(rng() % 900)) + "." +
                std::to_string(rng() % 1000));
    }
  }
  // Each line ended in its own way, some made long.
  std::string text;
  std::size_t start = 0;
  const std::string& plain = r.text();
  while (start < plain.size()) {
    std::size_t lf = plain.find('\n', start);
    std::string line = plain.substr(start, lf - start);
    start = lf + 1;
    switch (rng() % 12) {
      case 0:
        line += std::string(80 - std::min<std::size_t>(80, line.size()), '-');  // exactly 80
        break;
      case 1:
        line += std::string(20 + rng() % 200, 'x');  // long: the rest is skipped
        break;
      case 2:
        line += std::string(90, 'y') + "\r" + std::string(rng() % 5, 'z');  // a return in the skip
        break;
      default:
        break;
    }
    const unsigned end = static_cast<unsigned>(rng() % 10);
    text += line + (end < 6 ? "\n" : end < 9 ? "\r\n" : "\r");
  }
  // The last line cut short, or ended by a lone return, now and then.
  if (rng() % 4 == 0 && text.size() > 10) text.resize(text.size() - 1 - rng() % 6);
  if (rng() % 6 == 0) text += " a last line without its end";
  return text;
}

// Where to cut: anywhere, and around every carriage return, inside the
// keys and at the sections' first lines.
std::vector<long> cuts_for(const std::string& text, std::mt19937& rng) {
  std::set<long> at;
  const long size = static_cast<long>(text.size());
  for (int k = 0; k < 6; ++k) at.insert(1 + static_cast<long>(rng() % std::max<long>(1, size)));
  for (long k = 0; k < size; ++k) {
    if (text[k] == '\r' && rng() % 2 == 0) at.insert(k + 1 - static_cast<long>(rng() % 2));
  }
  for (const char* key : {"FINAL OUTPUT", "Final WSS", "Model and Parameter", "MAE  ="}) {
    for (std::size_t p = text.find(key); p != std::string::npos; p = text.find(key, p + 1)) {
      if (rng() % 2 == 0) at.insert(static_cast<long>(p + 1 + rng() % 5));
    }
  }
  std::vector<long> cuts;
  for (long c : at) {
    if (c > 0 && c < size) cuts.push_back(c);
  }
  cuts.push_back(size);
  return cuts;
}

// A failure report's backtrace names the frames of the calls, which differ
// where the run waited: the report up to its backtrace is compared.
std::string without_backtrace(const std::string& err) {
  const std::size_t at = err.find("\n#0 ");
  return at == std::string::npos ? err : err.substr(0, at);
}

std::string without_followed(std::string json) {
  const std::size_t at = json.find("  \"followed\": ");
  if (at != std::string::npos) json.erase(at, json.find('\n', at) + 1 - at);
  return json;
}

struct Outcome {
  testing_support::InProcessRun run;
  std::string best, summary, json, csv, html, svg;
};

Outcome run_over(const ScratchFolder& dir, const std::vector<std::string>& args,
                 const SystemSeam& seam, const std::string& input) {
  Outcome o;
  o.run = run_in_process(dir, args, seam, input);
  auto read_or_none = [&](const char* name) {
    return ::access(dir.path(name).c_str(), F_OK) == 0 ? dir.read(name) : std::string("(none)");
  };
  o.best = read_or_none("BEST.OUT");
  o.summary = read_or_none("WexlaP.OUT");
  o.json = without_followed(read_or_none("run.json"));
  o.csv = read_or_none("run.csv");
  o.html = read_or_none("run.html");
  o.svg = read_or_none("run.svg");
  return o;
}

TEST(FollowedInPieces, LeavesWhatARunOverTheFinishedFileLeaves) {
  std::mt19937 rng(20261210);
  int compared = 0;
  for (int round = 0; round < 300; ++round) {
    const std::string text = varied_results(rng);
    // Batch runs copy in process; a third of the rounds are runs with a
    // person, whose copies are cp's.
    const bool batch = round % 3 != 0;
    std::vector<std::string> args = {"--json=run.json", "--csv=run.csv", "--html=run.html",
                                     "--svg=run.svg",   "run1",          "5"};
    if (batch) args.insert(args.begin(), "--batch");

    ScratchFolder plain_dir;
    plain_dir.write("run1.OUT", text);
    const Outcome plain = run_over(plain_dir, args, SystemSeam{}, "\n");

    ScratchFolder followed_dir;
    followed_dir.write("run1.OUT", text);
    struct stat st {};
    ASSERT_EQ(::stat(followed_dir.path("run1.OUT").c_str(), &st), 0);
    pieces = Pieces{st.st_ino, cuts_for(text, rng), 0, 0, false, static_cast<long>(text.size()), 0};
    SystemSeam seam;
    seam.read_input = piece_read;
    seam.pause_following = piece_pause;
    std::vector<std::string> followed_args = args;
    followed_args.insert(followed_args.begin(), "--follow");
    const Outcome followed = run_over(followed_dir, followed_args, seam, "\n");

    const std::string label = "round " + std::to_string(round) + ", " +
                              std::to_string(pieces.cuts.size()) + " pieces of " +
                              std::to_string(text.size()) + " bytes";
    EXPECT_EQ(followed.run.status, plain.run.status) << label << "\n" << followed.run.err;
    EXPECT_EQ(followed.run.out, plain.run.out) << label;
    EXPECT_EQ(without_backtrace(followed.run.err), without_backtrace(plain.run.err)) << label;
    EXPECT_EQ(followed.best, plain.best) << label;
    EXPECT_EQ(followed.summary, plain.summary) << label;
    EXPECT_EQ(followed.json, plain.json) << label;
    EXPECT_EQ(followed.csv, plain.csv) << label;
    EXPECT_EQ(followed.html, plain.html) << label;
    EXPECT_EQ(followed.svg, plain.svg) << label;
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << label << ": the file was\n" << text;
      return;
    }
    ++compared;
  }
  EXPECT_EQ(compared, 300);
}

}  // namespace
}  // namespace wexla
