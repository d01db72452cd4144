// The connection layer on its own: the buffering rule with tiny buffers,
// and failures returned to the caller instead of ending the run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "textio/connections/connection_table.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/ending/failure.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/record.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::ScratchFolder;

constexpr int kUnit = 23;

long size_on_disk(const ScratchFolder& dir, const std::string& name) {
  struct stat st {};
  return ::stat(dir.path(name).c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

Connection& open_for_writing(const ScratchFolder& dir, const std::string& name) {
  open_connection(kUnit, dir.path(name).string(), OpenStatus::unknown);
  return *find_connection(kUnit);
}

// Sizes worked out by hand from the rule: a record joins the pending bytes
// when some are pending or it is no longer than the threshold; pending bytes
// are written once the threshold is reached at a record end, or first when
// a record does not fit beside them.
struct BufferCase {
  const char* name;
  std::size_t capacity;
  std::size_t threshold;
  std::vector<std::string> records;  // each written as one "(a)" record
  std::vector<long> sizes;           // the file's size after each record
  long final_size;                   // after the close
};

TEST(OutputBuffer, FileSizesAfterEveryRecord) {
  const BufferCase cases[] = {
      // One byte of buffer: no record fits, each goes straight out.
      {"tiny", 1, 0, {"ab", "", "cd"}, {3, 4, 7}, 7},
      // Records at the threshold are written at their end.
      {"at threshold", 4, 2, {"a", "b", "cde", "f"}, {2, 4, 8, 10}, 10},
      // Waiting, reaching the threshold, a large record into an empty
      // buffer, and one that outgrows the room beside the pending bytes.
      {"mixed", 8, 6, {"ab", "cd", "efghij", "k", "lmnopq", ""}, {0, 6, 13, 13, 22, 22}, 23},
      // A threshold of zero buffers nothing.
      {"no threshold", 8, 0, {"a", "bc", ""}, {2, 5, 6}, 6},
  };
  for (const BufferCase& c : cases) {
    ScratchFolder dir;
    set_output_buffer(open_for_writing(dir, "f"), c.capacity, c.threshold);
    std::string all;
    for (std::size_t i = 0; i < c.records.size(); ++i) {
      write_record(kUnit, kWholeRecord, std::string_view(c.records[i]));
      all += c.records[i] + "\n";
      EXPECT_EQ(size_on_disk(dir, "f"), c.sizes[i]) << c.name << ", record " << i;
    }
    close_connection(kUnit);
    EXPECT_EQ(size_on_disk(dir, "f"), c.final_size) << c.name;
    EXPECT_EQ(dir.read("f"), all) << c.name;
  }
}

// Every small buffer and threshold keeps every byte in order, whether a
// record is built in place, moves to the record buffer or goes out in pieces.
TEST(OutputBuffer, EverySmallBufferKeepsTheBytesInOrder) {
  const std::vector<std::string> records = {
      "", "a", "0123456789", "xy", std::string(kRecordCapacity + 900, 'L'), "tail", "",
  };
  std::string all;
  for (const std::string& r : records) all += r + "\n";
  for (std::size_t capacity = 1; capacity <= 10; ++capacity) {
    for (std::size_t threshold = 0; threshold <= capacity; ++threshold) {
      ScratchFolder dir;
      set_output_buffer(open_for_writing(dir, "f"), capacity, threshold);
      for (const std::string& r : records) write_record(kUnit, kWholeRecord, std::string_view(r));
      close_connection(kUnit);
      ASSERT_EQ(dir.read("f"), all) << "capacity " << capacity << " threshold " << threshold;
    }
  }
}

TEST(OutputBuffer, ThresholdIsAtMostTheCapacity) {
  ScratchFolder dir;
  set_output_buffer(open_for_writing(dir, "f"), 16, 100);
  write_record(kUnit, kWholeRecord, std::string_view("1234567"));
  EXPECT_EQ(size_on_disk(dir, "f"), 0);
  write_record(kUnit, kWholeRecord, std::string_view("1234567"));  // 16 pending: the threshold
  EXPECT_EQ(size_on_disk(dir, "f"), 16);
  close_connection(kUnit);
}

// A buffered connection whose writes are refused, as on a full disk.
Connection& open_on_full_disk(const ScratchFolder& dir) {
  Connection& c = open_for_writing(dir, "f");
  int full = ::open("/dev/full", O_WRONLY);
  ::dup2(full, c.descriptor);
  ::close(full);
  return c;
}

TEST(ConnectionErrors, AFailedWriteIsReturnedAndThePendingBytesDropped) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  ScratchFolder dir;
  Connection& c = open_on_full_disk(dir);
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
  write_record(kUnit, kWholeRecord, std::string_view("pending"));
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
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  ScratchFolder dir;
  open_on_full_disk(dir);
  write_record(kUnit, kWholeRecord, std::string_view("lost"));
  EXPECT_EQ(restart_connections().system_error, ENOSPC);
  EXPECT_EQ(find_connection(kUnit), nullptr);
}

TEST(MemoryRecords, SinkAndSourceStopAtTheEndOfTheRecord) {
  char record[4];
  MemorySink sink{record, sizeof record};
  EXPECT_FALSE(put(sink, "ab", 2));
  EXPECT_EQ(put(sink, "xyz", 3).trouble, Trouble::end_of_record);
  EXPECT_EQ(put_blanks(sink, 3).trouble, Trouble::end_of_record);
  EXPECT_EQ(next_record(sink).trouble, Trouble::end_of_record);
  EXPECT_FALSE(finish(sink, false));
  EXPECT_EQ(std::string(record, 4), "ab  ");

  const char text[] = "12\n45";
  MemorySource source{text, 5};
  char field[8] = {};
  std::size_t got = 99;
  EXPECT_FALSE(take(source, field, 3, true, got));  // a line feed is an ordinary byte here
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(std::string(field, 3), "12\n");
  EXPECT_EQ(take(source, field, 3, false, got).trouble, Trouble::end_of_record);
  EXPECT_EQ(next_record(source).trouble, Trouble::end_of_record);
}

TEST(FailureReportDeathTest, TheReportIsRememberedWithoutEndingTheRun) {
  EXPECT_EXIT(
      {
        if (failure_reported()) std::_Exit(4);
        write_failure_report(Where::current(), {7, {}}, "first");
        std::_Exit(failure_reported() ? 3 : 5);
      },
      testing::ExitedWithCode(3), "\\(unit = 7\\)\nWexla run-time error: first\n");
}

}  // namespace
}  // namespace wexla
