// Record formats: a parenthesised, comma-separated list of items such as
// "(1x,'The WSS(',i3,'*) is ',g14.6)". A format text is parsed once into a
// list of items; statements then only walk that list. The parser is
// constexpr so that the program's own formats are checked when it compiles.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "textio/numbers/number_field.hpp"
#include "textio/text/characters.hpp"

namespace wexla {

enum class ItemKind : std::uint8_t {
  literal,  // quoted text, doubled apostrophes folded to one
  skip,     // nX: n pending blanks on output, n characters skipped on input
  slash,    // /: end the current record
  dollar,   // $: keep the last record open at the end of the statement
  text,     // A or Aw
  integer,  // Iw or Iw.m
  general,  // Gw.d
  fixed,    // Fw.d
};

struct FormatItem {
  ItemKind kind = ItemKind::literal;
  bool has_width = false;     // A written with a width
  bool has_digits = false;    // I written with .m (G and F always have d)
  std::uint16_t width = 0;    // w of A, I, G, F; n of nX
  std::uint16_t digits = 0;   // m of Iw.m, d of Gw.d and Fw.d
  std::uint16_t text_at = 0;  // literal: offset into Format::text
  std::uint16_t text_length = 0;

  constexpr bool is_data() const {
    return kind == ItemKind::text || kind == ItemKind::integer || kind == ItemKind::general ||
           kind == ItemKind::fixed;
  }
};

inline constexpr std::size_t kMaxFormatItems = 64;
inline constexpr std::size_t kMaxFormatText = 512;
inline constexpr std::uint16_t kMaxSkip = 9999;
inline constexpr std::uint16_t kMaxTextWidth = 9999;

struct Format {
  std::array<FormatItem, kMaxFormatItems> items{};
  std::array<char, kMaxFormatText> text{};
  std::uint16_t count = 0;
  std::uint16_t text_used = 0;
  const char* error = nullptr;  // null when the format parsed
  std::uint16_t error_at = 0;   // offset of the offending character

  constexpr bool ok() const { return error == nullptr; }
  constexpr std::string_view literal(const FormatItem& item) const {
    return {text.data() + item.text_at, item.text_length};
  }
};

namespace format_detail {

constexpr bool is_space(char c) {
  return c == ' ' || c == '\t';
}

struct Cursor {
  std::string_view source;
  std::size_t at = 0;
  constexpr bool done() const { return at >= source.size(); }
  constexpr char peek() const { return done() ? '\0' : source[at]; }
  constexpr void skip_spaces() {
    while (!done() && is_space(source[at])) ++at;
  }
  // Reads an unsigned decimal number; returns -1 when no digit stands here
  // and -2 when it exceeds `limit`.
  constexpr long number(long limit) {
    if (done() || !is_digit(source[at])) return -1;
    long value = 0;
    while (!done() && is_digit(source[at])) {
      value = value * 10 + (source[at] - '0');
      if (value > limit) value = limit + 1;
      ++at;
    }
    return value > limit ? -2 : value;
  }
};

constexpr Format fail(Format f, const char* why, std::size_t at) {
  f.error = why;
  f.error_at = static_cast<std::uint16_t>(at);
  return f;
}

}  // namespace format_detail

constexpr Format parse_format(std::string_view source) {
  using namespace format_detail;
  Format f;
  Cursor c{source};
  c.skip_spaces();
  if (c.peek() != '(') return fail(f, "format must begin with '('", c.at);
  ++c.at;
  c.skip_spaces();
  if (c.peek() == ')') {
    ++c.at;
    c.skip_spaces();
    return c.done() ? f : fail(f, "text after the closing ')'", c.at);
  }
  for (;;) {
    c.skip_spaces();
    if (f.count == kMaxFormatItems) return fail(f, "too many format items", c.at);
    FormatItem item;
    std::size_t start = c.at;
    char head = to_lower(c.peek());
    if (c.done()) return fail(f, "format ends without ')'", c.at);
    if (head == '\'') {
      ++c.at;
      item.kind = ItemKind::literal;
      item.text_at = f.text_used;
      for (;;) {
        if (c.done()) return fail(f, "unterminated literal", start);
        char ch = c.source[c.at++];
        if (ch == '\'') {
          if (c.peek() != '\'') break;
          ++c.at;  // a doubled apostrophe stands for one
        }
        if (f.text_used == kMaxFormatText) return fail(f, "literal text too long", start);
        f.text[f.text_used++] = ch;
      }
      item.text_length = static_cast<std::uint16_t>(f.text_used - item.text_at);
    } else if (head == '/') {
      ++c.at;
      item.kind = ItemKind::slash;
    } else if (head == '$') {
      ++c.at;
      item.kind = ItemKind::dollar;
    } else if (is_digit(head)) {
      long n = c.number(kMaxSkip);
      if (n < 0) return fail(f, "count too large", start);
      c.skip_spaces();
      if (to_lower(c.peek()) != 'x') return fail(f, "expected x after a count", c.at);
      ++c.at;
      item.kind = ItemKind::skip;
      item.width = static_cast<std::uint16_t>(n);
    } else if (head == 'a') {
      ++c.at;
      item.kind = ItemKind::text;
      long w = c.number(kMaxTextWidth);
      if (w == -2 || w == 0) return fail(f, "bad width for a", c.at);
      if (w > 0) {
        item.has_width = true;
        item.width = static_cast<std::uint16_t>(w);
      }
    } else if (head == 'i' || head == 'g' || head == 'f') {
      ++c.at;
      item.kind = head == 'i'   ? ItemKind::integer
                  : head == 'g' ? ItemKind::general
                                : ItemKind::fixed;
      long w = c.number(kNumberFieldLimit);
      if (w <= 0) return fail(f, "missing or bad field width", c.at);
      item.width = static_cast<std::uint16_t>(w);
      if (c.peek() == '.') {
        ++c.at;
        long d = c.number(kNumberFieldLimit);
        if (d < 0) return fail(f, "missing or bad digit count", c.at);
        item.has_digits = true;
        item.digits = static_cast<std::uint16_t>(d);
      } else if (head != 'i') {
        return fail(f, "g and f need a digit count", c.at);
      }
    } else {
      return fail(f, "unknown format item", start);
    }
    f.items[f.count++] = item;
    c.skip_spaces();
    if (c.peek() == ',') {
      ++c.at;
      continue;
    }
    if (c.peek() == ')') {
      ++c.at;
      c.skip_spaces();
      return c.done() ? f : fail(f, "text after the closing ')'", c.at);
    }
    return fail(f, "expected ',' or ')'", c.at);
  }
}

// The program's formats are compile-time constants: a broken one does not build.
#define WEXLA_FORMAT(text)                                          \
  ([] {                                                             \
    constexpr ::wexla::Format parsed = ::wexla::parse_format(text); \
    static_assert(parsed.ok(), "bad format: " text);                \
    return parsed;                                                  \
  }())

}  // namespace wexla
