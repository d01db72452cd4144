#include <gtest/gtest.h>

#include <string>

#include "textio/text_field.hpp"

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
      {"anything", "", 1},  {"", "", 1},        {"x", "xy", 0},        {"a.b.c", ".", 2},
      {"MAE =", "MAE  =", 0}, {"xMAE  =", "MAE  =", 2}, {"abcabc", "cab", 3}, {"abc", "abc", 1},
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

}  // namespace
}  // namespace wexla
