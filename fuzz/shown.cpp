// Bytes shown readably in the message of a failed fuzz check.
#include <cstdio>

#include "checks.hpp"

namespace wexla::fuzz {

std::string shown(std::string_view bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    }
  }
  return out + "\"";
}

std::string hex32(std::uint32_t bits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", bits);
  return text;
}

}  // namespace wexla::fuzz
