// The byte work of the line read: the head of a line copied with blanks
// after its end, a whole line taken with its end, a byte looked for in a
// fixed-width text, and a short search. The plain versions are checked on
// worked cases; the vector versions, where the processor has them, must
// give the same bytes on the same cases and on random lines. The AVX2 take
// of the lines that pass at once must pass exactly the lines its rule
// names, each as the plain take takes it, and list every line feed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "textio/text/line_bytes.hpp"
#include "textio/text/line_bytes_avx2.hpp"

namespace wexla {
namespace {

constexpr std::size_t kWidth = 80;

struct HeadCase {
  std::string input;  // padded with 'z' to more than kWidth bytes
  bool stop_at_cr;
  std::size_t end;
  std::string head;  // what the target holds before its blanks
};

std::string padded(std::string text) {
  text.resize(kWidth + 20, 'z');
  return text;
}

const HeadCase kHeadCases[] = {
    {"abc\ndef", false, 3, "abc"},
    {"\nabc", false, 0, ""},
    {"abc\r\ndef", false, 4, "abc\r"},  // a carriage return is data without the CR stop
    {"abc\r\ndef", true, 3, "abc"},
    {"a\rb\nc", true, 1, "a"},
    {"a\nb\rc", true, 1, "a"},  // the earlier of the two ends the line
    {"\r", true, 0, ""},
    {std::string(15, 'x') + "\n", false, 15, std::string(15, 'x')},  // last byte of a chunk
    {std::string(16, 'x') + "\n", false, 16, std::string(16, 'x')},  // first byte of the next
    {std::string(63, 'x') + "\n", false, 63, std::string(63, 'x')},  // last of the first 64
    {std::string(64, 'x') + "\r", true, 64, std::string(64, 'x')},   // first after them
    {std::string(79, 'x') + "\n", false, 79, std::string(79, 'x')},
    {std::string(80, 'x') + "\n", false, 80, std::string(80, 'x')},  // the end lies beyond
    {std::string(80, 'x') + "\r", true, 80, std::string(80, 'x')},
    {std::string(100, 'y'), true, 80, std::string(80, 'y')},
    {std::string(70, ' ') + "\n", false, 70, std::string(70, ' ')},
    {std::string("\xff\x80\x7f\x0a"), false, 3, "\xff\x80\x7f"},  // bytes of every sign
    {"aPb\nc", false, 3, "aPb"},                                  // the watched byte in the line
    {"ab\nPc", false, 2, "ab"},  // ... after its end: not in the line
    {std::string(79, 'x') + "P", false, 80, std::string(79, 'x') + "P"},
    {std::string(80, 'x') + "P\n", false, 80, std::string(80, 'x')},  // beyond the 80
};

// Runs one version of the head copy and checks the end, the target, and
// whether the line holds "P" or a blank (which the padding holds).
template <class Copy>
void expect_heads(Copy copy, const char* version) {
  for (const HeadCase& c : kHeadCases) {
    std::string input = padded(c.input);
    std::string expected = c.head + std::string(kWidth - c.head.size(), ' ');
    for (char watched : {'P', ' '}) {
      std::string target(kWidth, '#');
      LineHead head = copy(target.data(), input.data(), c.stop_at_cr, watched);
      EXPECT_EQ(head.end, c.end) << version << " on " << c.input;
      EXPECT_EQ(target, expected) << version << " on " << c.input;
      EXPECT_EQ(head.holds_watched, expected.find(watched) != std::string::npos)
          << version << " on " << c.input << " watching '" << watched << "'";
    }
  }
}

TEST(LineBytes, HeadOfALineEndsAtItsFirstEndAndBlanksTheRest) {
  expect_heads(copy_line_head_plain<kWidth>, "plain");
}

struct TakeCase {
  std::string input;  // all of it is at hand
  bool stop_at_cr;
  std::size_t consumed;  // 0: the line cannot be taken from this input
  std::string head;      // what the target holds before its blanks
};

const std::string k95(95, 'x');  // one short of the bytes the vector version scans
const TakeCase kTakeCases[] = {
    // Fewer than 81 bytes at hand: never taken, whatever they hold.
    {"abc\n", false, 0, ""},
    {std::string(80, 'x'), false, 0, ""},
    {"abc\n" + std::string(77, 'y'), false, 4, "abc"},  // 81 bytes: taken
    {"abc\r\n" + std::string(90, 'y'), true, 5, "abc"},
    {"abc\r\n" + std::string(90, 'y'), false, 5, "abc\r"},  // no CR stop: the CR is data
    {"abc\rdef\n" + std::string(90, 'y'), true, 4, "abc"},  // a lone CR ends the line
    {"abc\r\r\n" + std::string(90, 'y'), true, 4, "abc"},   // only CR LF is one end
    {"\n" + std::string(90, 'y'), false, 1, ""},
    {std::string(79, 'x') + "\r\n" + std::string(20, 'y'), true, 81, std::string(79, 'x')},
    // A line of 80 or more: cut, its rest skipped to the line feed, CRs and all.
    {std::string(80, 'x') + "\n" + std::string(20, 'y'), false, 81, std::string(80, 'x')},
    {std::string(80, 'x') + "\r\n" + std::string(20, 'y'), true, 82, std::string(80, 'x')},
    {std::string(85, 'x') + "\r" + std::string(5, 'z') + "\n" + std::string(20, 'y'), true, 92,
     std::string(80, 'x')},
    {k95 + "\n" + std::string(20, 'y'), false, 96, std::string(80, 'x')},  // last scanned byte
    {std::string(96, 'x') + "\n" + std::string(20, 'y'), false, 97, std::string(80, 'x')},
    {std::string(300, 'x') + "\n", false, 301, std::string(80, 'x')},
    {std::string(300, 'x'), false, 0, ""},  // its line feed is not at hand
    {std::string(90, 'x'), false, 0, ""},
    // The watched byte counts within the first 80 and before the end only.
    {"aPb\n" + std::string(90, 'y'), false, 4, "aPb"},
    {"ab\nP" + std::string(90, 'y'), false, 3, "ab"},
    {std::string(80, 'x') + "P\n" + std::string(20, 'y'), false, 82, std::string(80, 'x')},
};

// Runs one version of the line take and checks what it consumed, the
// target, and whether the line holds "P" or a blank.
template <class Take>
void expect_takes(Take take, const char* version) {
  for (const TakeCase& c : kTakeCases) {
    for (char watched : {'P', ' '}) {
      std::string target(kWidth, '#');
      LineTaken taken = take(target.data(), c.input.data(), c.input.size(), c.stop_at_cr, watched);
      EXPECT_EQ(taken.consumed, c.consumed) << version << " on " << c.input;
      if (c.consumed == 0) continue;
      std::string expected = c.head + std::string(kWidth - c.head.size(), ' ');
      EXPECT_EQ(target, expected) << version << " on " << c.input;
      EXPECT_EQ(taken.holds_watched, expected.find(watched) != std::string::npos)
          << version << " on " << c.input << " watching '" << watched << "'";
    }
  }
}

TEST(LineBytes, ALineIsTakenToItsEndCutOrPadded) {
  expect_takes(take_line_plain<kWidth>, "plain");
#ifdef WEXLA_SSE2_BYTES
  expect_takes(take_line_sse2<kWidth>, "sse2");
#endif
  expect_takes(take_line<kWidth>, "chosen");
}

TEST(LineBytes, ByteInAFixedWidthText) {
  struct Case {
    std::size_t at;  // where the byte stands, or kWidth for nowhere
    char byte;
  } cases[] = {{0, 'P'},      {15, 'P'},    {16, 'P'},    {79, 'P'},
               {kWidth, 'P'}, {40, '\xb0'}, {kWidth, ' '}};
  for (const Case& c : cases) {
    std::string text(kWidth + 16, '.');
    text[kWidth] = c.byte;  // just beyond the width: never counts
    if (c.at < kWidth) text[c.at] = c.byte;
    bool expected = c.at < kWidth;
    EXPECT_EQ(holds_byte_plain<kWidth>(text.data(), c.byte), expected) << c.at;
#ifdef WEXLA_SSE2_BYTES
    EXPECT_EQ(holds_byte_sse2<kWidth>(text.data(), c.byte), expected) << c.at;
#endif
    EXPECT_EQ(holds_byte<kWidth>(text.data(), c.byte), expected) << c.at;
  }
}

TEST(LineBytes, ShortSearchFindsTheFirstOrTheLength) {
  struct Case {
    std::string text;
    std::size_t length;  // bytes searched; the text may go on beyond them
    std::size_t found;
  } cases[] = {
      {"", 0, 0},
      {"\n", 1, 0},
      {"ab\ncd\n", 6, 2},
      {std::string(16, 'x') + "\n", 17, 16},
      {std::string(31, 'x') + "\n", 32, 31},
      {std::string(40, 'x') + "\n", 40, 40},  // just beyond the length: not found
      {std::string(17, 'x'), 17, 17},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(find_byte_plain(c.text.data(), c.length, '\n'), c.found) << c.length;
#ifdef WEXLA_SSE2_BYTES
    EXPECT_EQ(find_byte_sse2(c.text.data(), c.length, '\n'), c.found) << c.length;
#endif
  }
}

#ifdef WEXLA_SSE2_BYTES
// Random lines drawn mostly from the bytes that matter (line ends, blanks,
// the key byte), at every length around the chunk edges.
TEST(LineBytes, VectorVersionsGiveThePlainBytes) {
  std::mt19937 random(12345);
  const char alphabet[] = {'\n', '\r', ' ', 'P', 'a', '\0', '\x80', '\xff'};
  for (int round = 0; round < 20000; ++round) {
    std::string input(kWidth + 60, 'q');
    std::size_t ends = random() % 4;  // few ends, so that long heads occur
    for (char& c : input) {
      std::uint32_t r = random() % 64;
      if (r < 8) c = alphabet[r];
    }
    for (std::size_t i = 0; i < ends; ++i) input[random() % input.size()] = '\n';
    if (round % 3 == 0) {
      for (char& c : input) {
        if (c == '\n' || c == '\r') c = 'q';
      }
      input[random() % input.size()] = round % 2 ? '\n' : '\r';
    }
    bool stop_at_cr = round % 2 == 0;
    std::string plain(kWidth, '#');
    std::string vector(kWidth, '%');
    char watched = alphabet[round % 8];
    // Every amount at hand, from too little to all of it.
    std::size_t available = random() % (input.size() + 1);
    LineTaken plain_taken =
        take_line_plain<kWidth>(plain.data(), input.data(), available, stop_at_cr, watched);
    LineTaken vector_taken =
        take_line_sse2<kWidth>(vector.data(), input.data(), available, stop_at_cr, watched);
    ASSERT_EQ(vector_taken.consumed, plain_taken.consumed) << round;
    if (plain_taken.consumed != 0) {
      ASSERT_EQ(vector_taken.holds_watched, plain_taken.holds_watched) << round;
      ASSERT_EQ(vector, plain) << round;
    }
    ASSERT_EQ(holds_byte_sse2<kWidth>(input.data(), 'P'),
              holds_byte_plain<kWidth>(input.data(), 'P'))
        << round;
    std::size_t length = random() % input.size();
    ASSERT_EQ(find_byte_sse2(input.data(), length, '\r'),
              find_byte_plain(input.data(), length, '\r'))
        << round;
  }
}
#endif

#ifdef WEXLA_AVX2_BYTES
// The AVX2 take with its choices made at run time.
[[gnu::target("avx2,bmi,popcnt")]] bool take_listed_line_avx2_with(char* to, const char* from,
                                                                   std::size_t length,
                                                                   bool stop_at_cr, char watched) {
  const LineStops stops = line_stops(watched);
  if (!stop_at_cr) return take_listed_line_avx2<kWidth, false, false>(to, from, length, stops);
  return stops_fit_one_table(watched)
             ? take_listed_line_avx2<kWidth, true, true>(to, from, length, stops)
             : take_listed_line_avx2<kWidth, true, false>(to, from, length, stops);
}

[[gnu::target("avx2,bmi,popcnt")]] std::vector<std::uint32_t> line_feeds_avx2(
    const std::string& input, std::uint32_t base) {
  std::vector<std::uint32_t> found(input.size() + 2);
  found.resize(index_line_feeds_avx2(input.data(), input.size() / 64, base, found.data()));
  return found;
}

// Which lines pass at once, byte by byte: the text before the line feed
// (without the CR of a CR LF) holds no watched byte and, with stop_at_cr,
// no carriage return among its first 96 bytes.
bool passes_at_once(const std::string& input, bool stop_at_cr, char watched) {
  std::size_t text = input.find('\n');
  if (stop_at_cr && text > 0 && input[text - 1] == '\r') --text;
  for (std::size_t i = 0; i < std::min<std::size_t>(text, 96); ++i) {
    if (input[i] == watched || (stop_at_cr && input[i] == '\r')) return false;
  }
  return true;
}

// Checks the AVX2 take of the line at the start of `input` against the
// rule above and the plain take; the input holds a line feed, needs 96
// bytes, and without stop_at_cr holds no CR.
void expect_pass_at_once(const std::string& input, bool stop_at_cr, char watched) {
  ASSERT_GE(input.size(), 96u);
  const std::size_t length = input.find('\n');
  ASSERT_NE(length, std::string::npos);
  std::string plain(kWidth, '#');
  LineTaken taken =
      take_line_plain<kWidth>(plain.data(), input.data(), input.size(), stop_at_cr, watched);
  std::string vector(96, '%');
  const bool passed =
      take_listed_line_avx2_with(vector.data(), input.data(), length, stop_at_cr, watched);
  ASSERT_EQ(passed, passes_at_once(input, stop_at_cr, watched))
      << "on " << input << " watching '" << watched << "'";
  if (!passed) return;
  // Where it passes, it passes what the plain take takes.
  ASSERT_EQ(taken.consumed, length + 1) << "on " << input;
  ASSERT_FALSE(taken.holds_watched) << "on " << input;
  ASSERT_EQ(vector.substr(0, kWidth), plain) << "on " << input;
}

// A watched byte for each kind of look-up: found with the carriage returns
// in one table ('P', NUL, a line feed), or compared on its own (low four
// bits of CR's, not ASCII).
constexpr char kWatchedBytes[] = {'P', '\0', '\n', '-', '\xb0'};

TEST(LineBytes, AvxTakePassesTheLinesItsRuleNames) {
  if (!avx2_at_hand()) GTEST_SKIP() << "this processor has no AVX2";
  struct Case {
    std::string line;  // followed by 'y' to 200 bytes
    bool stop_at_cr;
  } cases[] = {
      {"abc\n", false},
      {"\n", false},
      {"\r\n", true},
      {"abc\r\n", true},
      {"abc\rdef\n", true},                   // a lone CR: the general way
      {"abc\r\r\n", true},                    // only the last CR belongs to the line's end
      {std::string(31, 'x') + "\n", false},   // the last byte of a chunk
      {std::string(32, 'x') + "\r\n", true},  // the first of the next
      {std::string(63, 'x') + "\r\n", true},
      {std::string(79, 'x') + "\r\n", true},
      {std::string(80, 'x') + "\r\n", true},
      {std::string(85, 'x') + "\r" + std::string(20, 'x') + "\n", true},  // a CR beyond the text
      {std::string(96, 'x') + "\r\n", true},
      {std::string(97, 'x') + "\r" + std::string(20, 'x') + "\n", true},  // beyond the 96 looked at
      {std::string(95, 'x') + "\n", false},
      {std::string(96, 'x') + "\n", false},
      {std::string(150, 'x') + "\n", false},  // long: cut at 80
      {"aPb\n", false},
      {std::string(79, 'x') + "P\n", false},
      {std::string(85, 'x') + "P\n", false},  // P beyond the text, within 96: the general way
      {std::string(96, 'x') + "P\n", false},  // P beyond the 96 looked at
      {"ab\nP", false},                       // after the line feed: not in the line
      {"a-b\r\n", true},
      {"a\xb0"
       "b\n",
       false},
      {std::string("a\0b\n", 4), false},
  };
  for (const Case& c : cases) {
    std::string input = c.line;
    input.resize(200, 'y');
    for (char watched : kWatchedBytes) expect_pass_at_once(input, c.stop_at_cr, watched);
  }
}

TEST(LineBytes, AvxTakeOnRandomLines) {
  if (!avx2_at_hand()) GTEST_SKIP() << "this processor has no AVX2";
  std::mt19937 random(4242);
  const char alphabet[] = {'\r', ' ', 'P', '-', '\0', '\xb0'};
  for (int round = 0; round < 40000; ++round) {
    // A line of every length from 0 to past the 96 bytes looked at, with
    // now and then a stop in it, and a CR LF end now and then.
    std::string input(200, 'q');
    for (char& c : input) {
      std::uint32_t r = random() % 256;
      if (r < 6) c = alphabet[r];
    }
    std::size_t length = random() % 140;
    input[length] = '\n';
    if (length > 0 && random() % 2) input[length - 1] = '\r';
    bool stop_at_cr = round % 2 == 0;
    if (!stop_at_cr) std::replace(input.begin(), input.end(), '\r', 'q');
    expect_pass_at_once(input, stop_at_cr, kWatchedBytes[round % 5]);
  }
}

TEST(LineBytes, AvxListOfLineFeeds) {
  if (!avx2_at_hand()) GTEST_SKIP() << "this processor has no AVX2";
  std::mt19937 random(777);
  for (int round = 0; round < 2000; ++round) {
    // From no line feed to all of them, so that words hold 0, 1, 2 and more.
    std::string input(64 * (1 + random() % 8), 'x');
    const std::uint32_t density = 1 + random() % 100;
    for (char& c : input) {
      if (random() % 100 < density) c = '\n';
    }
    std::vector<std::uint32_t> expected;
    for (std::size_t i = 0; i < input.size(); ++i) {
      if (input[i] == '\n') expected.push_back(static_cast<std::uint32_t>(i) + 1000);
    }
    ASSERT_EQ(line_feeds_avx2(input, 1000), expected) << round;
  }
}
#endif

}  // namespace
}  // namespace wexla
