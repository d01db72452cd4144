// Messages and texts made of pieces, joined in one string.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace wexla {

// The pieces one after the other. (It also keeps clear of g++ 12's false
// -Wrestrict warning on a literal added to a temporary string.)
inline std::string join(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view piece : pieces) text += piece;
  return text;
}

}  // namespace wexla
