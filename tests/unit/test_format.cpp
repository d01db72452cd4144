// The format parser: every item kind, blanks between items, and the
// refusal of malformed formats.
#include <gtest/gtest.h>

#include <string>

#include "textio/records/format.hpp"

namespace wexla {
namespace {

// The items in order, or the parser's refusal, so that one comparison
// shows both.
std::string shape(const Format& f) {
  if (!f.ok()) return std::string("refused: ") + f.error;
  std::string out;
  for (std::size_t i = 0; i < f.count; ++i) {
    const FormatItem& item = f.items[i];
    if (!out.empty()) out += ' ';
    switch (item.kind) {
      // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about
      // a C string added to a temporary std::string.
      case ItemKind::literal:
        out += '\'';
        out += f.literal(item);
        out += '\'';
        break;
      case ItemKind::skip:
        out += std::to_string(item.width) + "x";
        break;
      case ItemKind::slash:
        out += "/";
        break;
      case ItemKind::dollar:
        out += "$";
        break;
      case ItemKind::text:
        out += 'a';
        if (item.has_width) out += std::to_string(item.width);
        break;
      case ItemKind::integer:
        out += 'i';
        out += std::to_string(item.width);
        if (item.has_digits) {
          out += '.';
          out += std::to_string(item.digits);
        }
        break;
      case ItemKind::general:
      case ItemKind::fixed:
        out += item.kind == ItemKind::general ? "g" : "f";
        out += std::to_string(item.width) + "." + std::to_string(item.digits);
        break;
    }
  }
  return out;
}

TEST(FormatParse, ProgramFormats) {
  struct Case {
    const char* text;
    const char* shape;
  } cases[] = {
      {"(9x,'  n',13x,'WSS',7x,'Best WSS')", "9x '  n' 13x 'WSS' 7x 'Best WSS'"},
      {"('Enter the OUT file name ',$)", "'Enter the OUT file name ' $"},
      {"(/,'This .OUT file (',a,          ') does not exist in this directory',/)",
       "/ 'This .OUT file (' a ') does not exist in this directory' /"},
      {"(1x,'The WSS(',i3,'*) is ',g14.6,',',g14.6)", "1x 'The WSS(' i3 '*) is ' g14.6 ',' g14.6"},
      {"(a,' (',i3.3,') WSS =',g14.6)", "a ' (' i3.3 ') WSS =' g14.6"},
      {"(a38)", "a38"},
      {"(13x,g14.0)", "13x g14.0"},
      {"(f14.0)", "f14.0"},
      {"(/,1x,'WSS within ',g10.3,'% of best ',i5)", "/ 1x 'WSS within ' g10.3 '% of best ' i5"},
      {"()", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shape(parse_format(c.text)), c.shape) << c.text;
  }
}

TEST(FormatParse, CaseBlanksTabsAndDoubledApostrophes) {
  EXPECT_EQ(shape(parse_format(" ( 2X ,\t'it''s' , A5,I4.2 , G10.3, F8.2 ,\t$ ) ")),
            "2x 'it's' a5 i4.2 g10.3 f8.2 $");
  // Inside a literal every character counts.
  EXPECT_EQ(shape(parse_format("('  a\t,b  ')")), "'  a\t,b  '");
  EXPECT_EQ(shape(parse_format("('''')")), "'''");
}

TEST(FormatParse, RefusesMalformedFormats) {
  for (const char* text :
       {"",     "a",     "(a",   "(a,)", "(,a)", "(a b)", "('abc)",   "(3)",    "(x)",  "(i)",
        "(i0)", "(g14)", "(f5)", "(a0)", "(q3)", "(a))",  "(10000x)", "(i300)", "(a)x", "(g14.)"}) {
    Format f = parse_format(text);
    EXPECT_FALSE(f.ok()) << text;
    EXPECT_NE(f.error, nullptr);
  }
}

TEST(FormatParse, BoundsItemsAndText) {
  std::string many = "(";
  for (std::size_t i = 0; i < kMaxFormatItems + 1; ++i) many += i ? ",/" : "/";
  EXPECT_FALSE(parse_format(many + ")").ok());
  std::string long_literal = "('" + std::string(kMaxFormatText + 1, 'x') + "')";
  EXPECT_FALSE(parse_format(long_literal).ok());
}

}  // namespace
}  // namespace wexla
