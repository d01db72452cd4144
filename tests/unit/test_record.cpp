// Record statements over connections and in-memory records: formats
// walked on output and input, line ends, the end of a file and failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/record.hpp"
#include "textio/text/text_field.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::as_a_run;
using testing_support::ScratchFolder;

constexpr int kUnit = 22;

// Writes through a file connection and returns what reached the file.
template <class... Values>
std::string written(const Format& f, const Values&... values) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path("out.txt").string(), OpenStatus::unknown);
  write_record(kUnit, f, values...);
  close_connection(kUnit);
  return dir.read("out.txt");
}

TEST(RecordWrite, LiteralsBlanksAndRecordEnds) {
  using namespace std::string_literals;
  EXPECT_EQ(written(WEXLA_FORMAT("(9x,'  n',13x,'WSS',7x,'Best WSS')")),
            "           n             WSS       Best WSS\n");
  EXPECT_EQ(written(WEXLA_FORMAT("(/,'banner',/)")), "\nbanner\n\n");
  EXPECT_EQ(written(WEXLA_FORMAT("(/,1x,'Press return to finish')")),
            "\n Press return to finish\n");
  EXPECT_EQ(written(WEXLA_FORMAT("('it''s')")), "it's\n");
  // X blanks with nothing after them in the record are never written.
  EXPECT_EQ(written(WEXLA_FORMAT("('a',5x)")), "a\n");
  EXPECT_EQ(written(WEXLA_FORMAT("('a',5x,/,'b')")), "a\nb\n");
  EXPECT_EQ(written(WEXLA_FORMAT("(3x,a)"), std::string_view("v")), "   v\n");
  EXPECT_EQ(written(WEXLA_FORMAT("()")), "\n");
}

TEST(RecordWrite, TextItems) {
  std::string line = "abc" + std::string(77, ' ');
  EXPECT_EQ(written(kWholeRecord, std::string_view(line)), line + "\n");
  EXPECT_EQ(written(WEXLA_FORMAT("(a38)"), std::string_view(line)), line.substr(0, 38) + "\n");
  EXPECT_EQ(written(kWholeRecord, std::string_view()), "\n");
  EXPECT_EQ(written(WEXLA_FORMAT("(a5)"), std::string_view("ab")), "   ab\n");
  // The literal after the last data item is written with it.
  EXPECT_EQ(written(WEXLA_FORMAT("(1x,'This file, ',a,'.OUT, odd',/)"), std::string_view("r")),
            " This file, r.OUT, odd\n\n");
}

TEST(RecordWrite, DollarKeepsTheRecordOpenForTheNextStatement) {
  ScratchFolder dir;
  open_connection(kUnit, dir.path("out.txt").string(), OpenStatus::unknown);
  write_record(kUnit, WEXLA_FORMAT("('Prompt ',$)"));
  write_record(kUnit, WEXLA_FORMAT("(/,'Message (',a,')',/)"), std::string_view("x"));
  write_record(kUnit, WEXLA_FORMAT("('Prompt ',$)"));
  write_record(kUnit, WEXLA_FORMAT("('more')"));
  close_connection(kUnit);
  EXPECT_EQ(dir.read("out.txt"), "Prompt \nMessage (x)\n\nPrompt more\n");
}

TEST(RecordWrite, InMemoryRecordIsFilledWithBlanks) {
  TextField<40> record;
  record.chars.fill('#');
  TextField<32> value{"12.5"};
  write_record(record.span(), kWholeRecord, value.view());
  EXPECT_EQ(record.view(), "12.5" + std::string(36, ' '));
}

TEST(RecordWriteDeathTest, MismatchedItemsAndOverflowEndTheRun) {
  TextField<4> record;
  EXPECT_EXIT(
      as_a_run([&] { write_record(record.span(), kWholeRecord, std::string_view("too long")); }),
      testing::ExitedWithCode(2), "Wexla run-time error: End of record");
  EXPECT_EXIT(as_a_run([&] { write_record(record.span(), WEXLA_FORMAT("(i3)"), 1.5f); }),
              testing::ExitedWithCode(2), "Value 1 is REAL but its format item is I");
  EXPECT_EXIT(as_a_run([&] { write_record(record.span(), WEXLA_FORMAT("('x')"), 1); }),
              testing::ExitedWithCode(2), "No format item left for value 1");
}

// Reads every line of `content` with "(a)" into a field of `width`.
template <std::size_t Width>
std::vector<std::string> lines_read(const std::string& content) {
  ScratchFolder dir;
  testing_support::open_with_content(dir, kUnit, content);
  std::vector<std::string> lines;
  TextField<Width> line;
  while (read_record_or_end(kUnit, kWholeRecord, line.span())) lines.emplace_back(line.view());
  // At the end the target keeps its previous value.
  if (!lines.empty()) {
    EXPECT_EQ(std::string(line.view()), lines.back());
  }
  close_connection(kUnit);
  return lines;
}

std::string pad(const std::string& text, std::size_t width) {
  std::string out = text;
  out.resize(width, ' ');
  return out;
}

TEST(RecordRead, LineEnds) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(lines_read<5>("abc\nde\n"), (Lines{pad("abc", 5), pad("de", 5)}));
  EXPECT_EQ(lines_read<5>("abc\r\nde\r\n"), (Lines{pad("abc", 5), pad("de", 5)}));
  EXPECT_EQ(lines_read<5>("abc\rde\r"), (Lines{pad("abc", 5), pad("de", 5)}));
  EXPECT_EQ(lines_read<5>("abc\r"), (Lines{pad("abc", 5)}));
  EXPECT_EQ(lines_read<5>("abc\n\nde"), (Lines{pad("abc", 5), pad("", 5), pad("de", 5)}));
  EXPECT_EQ(lines_read<5>(""), Lines{});
  EXPECT_EQ(lines_read<5>("\n"), Lines{pad("", 5)});
  // A long line is cut; the rest is skipped up to the next line feed, so a
  // long line ending in a lone carriage return swallows what follows.
  EXPECT_EQ(lines_read<3>("abcdef\ngh\n"), (Lines{"abc", pad("gh", 3)}));
  EXPECT_EQ(lines_read<3>("abcdef\rgh\rij\nkl\n"), (Lines{"abc", pad("kl", 3)}));
  EXPECT_EQ(lines_read<3>("abc\r\nde"), (Lines{"abc", pad("de", 3)}));
  // Commas, TABs and NUL bytes are ordinary characters in a text field.
  EXPECT_EQ(lines_read<5>(std::string("a,\t\0b\n", 6)), (Lines{std::string("a,\t\0b", 5)}));
}

TEST(RecordRead, LongerTargetsAndShortFields) {
  using Lines = std::vector<std::string>;
  std::string forty(40, 'x');
  forty[31] = 'y';
  EXPECT_EQ(lines_read<32>(forty + "\nnext\n"), (Lines{forty.substr(0, 32), pad("next", 32)}));
  EXPECT_EQ(lines_read<32>("eleven char\n"), (Lines{pad("eleven char", 32)}));
}

TEST(RecordRead, LinesLongerThanTheReadBuffer) {
  std::string huge(3 * kBufferSize + 17, 'q');
  std::vector<std::string> lines = lines_read<80>(huge + "\r\n" + "after\n" + huge);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(80, 'q'));
  EXPECT_EQ(lines[1], pad("after", 80));
  EXPECT_EQ(lines[2], std::string(80, 'q'));
}

TEST(RecordReadDeathTest, EndOfFileWithoutABranchEndsTheRun) {
  ScratchFolder dir;
  EXPECT_EXIT(as_a_run([&] {
                testing_support::open_with_content(dir, kUnit, "");
                TextField<8> line;
                read_record(kUnit, kWholeRecord, line.span());
              }),
              testing::ExitedWithCode(2),
              "At line [0-9]+ of file test_record.cpp \\(unit = 22, file = '.*input.txt'\\)\n"
              "Wexla run-time error: End of file\n");
}

TEST(RecordReadDeathTest, CommaAloneOnAnUnfinishedLastLineIsTheEnd) {
  ScratchFolder dir;
  EXPECT_EXIT(as_a_run([&] {
                testing_support::open_with_content(dir, kUnit, ",");
                float value = 0;
                read_record(kUnit, WEXLA_FORMAT("(f14.0)"), value);
              }),
              testing::ExitedWithCode(2), "End of file");
}

TEST(RecordRead, InMemoryRecordSkipsAndTakesFields) {
  std::string line = pad("Final WSS    12.5", 80);
  float fit_wss = 0;
  read_record(std::span<const char>(line.data(), line.size()), WEXLA_FORMAT("(13x,g14.0)"),
              fit_wss);
  EXPECT_EQ(fit_wss, 12.5f);
  TextField<4> word;
  std::string record = "ab,\ncd";
  read_record(std::span<const char>(record.data(), record.size()), WEXLA_FORMAT("(2x,a4)"),
              word.span());
  EXPECT_EQ(word.view(), ",\ncd");
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

}  // namespace
}  // namespace wexla
