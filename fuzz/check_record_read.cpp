// Random bytes with any mixture of LF, CR and CR LF, read to the end as a
// results file is read: "(a)" into targets of changing widths, each
// statement with the end-of-file branch. Every target must hold the line's
// first characters blank-padded, and the statements must end where the line
// model says, after exactly as many lines.
//
// Input: one byte choosing a prefix of plain lines that puts the data
// across the edge of the connection's read-ahead, four bytes of target
// widths used in turn, then the file's bytes.
#include <string>
#include <vector>

#include "checks.hpp"
#include "line_model.hpp"
#include "scratch.hpp"
#include "textio/record.hpp"
#include "textio/connection_table.hpp"

namespace wexla::fuzz {
namespace {

constexpr int kUnit = 10;
constexpr char kUntouched = '\xA5';
constexpr std::size_t kHeader = 5;

std::string prefix(std::uint8_t choice) {
  if ((choice & 0xC0) == 0) return {};
  std::size_t edge = (choice & 0x40) ? 2 * kBufferSize : kBufferSize;
  std::size_t length = edge - (choice & 0x3F);
  std::string text;
  while (text.size() < length) text += std::string(63, 'p') + '\n';
  text.resize(length);
  return text;
}

std::size_t width_of(std::uint8_t byte) {
  return byte == 0xFF ? 80 : byte % 90;
}

}  // namespace

std::string check_record_read(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return {};
  std::size_t widths[4] = {width_of(data[1]), width_of(data[2]), width_of(data[3]),
                           width_of(data[4])};
  std::string content = prefix(data[0]);
  content.append(reinterpret_cast<const char*>(data + kHeader), size - kHeader);

  std::string path = scratch_dir() + "/record.in";
  write_file(path, content);
  open_connection(kUnit, path, OpenStatus::old_file);
  std::string why;
  std::size_t at = 0;
  for (std::size_t line = 0; why.empty(); ++line) {
    if (line > content.size() + 1) {
      why = "more lines read than the file has bytes";
      break;
    }
    std::size_t width = widths[line % 4];
    ModelRead expected = model_read(content, at, width, false);
    // One guard byte after the target; it also keeps a zero-width target's
    // address valid, as a text field's always is.
    std::vector<char> target(width + 1, kUntouched);
    bool got = read_record_or_end(kUnit, kWholeRecord, std::span<char>(target.data(), width));
    std::string_view held(target.data(), width);
    std::string head = "line " + std::to_string(line + 1) + " at byte " + std::to_string(at) +
                       " width " + std::to_string(width) + ": ";
    if (target[width] != kUntouched) {
      why = head + "wrote past the target";
    } else if (got == expected.end_of_file) {
      why = head + (got ? "read a line where the model meets the end"
                        : "met the end where the model reads " + shown(expected.field));
    } else if (!got) {
      if (held != std::string(width, kUntouched)) why = head + "the end changed the target";
      break;
    } else {
      expected.field.resize(width, ' ');
      if (held != expected.field) {
        why = head + "read " + shown(held) + ", want " + shown(expected.field);
      }
    }
    at = expected.next;
  }
  close_connection(kUnit);
  return why;
}

}  // namespace wexla::fuzz
