// Fixed-width text: assignment, trimmed length, search and concatenation.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "textio/text/text_field.hpp"

namespace wexla {
namespace {

TEST(TextField, AssignmentPadsOrCuts) {
  TextField<5> small;
  small.assign("abc");
  EXPECT_EQ(small.view(), "abc  ");
  TextField<32> name;
  name.assign(std::string(40, 'x'));
  EXPECT_EQ(name.view(), std::string(32, 'x'));
  name.assign("");
  EXPECT_EQ(name.view(), std::string(32, ' '));
}

TEST(TextField, TrimRemovesOnlyTrailingBlanks) {
  struct Case {
    std::string text;
    std::size_t trimmed;
  } cases[] = {
      {"", 0}, {"     ", 0}, {"a b  ", 3}, {"a\t", 2}, {"  a", 3}, {std::string("a\0 ", 3), 2},
  };
  for (const Case& c : cases) EXPECT_EQ(string_len_trim(c.text), c.trimmed) << '"' << c.text << '"';
}

TEST(TextField, IndexFindsFirstOccurrence) {
  struct Case {
    std::string_view text, key;
    int position;
  } cases[] = {
      {"anything", "", 1},
      {"", "", 1},
      {"x", "xy", 0},
      {"a.b.c", ".", 2},
      {"MAE =", "MAE  =", 0},
      {"xMAE  =", "MAE  =", 2},
      {"abcabc", "cab", 3},
      {"abc", "abc", 1},
      {"Final wss", "Final WSS", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(string_index(c.text, c.key), c.position) << c.text;
}

TEST(TextField, ConcatCutsAtTargetWidth) {
  char target[32];
  std::string prefix(30, 'p');
  concat_string(target, prefix, ".OUT");
  EXPECT_EQ(std::string(target, 32), prefix + ".O");

  char wide[10];
  concat_string(wide, "ab", "cd");
  EXPECT_EQ(std::string(wide, 10), "abcd      ");

  char narrow[3];
  concat_string(narrow, "abcdef", "gh");
  EXPECT_EQ(std::string(narrow, 3), "abc");
}

// The search skips to each candidate first character; texts over two
// letters make many candidates, near misses and matches at both ends. The
// reference tries every starting position.
TEST(TextField, IndexAgreesWithTryingEveryPosition) {
  auto reference = [](std::string_view text, std::string_view key) {
    if (key.empty()) return 1;
    for (std::size_t at = 0; at + key.size() <= text.size(); ++at) {
      if (text.substr(at, key.size()) == key) return static_cast<int>(at) + 1;
    }
    return 0;
  };
  std::uint32_t state = 12345;
  auto next = [&state] { return state = state * 1664525u + 1013904223u; };
  for (int round = 0; round < 20000; ++round) {
    std::string text(next() % 12, 'a'), key(next() % 5, 'a');
    for (char& c : text) c = static_cast<char>('a' + (next() >> 16) % 2);
    for (char& c : key) c = static_cast<char>('a' + (next() >> 16) % 2);
    ASSERT_EQ(string_index(text, key), reference(text, key)) << text << " / " << key;
  }
}

}  // namespace
}  // namespace wexla
