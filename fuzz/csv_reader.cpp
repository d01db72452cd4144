// The CSV reader: field by field, a quoted field up to its closing quote,
// an unquoted one up to a comma or a line feed, where a carriage return or
// a quote is refused.
#include "csv_reader.hpp"

namespace wexla::fuzz {

std::string read_csv(std::string_view text, std::vector<CsvRecord>& records) {
  std::size_t at = 0;
  auto where = [&](const char* why) { return std::string(why) + " at byte " + std::to_string(at); };
  while (at < text.size()) {
    CsvRecord& record = records.emplace_back();
    for (;;) {
      std::string& field = record.emplace_back();
      if (at < text.size() && text[at] == '"') {
        ++at;
        for (;;) {
          if (at >= text.size()) return where("unterminated quoted field");
          if (text[at] == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"') {
              field += '"';
              at += 2;
              continue;
            }
            ++at;
            break;
          }
          field += text[at++];
        }
      } else {
        while (at < text.size() && text[at] != ',' && text[at] != '\r' && text[at] != '\n') {
          if (text[at] == '"') return where("quote inside an unquoted field");
          field += text[at++];
        }
      }
      if (at >= text.size()) return where("record without a line feed");
      if (text[at] == ',') {
        ++at;
        continue;
      }
      if (text[at] != '\n') return where("a line feed expected");
      at += 1;
      break;
    }
  }
  return {};
}

}  // namespace wexla::fuzz
