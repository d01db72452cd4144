// The helpers of the host-facility checks: quoting a text for a death
// test's pattern matches that text and nothing else.
#include <gtest/gtest.h>

#include <string>

#include "../host_facilities.hpp"

namespace {

// A quoted text matches itself and nothing that its unquoted characters
// would have matched as a pattern, in the regular expressions that death
// tests use.
TEST(HostFacilities, QuotedTextMatchesOnlyItself) {
  struct Case {
    std::string text;
    std::string impostor;
  } cases[] = {
      {"No such file or directory", "No such file or directory!"},
      {"a.b", "axb"},
      {"(x)", "x"},
      {"x+", "xx"},
      {"a|b", "a"},
      {"[ab]", "a"},
      {"^$", ""},
      {"a{2}", "aa"},
      {"a*?", "a"},
      {"\\d", "\\"},
  };
  for (const Case& c : cases) {
    testing::internal::RE pattern(host::regex_quoted(c.text));
    EXPECT_TRUE(testing::internal::RE::FullMatch(c.text, pattern)) << c.text;
    EXPECT_FALSE(testing::internal::RE::FullMatch(c.impostor, pattern)) << c.text;
  }
}

}  // namespace
