#include "textio/text_field.hpp"

#include <algorithm>
#include <cstring>

namespace wexla {

std::size_t string_len_trim(std::string_view text) {
  std::size_t length = text.size();
  while (length > 0 && text[length - 1] == kBlank) --length;
  return length;
}

int string_index(std::string_view text, std::string_view key) {
  if (key.empty()) return 1;
  std::size_t at = text.find(key);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

void assign_text(std::span<char> target, std::string_view value) {
  std::size_t kept = std::min(value.size(), target.size());
  if (kept > 0) std::memmove(target.data(), value.data(), kept);
  std::fill(target.begin() + static_cast<std::ptrdiff_t>(kept), target.end(), kBlank);
}

void concat_string(std::span<char> target, std::string_view a, std::string_view b) {
  std::size_t from_a = std::min(a.size(), target.size());
  std::size_t from_b = std::min(b.size(), target.size() - from_a);
  // Copy b first when it might overlap the tail that a will fill.
  if (from_b > 0) std::memmove(target.data() + from_a, b.data(), from_b);
  if (from_a > 0) std::memmove(target.data(), a.data(), from_a);
  std::fill(target.begin() + static_cast<std::ptrdiff_t>(from_a + from_b), target.end(), kBlank);
}

}  // namespace wexla
