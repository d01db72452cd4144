#include "textio/shell.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "textio/text_field.hpp"

namespace wexla {

void system_sub(std::string_view command, Where where) {
  char text[kMaxFileName + 1];
  std::size_t length = std::min(string_len_trim(command), kMaxFileName);
  std::memcpy(text, command.data(), length);
  text[length] = '\0';
  flush_all_units(where);
  // A failing command only shows through its own messages, so its status
  // is kept but not acted on.
  [[maybe_unused]] int status = std::system(text);
}

}  // namespace wexla
