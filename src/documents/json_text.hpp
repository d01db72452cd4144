// Texts of the documents from bytes: JSON strings (RFC 8259) and UTF-8
// text, the bytes that are not UTF-8 made visible but kept recoverable.
#pragma once

#include <string>
#include <string_view>

namespace wexla {

// True when `bytes` is well-formed UTF-8 (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool is_utf8(std::string_view bytes);

// Appends `bytes` as a JSON string, quotes included: the quote, the
// backslash and the control characters escaped, valid UTF-8 copied as it
// is, and every byte that is not part of a valid UTF-8 sequence written as
// U+FFFD ("\ufffd").
void append_json_string(std::string& out, std::string_view bytes);

// Appends the bytes as lower-case hexadecimal digits, two per byte, quoted.
void append_hex_string(std::string& out, std::string_view bytes);

// Appends the bytes' hexadecimal digits alone, without quotes.
void append_hex_digits(std::string& out, std::string_view bytes);

// Appends the bytes as UTF-8 text: valid sequences as they are, every byte
// that is not part of one as U+FFFD, as the JSON strings have them.
void append_utf8_text(std::string& out, std::string_view bytes);

}  // namespace wexla
