// The strict JSON reader: a recursive descent over the text, with the
// number grammar and the string escapes of RFC 8259, and duplicate member
// names refused.
#include "json_reader.hpp"

#include <cstdint>

namespace wexla::fuzz {
namespace {

constexpr int kMaxDepth = 16;

struct Reader {
  std::string_view text;
  std::size_t at = 0;
  std::string error;

  bool fail(const char* why) {
    if (error.empty()) error = std::string(why) + " at byte " + std::to_string(at);
    return false;
  }
  void skip_space() {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
      ++at;
  }
  bool literal(std::string_view word) {
    if (text.substr(at, word.size()) != word) return fail("unknown literal");
    at += word.size();
    return true;
  }
  bool digits() {
    std::size_t from = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at > from || fail("digit expected");
  }
  bool number(JsonValue& v) {
    std::size_t from = at;
    if (text[at] == '-') ++at;
    if (at < text.size() && text[at] == '0') {
      ++at;
    } else if (!digits()) {
      return false;
    }
    if (at < text.size() && text[at] == '.') {
      ++at;
      if (!digits()) return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
      ++at;
      if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
      if (!digits()) return false;
    }
    v.kind = JsonValue::number;
    v.text = text.substr(from, at - from);
    return true;
  }
  bool hex4(std::uint32_t& unit) {
    if (at + 4 > text.size()) return fail("short \\u escape");
    unit = 0;
    for (int k = 0; k < 4; ++k) {
      char c = text[at++];
      unit <<= 4;
      if (c >= '0' && c <= '9') {
        unit |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        unit |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        unit |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return fail("bad \\u escape");
      }
    }
    return true;
  }
  static void put_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  bool string(std::string& out) {
    ++at;  // the opening quote
    for (;;) {
      if (at >= text.size()) return fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(text[at++]);
      if (c == '"') return true;
      if (c < 0x20) return fail("control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at >= text.size()) return fail("unterminated escape");
      char e = text[at++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          std::uint32_t unit = 0;
          if (!hex4(unit)) return false;
          if (unit >= 0xDC00 && unit <= 0xDFFF) return fail("lone low surrogate");
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            std::uint32_t low = 0;
            if (text.substr(at, 2) != "\\u") return fail("lone high surrogate");
            at += 2;
            if (!hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return fail("bad surrogate pair");
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          }
          put_utf8(out, unit);
          break;
        }
        default:
          return fail("unknown escape");
      }
    }
  }
  bool value(JsonValue& v, int depth) {
    if (depth > kMaxDepth) return fail("too deep");
    skip_space();
    if (at >= text.size()) return fail("value expected");
    char c = text[at];
    if (c == '{') return object(v, depth);
    if (c == '[') return array(v, depth);
    if (c == '"') {
      v.kind = JsonValue::string;
      return string(v.text);
    }
    if (c == 't' || c == 'f') {
      v.kind = JsonValue::boolean;
      v.truth = c == 't';
      return literal(v.truth ? "true" : "false");
    }
    if (c == 'n') {
      v.kind = JsonValue::null;
      return literal("null");
    }
    if (c == '-' || (c >= '0' && c <= '9')) return number(v);
    return fail("value expected");
  }
  bool array(JsonValue& v, int depth) {
    v.kind = JsonValue::array;
    ++at;
    skip_space();
    if (at < text.size() && text[at] == ']') {
      ++at;
      return true;
    }
    for (;;) {
      if (!value(v.items.emplace_back(), depth + 1)) return false;
      skip_space();
      if (at >= text.size()) return fail("unterminated array");
      char c = text[at++];
      if (c == ']') return true;
      if (c != ',') return fail("',' or ']' expected");
    }
  }
  bool object(JsonValue& v, int depth) {
    v.kind = JsonValue::object;
    ++at;
    skip_space();
    if (at < text.size() && text[at] == '}') {
      ++at;
      return true;
    }
    for (;;) {
      skip_space();
      if (at >= text.size() || text[at] != '"') return fail("member name expected");
      std::string name;
      if (!string(name)) return false;
      if (v.member(name) != nullptr) return fail("member named twice");
      skip_space();
      if (at >= text.size() || text[at++] != ':') return fail("':' expected");
      v.names.push_back(std::move(name));
      if (!value(v.items.emplace_back(), depth + 1)) return false;
      skip_space();
      if (at >= text.size()) return fail("unterminated object");
      char c = text[at++];
      if (c == '}') return true;
      if (c != ',') return fail("',' or '}' expected");
    }
  }
};

}  // namespace

const JsonValue* JsonValue::member(std::string_view name) const {
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (names[k] == name) return &items[k];
  }
  return nullptr;
}

std::string read_json(std::string_view text, JsonValue& value) {
  Reader r;
  r.text = text;
  if (!r.value(value, 0)) return r.error;
  r.skip_space();
  if (r.at != text.size()) {
    r.fail("text after the value");
    return r.error;
  }
  return {};
}

}  // namespace wexla::fuzz
