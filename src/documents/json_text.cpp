// JSON strings from bytes: escapes, UTF-8 checked sequence by sequence,
// stray bytes as U+FFFD, and the hexadecimal form of the bytes.
#include "documents/json_text.hpp"

namespace wexla {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

bool continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence starting at bytes[at], or 0 when the
// byte there does not start one.
std::size_t sequence_length(std::string_view bytes, std::size_t at) {
  auto byte = [&](std::size_t k) -> unsigned {
    return at + k < bytes.size() ? static_cast<unsigned char>(bytes[at + k]) : 0u;
  };
  unsigned lead = byte(0);
  if (lead < 0x80) return 1;
  // The second byte's range depends on the lead (RFC 3629, section 4).
  unsigned low = 0x80, high = 0xBF;
  std::size_t length;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high || at + length > bytes.size()) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (!continuation(static_cast<unsigned char>(byte(k)))) return 0;
  }
  return length;
}

}  // namespace

bool is_utf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t length = sequence_length(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

void append_json_string(std::string& out, std::string_view bytes) {
  out += '"';
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t length = sequence_length(bytes, at);
    if (length == 0) {
      out += "\\ufffd";
      ++at;
      continue;
    }
    if (length > 1) {
      out.append(bytes.substr(at, length));
      at += length;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(bytes[at++]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHexDigits[c >> 4];
          out += kHexDigits[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void append_hex_digits(std::string& out, std::string_view bytes) {
  for (char b : bytes) {
    unsigned char c = static_cast<unsigned char>(b);
    out += kHexDigits[c >> 4];
    out += kHexDigits[c & 0xF];
  }
}

void append_hex_string(std::string& out, std::string_view bytes) {
  out += '"';
  append_hex_digits(out, bytes);
  out += '"';
}

void append_utf8_text(std::string& out, std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t length = sequence_length(bytes, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
    } else {
      out.append(bytes.substr(at, length));
      at += length;
    }
  }
}

}  // namespace wexla
