// Fixed-width text values: every text the program holds is a field of n
// one-byte characters, blank-padded on the right, with no terminator.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>

namespace wexla {

inline constexpr char kBlank = ' ';

template <std::size_t N>
struct TextField {
  static constexpr std::size_t width = N;
  std::array<char, N> chars;

  TextField() { chars.fill(kBlank); }
  explicit TextField(std::string_view value) { assign(value); }

  // Assignment cuts a longer value to N characters and pads a shorter one.
  void assign(std::string_view value);
  std::string_view view() const { return {chars.data(), N}; }
  std::string_view trimmed() const;
  std::span<char> span() { return chars; }
};

// Length of `text` without its trailing blanks; only 0x20 counts as a blank.
std::size_t string_len_trim(std::string_view text);

// Position, counted from 1, of the first occurrence of `key` in `text`;
// 0 when there is none. An empty key is found at position 1. The scanner
// searches every line for two keys and most lines hold neither key's first
// character, so that case is one inline memchr.
int string_index_from(std::string_view text, std::string_view key, const char* candidate);
inline int string_index(std::string_view text, std::string_view key) {
  if (key.empty()) return 1;
  if (key.size() > text.size()) return 0;
  const void* candidate = std::memchr(text.data(), key.front(), text.size() - key.size() + 1);
  if (candidate == nullptr) return 0;
  return string_index_from(text, key, static_cast<const char*>(candidate));
}

// Fills `target` with `a` followed by `b`, cut at its width or blank-padded.
void concat_string(std::span<char> target, std::string_view a, std::string_view b);

// Copies `value` into `target`, cut or blank-padded to its width.
void assign_text(std::span<char> target, std::string_view value);

template <std::size_t N>
void TextField<N>::assign(std::string_view value) {
  assign_text(chars, value);
}

template <std::size_t N>
std::string_view TextField<N>::trimmed() const {
  std::string_view all = view();
  return all.substr(0, string_len_trim(all));
}

}  // namespace wexla
