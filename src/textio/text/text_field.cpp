// The operations on fixed-width text: trimmed length, search, assignment
// and concatenation, each cutting or padding with blanks.
#include "textio/text/text_field.hpp"

#include <algorithm>
#include <cstring>

namespace wexla {

std::size_t string_len_trim(std::string_view text) {
  std::size_t length = text.size();
  while (length > 0 && text[length - 1] == kBlank) --length;
  return length;
}

int string_index_from(std::string_view text, std::string_view key, const char* at) {
  const char* const last = text.data() + (text.size() - key.size());
  for (;;) {
    if (std::memcmp(at + 1, key.data() + 1, key.size() - 1) == 0) {
      return static_cast<int>(at - text.data()) + 1;
    }
    if (at == last) return 0;
    ++at;
    std::size_t left = static_cast<std::size_t>(last - at) + 1;
    at = static_cast<const char*>(std::memchr(at, key.front(), left));
    if (at == nullptr) return 0;
  }
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
