// Connections: opening, buffering with tiny and default buffers, the cut at
// the first write, closing, the restart of the table, and the failures of
// each step, returned to the caller or ending the run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../host_facilities.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/ending/end_run.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/record.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::as_a_run;
using testing_support::open_on_full_disk;
using testing_support::ScratchFolder;

constexpr int kUnit = 23;

// The C library's texts, as a death test's pattern matches them.
const std::string kNoEntry = host::regex_quoted(host::error_text(ENOENT));
const std::string kNoSpace = host::regex_quoted(host::error_text(ENOSPC));

void write_line(std::string_view text) {
  write_record(kUnit, kWholeRecord, text);
}

Connection& open_for_writing(const ScratchFolder& dir, const std::string& name) {
  open_connection(kUnit, dir.path(name).string(), OpenStatus::unknown);
  return *find_connection(kUnit);
}

// --- Buffering -------------------------------------------------------------

// One record written as "(a)", or (record null) every connection flushed,
// and the file's size after it.
struct Step {
  const char* record;
  long size;
};

// Sizes worked out by hand from the rule: a record joins the pending bytes
// when some are pending or it is no longer than the threshold; pending bytes
// are written once the threshold is reached at a record end, or first when
// a record does not fit beside them.
struct BufferCase {
  const char* name;
  std::size_t capacity;
  std::size_t threshold;
  std::vector<Step> steps;
  long final_size;  // after the close
};

TEST(OutputBuffer, FileSizesAfterEveryRecord) {
  const BufferCase cases[] = {
      // One byte of buffer: no record fits, each goes straight out.
      {"tiny", 1, 0, {{"ab", 3}, {"", 4}, {"cd", 7}}, 7},
      // Records at the threshold are written at their end.
      {"at threshold", 4, 2, {{"a", 2}, {"b", 4}, {"cde", 8}, {"f", 10}}, 10},
      // Waiting, reaching the threshold, a large record into an empty
      // buffer, and one that outgrows the room beside the pending bytes.
      {"mixed",
       8,
       6,
       {{"ab", 0}, {"cd", 6}, {"efghij", 13}, {"k", 13}, {"lmnopq", 22}, {"", 22}},
       23},
      // A threshold of zero buffers nothing.
      {"no threshold", 8, 0, {{"a", 2}, {"bc", 5}, {"", 6}}, 6},
      // The threshold is at most the capacity: 16 pending bytes reach it.
      {"threshold above the capacity", 16, 100, {{"1234567", 0}, {"1234567", 16}}, 16},
      // 15 bytes do not fit beside 2: those are written, then the 15 go
      // straight through, being more than the threshold. After a flush, a
      // record that fits beside the 2 pending reaches the threshold with them.
      {"flush between records",
       16,
       8,
       {{"abc", 0},
        {"def", 8},
        {"g", 8},
        {"0123456789abcd", 25},
        {"0123", 25},
        {nullptr, 30},
        {"x", 30},
        {"0123456789", 43}},
       43},
  };
  for (const BufferCase& c : cases) {
    ScratchFolder dir;
    Connection& connection = open_for_writing(dir, "f");
    ASSERT_TRUE(connection.buffered);
    set_output_buffer(connection, c.capacity, c.threshold);
    std::string all;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      if (step.record == nullptr) {
        flush_all_connections();
      } else {
        write_line(step.record);
        all += std::string(step.record) + "\n";
      }
      EXPECT_EQ(size_on_disk(dir, "f"), step.size) << c.name << ", step " << i;
    }
    close_connection(kUnit);
    EXPECT_EQ(size_on_disk(dir, "f"), c.final_size) << c.name;
    EXPECT_EQ(dir.read("f"), all) << c.name;
  }
}

// Every small buffer and threshold, and the default buffer, keep every byte
// in order, whether a record is built in place, moves to the record buffer
// or goes out in pieces; records longer than the record buffer arrive whole.
TEST(OutputBuffer, EveryBufferKeepsTheBytesInOrder) {
  const std::vector<std::string> records = {
      "",
      "a",
      "0123456789",
      "xy",
      std::string(kRecordCapacity + 900, 'L'),
      "tail",
      "",
      "first",
      std::string(kRecordCapacity * 2 + 5, 'z'),
  };
  std::string all;
  for (const std::string& r : records) all += r + "\n";
  std::vector<std::pair<std::size_t, std::size_t>> buffers = {{kBufferSize, kFlushThreshold}};
  for (std::size_t capacity = 1; capacity <= 10; ++capacity) {
    for (std::size_t threshold = 0; threshold <= capacity; ++threshold) {
      buffers.emplace_back(capacity, threshold);
    }
  }
  for (const auto& [capacity, threshold] : buffers) {
    ScratchFolder dir;
    set_output_buffer(open_for_writing(dir, "f"), capacity, threshold);
    for (const std::string& r : records) write_line(r);
    close_connection(kUnit);
    ASSERT_EQ(dir.read("f"), all) << "capacity " << capacity << " threshold " << threshold;
  }
}

TEST(OutputBuffer, PromptWaitsInTheBufferOfAFile) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  write_record(kUnit, WEXLA_FORMAT("('Prompt ',$)"));
  EXPECT_EQ(size_on_disk(dir, "f"), 0);
  close_connection(kUnit);
  EXPECT_EQ(dir.read("f"), "Prompt ");
}

// --- The cut at the first write --------------------------------------------

TEST(OutputCut, FirstWriteOfAnOpeningCutsTheOldContent) {
  const struct {
    const char* what;
    std::string old;
    std::vector<std::vector<std::string>> openings;  // the records written after each
    std::string after;
  } cases[] = {
      {"first statement cuts",
       "old 1\nold 2\nold 3 is longer\n",
       {{"new", "second"}},
       "new\nsecond\n"},
      {"opened and never written", "old content\n", {std::vector<std::string>{}}, "old content\n"},
      {"every opening cuts afresh",
       "old\n",
       {{"a much longer first section"}, {"short"}},
       "short\n"},
  };
  for (const auto& c : cases) {
    ScratchFolder dir;
    dir.write("f", c.old);
    for (const std::vector<std::string>& records : c.openings) {
      open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
      for (const std::string& r : records) write_line(r);
      close_connection(kUnit);
    }
    EXPECT_EQ(dir.read("f"), c.after) << c.what;
  }
}

// --- Opening ---------------------------------------------------------------

TEST(Opening, NewFileGetsTheModeLessTheMask) {
  ScratchFolder dir;
  mode_t old_mask = ::umask(027);
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  ::umask(old_mask);
  close_connection(kUnit);
  struct stat st {};
  ASSERT_EQ(::stat(dir.path("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Opening, NamesKeepLeadingAndInnerBlanks) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path(" a b").string() + "   ", OpenStatus::unknown);
  EXPECT_EQ(find_connection(kUnit)->name(), dir.path(" a b").string());
  write_line("x");
  close_connection(kUnit);
  EXPECT_EQ(dir.read(" a b"), "x\n");
}

TEST(Opening, DescriptorsAreClosedOnExec) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  int fd = find_connection(kUnit)->descriptor;
  EXPECT_GT(fd, 2);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
  close_connection(kUnit);
}

TEST(Opening, SameFileAgainIsLeftAsItIs) {
  ScratchFolder dir;
  dir.write("f", "line one\nline two\n");
  open_connection(kUnit, dir.path("f").string(), OpenStatus::old_file);
  TextField<8> line;
  read_record(kUnit, kWholeRecord, line.span());
  open_connection(kUnit, dir.path("f").string(), OpenStatus::old_file);
  read_record(kUnit, kWholeRecord, line.span());
  EXPECT_EQ(line.view(), "line two");
  close_connection(kUnit);
}

TEST(Opening, OtherFileOnAConnectedNumberEndsTheOldConnection) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path("a").string(), OpenStatus::unknown);
  write_line("to a");
  open_connection(kUnit, dir.path("b").string(), OpenStatus::unknown);
  write_line("to b");
  close_connection(kUnit);
  EXPECT_EQ(dir.read("a"), "to a\n");
  EXPECT_EQ(dir.read("b"), "to b\n");
}

TEST(Opening, ReadThenWriteContinuesWhereTheReadStopped) {
  ScratchFolder dir;
  dir.write("f", "keep\nold tail\n");
  open_connection(kUnit, dir.path("f").string(), OpenStatus::old_file);
  TextField<4> line;
  read_record(kUnit, kWholeRecord, line.span());
  write_line("new");
  close_connection(kUnit);
  EXPECT_EQ(dir.read("f"), "keep\nnew\n");
}

TEST(OpeningDeathTest, Failures) {
  ScratchFolder dir;
  dir.write("f", "x\n");
  EXPECT_EXIT(as_a_run([&] {
                open_connection(kUnit, dir.path("f").string(), OpenStatus::old_file);
                open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
              }),
              testing::ExitedWithCode(2),
              "\\(unit = 23, file = '.*/f'\\)\n"
              "Wexla run-time error: Cannot change STATUS parameter in OPEN statement\n");
  EXPECT_EXIT(
      as_a_run([&] { open_connection(kUnit, dir.path("missing").string(), OpenStatus::old_file); }),
      testing::ExitedWithCode(2),
      "of file test_connections.cpp \\(unit = 23\\)\n"
      "Wexla run-time error: Cannot open file '.*/missing': " +
          kNoEntry + "\n");
  EXPECT_EXIT(
      as_a_run([&] { open_connection(0, dir.path("no/such/dir").string(), OpenStatus::unknown); }),
      testing::ExitedWithCode(2),
      "of file test_connections.cpp\n"
      "Wexla run-time error: Cannot open file '.*/no/such/dir': " +
          kNoEntry + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path("missing")));
}

// --- Failures returned to the caller ---------------------------------------

TEST(ConnectionErrors, AFailedWriteIsReturnedAndThePendingBytesDropped) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  Connection& c = open_on_full_disk(kUnit, dir, "f");
  ASSERT_FALSE(put(c, "abc", 3));
  ASSERT_FALSE(end_record(c));  // 4 bytes pending, below the threshold
  IoError e = flush(c);
  EXPECT_EQ(e.trouble, Trouble::writing);
  EXPECT_EQ(e.system_error, ENOSPC);
  EXPECT_FALSE(flush(c)) << "the failed bytes were written twice";
  // A record larger than the threshold goes straight out and fails there.
  std::string large(kFlushThreshold + 1, 'x');
  ASSERT_FALSE(put(c, large.data(), large.size()));
  EXPECT_EQ(end_record(c).trouble, Trouble::writing);
  EXPECT_FALSE(release(c));
  EXPECT_EQ(find_connection(kUnit), nullptr);
}

TEST(ConnectionErrors, AFailedReadIsReturned) {
  ScratchFolder dir;
  std::filesystem::create_directory(dir.path("d"));
  int fd = ::open(dir.path("d").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  Connection& c = *free_slot();
  attach(c, kUnit, fd, "d", Action::read_only, OpenStatus::old_file);
  IoError e = read_ahead(c);
  EXPECT_EQ(e.trouble, Trouble::reading);
  EXPECT_EQ(e.system_error, EISDIR);
  EXPECT_TRUE(input(c).empty());
  close_connection(kUnit);
}

TEST(ConnectionErrors, TheReasonLineOfEachTrouble) {
  EXPECT_STREQ(reason_text({Trouble::end_of_record}), "End of record");
  EXPECT_STREQ(reason_text({Trouble::end_of_file}), "End of file");
  EXPECT_STREQ(reason_text({Trouble::writing, ENOSPC}), std::strerror(ENOSPC));
  EXPECT_FALSE(system_failure(Trouble::cutting, 0));
  EXPECT_EQ(system_failure(Trouble::cutting, EIO).trouble, Trouble::cutting);
}

TEST(Restart, EndsEveryConnectionAndMakesTheStandardOnes) {
  ScratchFolder dir;
  open_for_writing(dir, "f");
  write_line("pending");
  EXPECT_EQ(size_on_disk(dir, "f"), 0);
  ASSERT_FALSE(restart_connections());
  EXPECT_EQ(dir.read("f"), "pending\n");
  EXPECT_EQ(find_connection(kUnit), nullptr);
  for (int number : {kStdinConnection, kStdoutConnection, kStderrConnection}) {
    ASSERT_NE(find_connection(number), nullptr) << number;
  }
  EXPECT_EQ(find_connection(kStdinConnection)->action, Action::read_only);
  EXPECT_EQ(find_connection(kStdoutConnection)->descriptor, 1);
}

TEST(Restart, ReturnsAFailedFinalWrite) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  open_on_full_disk(kUnit, dir, "f");
  write_line("lost");
  EXPECT_EQ(restart_connections().system_error, ENOSPC);
  EXPECT_EQ(find_connection(kUnit), nullptr);
}

// --- Failures that end the run ---------------------------------------------

TEST(WriteFailureDeathTest, RefusedWritesEndTheRun) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  std::filesystem::create_symlink("/dev/full", dir.path("full"));
  // A device gets every record at once: the first write is refused.
  EXPECT_EXIT(as_a_run([&] {
                open_connection(kUnit, dir.path("full").string(), OpenStatus::unknown);
                write_line("lost");
              }),
              testing::ExitedWithCode(2),
              "\\(unit = 23, file = '.*/full'\\)\nWexla run-time error: " + kNoSpace + "\n");
}

TEST(WriteFailureDeathTest, FailedFinalWriteAtCloseEndsTheRun) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  EXPECT_EXIT(as_a_run([&] {
                open_on_full_disk(kUnit, dir, "f");
                write_line("buffered until the close");
                close_connection(kUnit);
              }),
              testing::ExitedWithCode(2), "Wexla run-time error: " + kNoSpace + "\n");
}

TEST(WriteFailureDeathTest, FailedFlushAtTheEndOfTheRunIsReportedOnce) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  EXPECT_EXIT(as_a_run([&] {
                open_on_full_disk(kUnit, dir, "f");
                open_on_full_disk(kUnit + 1, dir, "g");
                write_line("pending in f");
                write_record(kUnit + 1, kWholeRecord, std::string_view("pending in g"));
              }),
              testing::ExitedWithCode(2),
              "^At line [0-9]+ of file test_connections.cpp \\(unit = 23, file = '.*/f'\\)\n"
              "Wexla run-time error: " +
                  kNoSpace + "\n\nError termination. Backtrace:\n(#[^\n]*\n)*$");
}

TEST(WriteFailureDeathTest, FailureDuringAFailingRunKeepsTheFirstReport) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  EXPECT_EXIT(as_a_run([&] {
                open_on_full_disk(kUnit, dir, "f");
                write_line("pending");
                TextField<8> line;
                open_connection(kUnit + 1, dir.path("f").string(), OpenStatus::old_file);
                read_record(kUnit + 1, kWholeRecord, line.span());  // empty file: end of file
              }),
              testing::ExitedWithCode(2),
              "^At line [0-9]+ of file test_connections.cpp \\(unit = 24, file = '.*/f'\\)\n"
              "Wexla run-time error: End of file\n\nError termination. Backtrace:\n(#[^\n]*\n)*$");
}

}  // namespace
}  // namespace wexla
