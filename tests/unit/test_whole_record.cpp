// Statements whose format is "(a)" with one text value skip the format walk.
// They must do exactly what the walk does: each case runs the same input both
// ways, on two connections, and compares the values, the end-of-file branch,
// the position reached and, for writes, what is on disk after every record
// (with tiny buffers, so that every flush and cut must fall at the same point).
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "textio/connections/connection_table.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/record.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::ScratchFolder;

constexpr int kShort = 24;   // the statements without the walk
constexpr int kWalked = 25;  // the same statements, walking the format

// One "(a)" read through the walk: begin, one transfer, end.
bool walked_read(int unit, std::span<char> target) {
  ReadStatement<ConnectionSource> s = begin_read(unit, kWholeRecord, true);
  read_text(s, target);
  return end_read(s);
}

void walked_write(int unit, std::string_view text) {
  WriteStatement<ConnectionSink> s = begin_write(unit, kWholeRecord);
  write_text(s, text);
  end_write(s);
}

// Reads the whole content both ways into targets of `width` characters.
void expect_same_reads(const std::string& content, std::size_t width) {
  ScratchFolder dir;
  dir.write("a", content);
  dir.write("b", content);
  open_connection(kShort, dir.path("a").string(), OpenStatus::old_file);
  open_connection(kWalked, dir.path("b").string(), OpenStatus::old_file);
  std::vector<char> short_target(width + 1, '#'), walked_target(width + 1, '#');
  for (int record = 0; record < 100000; ++record) {
    bool short_more =
        read_record_or_end(kShort, kWholeRecord, std::span<char>(short_target.data(), width));
    bool walked_more = walked_read(kWalked, std::span<char>(walked_target.data(), width));
    ASSERT_EQ(short_more, walked_more) << "record " << record << " width " << width;
    ASSERT_EQ(short_target, walked_target) << "record " << record << " width " << width;
    ASSERT_EQ(find_connection(kShort)->position, find_connection(kWalked)->position)
        << "record " << record;
    if (!short_more) break;
  }
  close_connection(kShort);
  close_connection(kWalked);
}

TEST(WholeRecord, ReadsAsTheWalkDoes) {
  const std::string long_line(8100, 'L');
  const std::string cases[] = {
      "",
      "abc\n",
      "abc",
      "abc\r\ndef\n",
      "ab\rcd\nef\n",
      "\n\n\n",
      "a,b,,c\n",
      std::string(80, 'x') + "\n" + std::string(81, 'y') + "\n" + std::string(200, 'z') + "\n",
      // Lines across the boundary of the 8192-byte reads.
      long_line + "\n" + std::string(90, 'b') + "\n" + std::string(90, 'c') + "\nend",
      std::string(8191, 'c') + "\r\nnext\n",
      std::string(8191, 'd') + "\rnext\n",
      std::string(8192, 'e') + "\n" + std::string(20000, 'f') + "\ng\n",
  };
  for (const std::string& content : cases) {
    for (std::size_t width : {80u, 1u, 7u, 200u, 0u}) expect_same_reads(content, width);
  }
}

TEST(WholeRecord, ReadsRandomLinesAsTheWalkDoes) {
  std::mt19937 random(20251209);
  const char alphabet[] = {'a', ' ', ',', '\n', '\n', '\r', 'b', 'c'};
  for (int round = 0; round < 20; ++round) {
    std::string content;
    std::size_t length = random() % 30000;
    for (std::size_t i = 0; i < length; ++i) {
      // Long runs without line ends, so that lines of every length appear.
      content += alphabet[random() % (round % 2 == 0 ? 8 : 3)];
    }
    expect_same_reads(content, 80);
  }
}

// Writes the texts both ways on files that hold old data, with the buffer
// capacity and threshold given, and compares the files after every record.
void expect_same_writes(const std::vector<std::string>& texts, std::size_t capacity,
                        std::size_t threshold) {
  ScratchFolder dir;
  const std::string old_content(100, 'o');
  dir.write("a", old_content);
  dir.write("b", old_content);
  open_connection(kShort, dir.path("a").string(), OpenStatus::unknown);
  open_connection(kWalked, dir.path("b").string(), OpenStatus::unknown);
  for (int unit : {kShort, kWalked}) set_output_buffer(*find_connection(unit), capacity, threshold);
  for (const std::string& text : texts) {
    write_record(kShort, kWholeRecord, std::string_view(text));
    walked_write(kWalked, text);
    ASSERT_EQ(size_on_disk(dir, "a"), size_on_disk(dir, "b")) << "after " << text.size();
  }
  close_connection(kShort);
  close_connection(kWalked);
  EXPECT_EQ(dir.read("a"), dir.read("b"));
}

TEST(WholeRecord, WritesAsTheWalkDoes) {
  std::vector<std::string> texts;
  for (std::size_t length : {0u, 1u, 6u, 7u, 8u, 15u, 16u, 17u, 80u, 3u, 4096u, 4095u, 9000u, 2u}) {
    texts.push_back(std::string(length, static_cast<char>('a' + length % 26)));
  }
  expect_same_writes(texts, 16, 8);
  expect_same_writes(texts, 100, 50);
  expect_same_writes(texts, kBufferSize, kFlushThreshold);
}

// A connection read ahead and then written: the read-ahead is given back
// before the record goes to the file.
TEST(WholeRecord, WriteAfterReadOnTheSameConnection) {
  ScratchFolder dir;
  const std::string content = "first line\nsecond line\nthird line\n";
  dir.write("a", content);
  dir.write("b", content);
  open_connection(kShort, dir.path("a").string(), OpenStatus::old_file);
  open_connection(kWalked, dir.path("b").string(), OpenStatus::old_file);
  std::array<char, 80> line{};
  ASSERT_TRUE(read_record_or_end(kShort, kWholeRecord, std::span<char>(line)));
  ASSERT_TRUE(walked_read(kWalked, std::span<char>(line)));
  write_record(kShort, kWholeRecord, std::string_view("new"));
  walked_write(kWalked, "new");
  close_connection(kShort);
  close_connection(kWalked);
  EXPECT_EQ(dir.read("a"), "first line\nnew\n");
  EXPECT_EQ(dir.read("a"), dir.read("b"));
}

}  // namespace
}  // namespace wexla
