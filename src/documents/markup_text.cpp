// Escaping text for HTML and SVG.
#include "documents/markup_text.hpp"

#include "documents/json_text.hpp"

namespace wexla {

void append_markup_text(std::string& out, std::string_view bytes) {
  std::string text;
  append_utf8_text(text, bytes);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        // Control characters other than the tab have no place in markup.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
          out += "\xEF\xBF\xBD";
        } else {
          out += c;
        }
    }
  }
}

std::string markup_text(std::string_view bytes) {
  std::string out;
  append_markup_text(out, bytes);
  return out;
}

}  // namespace wexla
