// A plain model of how a line is read: the bytes of a results file split
// into the 80-character lines the program sees.
#include "line_model.hpp"

namespace wexla::fuzz {

ModelRead model_read(std::string_view data, std::size_t at, std::size_t width, bool number) {
  ModelRead r;
  std::size_t i = at;
  bool line_end = false;
  bool comma = false;
  while (r.field.size() < width && i < data.size()) {
    char c = data[i++];
    if (c == '\n') {
      line_end = true;
      break;
    }
    if (c == '\r') {
      if (i < data.size() && data[i] == '\n') ++i;
      line_end = true;
      break;
    }
    if (number && c == ',') {
      comma = true;
      break;
    }
    r.field += c;
  }
  bool nothing_taken = r.field.empty();
  if (!line_end && !comma && r.field.size() < width && nothing_taken) {
    // The file ended before the record gave anything.
    r.end_of_file = true;
    r.next = i;
    return r;
  }
  if (!line_end) {
    // The rest of the line is skipped up to and including the next LF.
    std::size_t lf = data.find('\n', i);
    if (lf == std::string_view::npos) {
      i = data.size();
      if (nothing_taken) r.end_of_file = true;
    } else {
      i = lf + 1;
    }
  }
  r.next = i;
  return r;
}

std::string model_lines(std::string_view data, std::size_t width, std::size_t* count) {
  std::string all;
  std::size_t at = 0;
  *count = 0;
  for (;;) {
    ModelRead r = model_read(data, at, width, false);
    if (r.end_of_file) break;
    r.field.resize(width, ' ');
    all += r.field;
    ++*count;
    at = r.next;
  }
  return all;
}

}  // namespace wexla::fuzz
