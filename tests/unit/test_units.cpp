// Connections: opening, buffering, the cut at the first write, closing and
// the failures of each step.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "../host_facilities.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/ending/end_run.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/record.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::ScratchFolder;

constexpr int kUnit = 23;

// The C library's texts, as a death test's pattern matches them.
const std::string kNoEntry = host::regex_quoted(host::error_text(ENOENT));
const std::string kNoSpace = host::regex_quoted(host::error_text(ENOSPC));

long size_on_disk(const ScratchFolder& dir, const std::string& name) {
  struct stat st {};
  return ::stat(dir.path(name).c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

void write_line(std::string_view text) {
  write_record(kUnit, kWholeRecord, text);
}

TEST(UnitBuffer, RecordsWaitUntilTheThresholdIsReached) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  Connection& c = *find_connection(kUnit);
  ASSERT_TRUE(c.buffered);
  set_output_buffer(c, 16, 8);
  write_line("abc");  // 4 bytes pending
  EXPECT_EQ(size_on_disk(dir, "f"), 0);
  write_line("def");  // 8 pending: written at the record end
  EXPECT_EQ(size_on_disk(dir, "f"), 8);
  write_line("g");
  EXPECT_EQ(size_on_disk(dir, "f"), 8);
  // 15 bytes do not fit beside 2: those are written, then the 15 go
  // straight through, being more than the threshold.
  write_line("0123456789abcd");
  EXPECT_EQ(size_on_disk(dir, "f"), 25);
  write_line("0123");
  EXPECT_EQ(size_on_disk(dir, "f"), 25);
  flush_all_connections();
  EXPECT_EQ(size_on_disk(dir, "f"), 30);
  write_line("x");
  write_line("0123456789");  // fits beside the 2 pending; 13 then reach the threshold
  EXPECT_EQ(size_on_disk(dir, "f"), 43);
  close_connection(kUnit);
  EXPECT_EQ(dir.read("f"), "abc\ndef\ng\n0123456789abcd\n0123\nx\n0123456789\n");
}

TEST(UnitBuffer, PromptWaitsInTheBufferOfAFile) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  write_record(kUnit, WEXLA_FORMAT("('Prompt ',$)"));
  EXPECT_EQ(size_on_disk(dir, "f"), 0);
  close_connection(kUnit);
  EXPECT_EQ(dir.read("f"), "Prompt ");
}

TEST(UnitBuffer, RecordsLongerThanTheRecordBufferArriveWhole) {
  ScratchFolder dir;
  std::string line(kRecordCapacity * 2 + 5, 'z');
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  write_line("first");
  write_line(line);
  close_connection(kUnit);
  EXPECT_EQ(dir.read("f"), "first\n" + line + "\n");
}

TEST(UnitCut, FirstStatementCutsOldContent) {
  ScratchFolder dir;
  dir.write("f", "old 1\nold 2\nold 3 is longer\n");
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  write_line("new");
  write_line("second");
  close_connection(kUnit);
  EXPECT_EQ(dir.read("f"), "new\nsecond\n");
}

TEST(UnitCut, FileOpenedAndNeverWrittenKeepsItsContent) {
  ScratchFolder dir;
  dir.write("f", "old content\n");
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  close_connection(kUnit);
  EXPECT_EQ(dir.read("f"), "old content\n");
}

TEST(UnitCut, EveryOpeningCutsAfresh) {
  ScratchFolder dir;
  dir.write("f", "old\n");
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  write_line("a much longer first section");
  close_connection(kUnit);
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  write_line("short");
  close_connection(kUnit);
  EXPECT_EQ(dir.read("f"), "short\n");
}

TEST(UnitOpen, NewFileGetsTheModeLessTheMask) {
  ScratchFolder dir;
  mode_t old_mask = ::umask(027);
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  ::umask(old_mask);
  close_connection(kUnit);
  struct stat st {};
  ASSERT_EQ(::stat(dir.path("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(UnitOpen, NamesKeepLeadingAndInnerBlanks) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path(" a b").string() + "   ", OpenStatus::unknown);
  EXPECT_EQ(find_connection(kUnit)->name(), dir.path(" a b").string());
  write_line("x");
  close_connection(kUnit);
  EXPECT_EQ(dir.read(" a b"), "x\n");
}

TEST(UnitOpen, DescriptorsAreClosedOnExec) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
  int fd = find_connection(kUnit)->descriptor;
  EXPECT_GT(fd, 2);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
  close_connection(kUnit);
}

TEST(UnitOpen, SameFileAgainIsLeftAsItIs) {
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

TEST(UnitOpen, OtherFileOnAConnectedNumberEndsTheOldConnection) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path("a").string(), OpenStatus::unknown);
  write_line("to a");
  open_connection(kUnit, dir.path("b").string(), OpenStatus::unknown);
  write_line("to b");
  close_connection(kUnit);
  EXPECT_EQ(dir.read("a"), "to a\n");
  EXPECT_EQ(dir.read("b"), "to b\n");
}

TEST(UnitOpen, ReadThenWriteContinuesWhereTheReadStopped) {
  ScratchFolder dir;
  dir.write("f", "keep\nold tail\n");
  open_connection(kUnit, dir.path("f").string(), OpenStatus::old_file);
  TextField<4> line;
  read_record(kUnit, kWholeRecord, line.span());
  write_line("new");
  close_connection(kUnit);
  EXPECT_EQ(dir.read("f"), "keep\nnew\n");
}

TEST(UnitOpenDeathTest, Failures) {
  ScratchFolder dir;
  dir.write("f", "x\n");
  EXPECT_EXIT(
      {
        open_connection(kUnit, dir.path("f").string(), OpenStatus::old_file);
        open_connection(kUnit, dir.path("f").string(), OpenStatus::unknown);
      },
      testing::ExitedWithCode(2),
      "\\(unit = 23, file = '.*/f'\\)\n"
      "Wexla run-time error: Cannot change STATUS parameter in OPEN statement\n");
  EXPECT_EXIT(open_connection(kUnit, dir.path("missing").string(), OpenStatus::old_file),
              testing::ExitedWithCode(2),
              "of file test_units.cpp \\(unit = 23\\)\n"
              "Wexla run-time error: Cannot open file '.*/missing': " +
                  kNoEntry + "\n");
  EXPECT_EXIT(open_connection(0, dir.path("no/such/dir").string(), OpenStatus::unknown),
              testing::ExitedWithCode(2),
              "of file test_units.cpp\n"
              "Wexla run-time error: Cannot open file '.*/no/such/dir': " +
                  kNoEntry + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path("missing")));
}

TEST(UnitWriteDeathTest, RefusedWritesEndTheRun) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  std::filesystem::create_symlink("/dev/full", dir.path("full"));
  // A device gets every record at once: the first write is refused.
  EXPECT_EXIT(
      {
        open_connection(kUnit, dir.path("full").string(), OpenStatus::unknown);
        write_line("lost");
      },
      testing::ExitedWithCode(2),
      "\\(unit = 23, file = '.*/full'\\)\nWexla run-time error: " + kNoSpace + "\n");
}

// Opens a buffered connection on a regular file whose writes are then
// refused, as on a full disk: its descriptor is pointed at /dev/full.
void open_on_full_disk(int number, const ScratchFolder& dir, const std::string& name) {
  open_connection(number, dir.path(name).string(), OpenStatus::unknown);
  int full = ::open("/dev/full", O_WRONLY);
  ::dup2(full, find_connection(number)->descriptor);
  ::close(full);
}

TEST(UnitWriteDeathTest, FailedFinalWriteAtCloseEndsTheRun) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  EXPECT_EXIT(
      {
        open_on_full_disk(kUnit, dir, "f");
        write_line("buffered until the close");
        close_connection(kUnit);
      },
      testing::ExitedWithCode(2), "Wexla run-time error: " + kNoSpace + "\n");
}

TEST(UnitWriteDeathTest, FailedFlushAtTheEndOfTheRunIsReportedOnce) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  EXPECT_EXIT(
      {
        open_on_full_disk(kUnit, dir, "f");
        open_on_full_disk(kUnit + 1, dir, "g");
        write_line("pending in f");
        write_record(kUnit + 1, kWholeRecord, std::string_view("pending in g"));
        end_run(0);
      },
      testing::ExitedWithCode(2),
      "^At line [0-9]+ of file test_units.cpp \\(unit = 23, file = '.*/f'\\)\n"
      "Wexla run-time error: " +
          kNoSpace + "\n\nError termination. Backtrace:\n(#[^\n]*\n)*$");
}

TEST(UnitWriteDeathTest, FailureDuringAFailingRunKeepsTheFirstReport) {
  SKIP_WHEN(host::why_no_full_device());
  ScratchFolder dir;
  EXPECT_EXIT(
      {
        open_on_full_disk(kUnit, dir, "f");
        write_line("pending");
        TextField<8> line;
        open_connection(kUnit + 1, dir.path("f").string(), OpenStatus::old_file);
        read_record(kUnit + 1, kWholeRecord, line.span());  // empty file: end of file
      },
      testing::ExitedWithCode(2),
      "^At line [0-9]+ of file test_units.cpp \\(unit = 24, file = '.*/f'\\)\n"
      "Wexla run-time error: End of file\n\nError termination. Backtrace:\n(#[^\n]*\n)*$");
}

}  // namespace
}  // namespace wexla
