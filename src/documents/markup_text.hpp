// Text from a results file, or any text, put into HTML and SVG: the bytes
// that are not UTF-8 as U+FFFD, and the characters that markup gives a
// meaning escaped, so that a line holding "<script>" shows as text.
#pragma once

#include <string>
#include <string_view>

namespace wexla {

// Appends `bytes` as text for an element's content or a quoted attribute.
void append_markup_text(std::string& out, std::string_view bytes);

// The same as a string of its own.
std::string markup_text(std::string_view bytes);

}  // namespace wexla
