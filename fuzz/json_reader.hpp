// A strict reader for the JSON the run's document is written in (RFC 8259):
// objects, arrays, strings with every escape, numbers kept as their text,
// true, false and null. Anything else, and trailing text, is refused.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wexla::fuzz {

struct JsonValue {
  enum Kind { null, boolean, number, string, array, object } kind = null;
  bool truth = false;
  std::string text;  // a string's bytes (UTF-8), or a number's text as written
  // An array's items, or an object's member values, in document order.
  std::vector<JsonValue> items;
  std::vector<std::string> names;  // an object's member names, beside items

  // The member of that name, or null when there is none.
  const JsonValue* member(std::string_view name) const;
};

// Reads one JSON text. Returns the empty string and fills `value`, or
// says what is wrong and where.
std::string read_json(std::string_view text, JsonValue& value);

}  // namespace wexla::fuzz
