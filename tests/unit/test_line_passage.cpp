// Lines passed many at a time must leave exactly what the read and write
// statements leave line by line: the same lines, the same bytes in the
// output file at every point, the same positions, and the same writes (a
// tiny output buffer makes every flush point show in the file's size).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "textio/connections/connection_table.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/line_passage.hpp"
#include "textio/records/record.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::ScratchFolder;

constexpr int kPassedIn = 30;  // read and written with passages between the statements
constexpr int kPassedOut = 31;
constexpr int kPlainIn = 32;  // the same by the statements alone
constexpr int kPlainOut = 33;
constexpr char kWatched = 'P';

using Line = std::string;  // 80 characters

// One line by the statements, as the scan reads and copies it; false at the
// end of the file.
bool statement_step(int in, int out, std::vector<Line>& seen) {
  char line[kInlineLineWidth];
  LineRead read = read_line_or_end(in, std::span<char, kInlineLineWidth>(line), kWatched);
  if (!read.got_line) return false;
  seen.emplace_back(line, kInlineLineWidth);
  write_record(out, kWholeRecord, std::string_view(line, kInlineLineWidth));
  return true;
}

struct Setup {
  std::size_t capacity = kBufferSize;
  std::size_t threshold = kFlushThreshold;
  std::string old_output;  // what the output files hold before the run
};

// The passage's byte work on each path this build and processor have.
std::vector<PassagePath> paths_at_hand() {
  std::vector<PassagePath> paths{PassagePath::plain, PassagePath::built};
#ifdef WEXLA_AVX2_BYTES
  if (avx2_at_hand()) paths.push_back(PassagePath::avx2);
#endif
  return paths;
}

// Runs the content through both ways and compares after every passage.
void expect_same_as_statements(const std::string& content, const Setup& setup, PassagePath path,
                               char watched = kWatched) {
  SCOPED_TRACE("path " + std::to_string(static_cast<int>(path)) + ", watching '" +
               std::string(1, watched) + "'");
  ScratchFolder dir;
  dir.write("passed-in", content);
  dir.write("plain-in", content);
  dir.write("passed-out", setup.old_output);
  dir.write("plain-out", setup.old_output);
  open_connection(kPassedIn, dir.path("passed-in").string(), OpenStatus::old_file);
  open_connection(kPlainIn, dir.path("plain-in").string(), OpenStatus::old_file);
  open_connection(kPassedOut, dir.path("passed-out").string(), OpenStatus::unknown);
  open_connection(kPlainOut, dir.path("plain-out").string(), OpenStatus::unknown);
  for (int number : {kPassedOut, kPlainOut}) {
    set_output_buffer(*find_connection(number), setup.capacity, setup.threshold);
  }
  std::vector<Line> passed_seen, plain_seen;
  std::size_t passed_lines = 0;
  for (int step = 0;; ++step) {
    LinePassage passage = begin_line_passage(kPassedIn, kPassedOut);
    std::size_t passed = pass_lines(passage, watched, path);
    for (std::size_t k = passed; k-- > 0;)
      passed_seen.emplace_back(passed_line(passage, k), kInlineLineWidth);
    end_line_passage(passage);
    passed_lines += passed;
    for (std::size_t i = 0; i < passed; ++i)
      ASSERT_TRUE(statement_step(kPlainIn, kPlainOut, plain_seen));
    // A passed line never holds the watched byte.
    for (std::size_t k = passed_seen.size() - passed; k < passed_seen.size(); ++k) {
      ASSERT_EQ(passed_seen[k].find(watched), std::string::npos) << passed_seen[k];
    }
    ASSERT_EQ(passed_seen, plain_seen) << "step " << step;
    ASSERT_EQ(size_on_disk(dir, "passed-out"), size_on_disk(dir, "plain-out")) << "step " << step;
    ASSERT_EQ(find_connection(kPassedIn)->position, find_connection(kPlainIn)->position);
    ASSERT_EQ(find_connection(kPassedOut)->position, find_connection(kPlainOut)->position);
    bool more = statement_step(kPassedIn, kPassedOut, passed_seen);
    ASSERT_EQ(statement_step(kPlainIn, kPlainOut, plain_seen), more) << "step " << step;
    if (!more) break;
  }
  for (int number : {kPassedIn, kPlainIn, kPassedOut, kPlainOut}) close_connection(number);
  EXPECT_EQ(dir.read("passed-out"), dir.read("plain-out"));
  // With the real buffer sizes most lines of the cases pass; with tiny ones none can.
  if (setup.threshold > 2 * kPassedRecord && passed_seen.size() > 200) {
    EXPECT_GT(passed_lines, 0u);
  }
}

std::string lines_of(std::size_t count, std::size_t length, const std::string& end) {
  std::string content;
  for (std::size_t i = 0; i < count; ++i) {
    std::string row(length, static_cast<char>('a' + i % 26));
    content += row + end;
  }
  return content;
}

TEST(LinePassage, LeavesWhatTheStatementsLeave) {
  const std::string cases[] = {
      "",
      lines_of(500, 60, "\n"),
      lines_of(500, 60, "\r\n"),
      lines_of(500, 79, "\r"),  // lone carriage returns end lines too
      lines_of(500, 80, "\n"),
      lines_of(300, 95, "\n") + lines_of(300, 96, "\n") + lines_of(300, 97, "\r\n"),
      lines_of(300, 127, "\n") + lines_of(300, 128, "\r\n") + lines_of(300, 129, "\n"),
      lines_of(300, 63, "\r\n") + lines_of(300, 64, "\n") + lines_of(300, 85, "\r"),
      lines_of(100, 300, "\n"),  // long lines, cut at 80
      lines_of(50, 9000, "\n"),  // longer than a read
      lines_of(400, 70, "\n") + "no line feed at the end",
      lines_of(200, 70, "\n") + "a P in the line\n" + lines_of(200, 70, "\n") +
          std::string(85, 'x') + "P beyond the 80\n" + lines_of(200, 70, "\n"),
  };
  for (PassagePath path : paths_at_hand()) {
    for (const std::string& content : cases) {
      expect_same_as_statements(content, {}, path);
      expect_same_as_statements(content, {kBufferSize, 400, ""}, path);
      // Records reach the threshold exactly: written out at once.
      expect_same_as_statements(content, {kBufferSize, 20 * kPassedRecord, ""}, path);
      expect_same_as_statements(content, {200, 100, std::string(1000, 'o')},
                                path);                        // old data: cut first
      expect_same_as_statements(content, {16, 8, ""}, path);  // records never fit: nothing passes
    }
  }
}

TEST(LinePassage, RandomFilesLeaveWhatTheStatementsLeave) {
  std::mt19937 random(20261209);
  const char bytes[] = {'\n', '\n', '\r', 'P', ' ', 'Z', '-', '\xb0'};
  for (int round = 0; round < 12; ++round) {
    std::string content;
    while (content.size() < 40000) {
      // Lines of every length around 80 and the scanned bytes, a few long
      // ones, random ends, now and then the watched byte.
      std::size_t length = random() % 8 == 0 ? random() % 400 : 50 + random() % 90;
      for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t r = random() % 256;
        content += r < 2 ? bytes[2 + random() % 6] : static_cast<char>('a' + r % 26);
      }
      content += round % 3 == 0 ? "\r\n" : round % 3 == 1 ? "\n" : (random() % 2 ? "\r" : "\n");
    }
    // Watched bytes found with the line ends in one table look-up, and
    // ones compared on their own (low four bits of a line end's; not ASCII).
    const char watched = "PZ-\xb0"[round % 4];
    for (PassagePath path : paths_at_hand()) {
      expect_same_as_statements(content, {}, path, watched);
      expect_same_as_statements(
          content, {kBufferSize, 1000 + 300 * static_cast<std::size_t>(round), ""}, path, watched);
    }
  }
}

TEST(LinePassage, DoesNotStartWhereTheStatementsWouldDoMore) {
  ScratchFolder dir;
  dir.write("in", lines_of(100, 60, "\n"));
  open_connection(kPassedIn, dir.path("in").string(), OpenStatus::old_file);
  char line[kInlineLineWidth];
  ASSERT_TRUE(
      read_line_or_end(kPassedIn, std::span<char, kInlineLineWidth>(line), kWatched).got_line);
  struct Case {
    const char* what;
    int from, to;
  } cases[] = {
      {"output not connected", kPassedIn, kPassedOut},
      {"input not connected", kPlainIn, kPassedIn},
      {"one connection both ways", kPassedIn, kPassedIn},
  };
  for (PassagePath path : paths_at_hand()) {
    for (const Case& c : cases) {
      LinePassage passage = begin_line_passage(c.from, c.to);
      EXPECT_EQ(pass_lines(passage, kWatched, path), 0u) << c.what;
      end_line_passage(passage);
    }
  }
  // Output that still holds old data: the first statement cuts it.
  dir.write("out", "old data\n");
  open_connection(kPassedOut, dir.path("out").string(), OpenStatus::unknown);
  for (PassagePath path : paths_at_hand()) {
    LinePassage passage = begin_line_passage(kPassedIn, kPassedOut);
    EXPECT_EQ(pass_lines(passage, kWatched, path), 0u);
    end_line_passage(passage);
  }
  close_connection(kPassedOut);
  close_connection(kPassedIn);
}

}  // namespace
}  // namespace wexla
