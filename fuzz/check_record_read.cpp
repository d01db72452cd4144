// Random bytes with any mixture of LF, CR and CR LF, read to the end as a
// results file is read: "(a)" into targets of changing widths, each
// statement with the end-of-file branch. Every target must hold the line's
// first characters blank-padded, and the statements must end where the line
// model says, after exactly as many lines.
//
// In passage mode every target is 80 characters wide, each line read is
// written to a scratch file, and between the statements the lines that
// follow pass many at a time, as the scan passes them: each passed line
// must be the model's next line and must not hold the watched byte "P",
// and the scratch file must end up holding every line in order.
//
// In followed mode the file is read as passage mode reads it, but through
// the gate of a followed file, handed out in pieces with "nothing yet"
// between them, the way the scan reads a file that grows: where the gate
// gives nothing the read meets what looks like the end, must leave its
// target alone, and is tried again; once every piece is out the gate opens.
// The lines must be the model's all the same.
//
// Input: one byte choosing a prefix of plain lines that puts the data
// across the edge of the connection's read-ahead, four bytes of target
// widths used in turn (a first width byte of 0xFE: passage mode; 0xFD:
// followed mode, the next bytes a seed and the largest piece), then the
// file's bytes.
#include <unistd.h>

#include <string>
#include <vector>

#include "checks.hpp"
#include "line_model.hpp"
#include "scratch.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/connections/followed_input.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/records/line_passage.hpp"
#include "textio/records/record.hpp"

namespace wexla::fuzz {
namespace {

constexpr int kUnit = 10;
constexpr int kScratch = 11;
constexpr char kUntouched = '\xA5';
constexpr std::size_t kHeader = 5;
constexpr std::uint8_t kPassageMode = 0xFE;
constexpr std::uint8_t kFollowedMode = 0xFD;
constexpr char kWatched = 'P';

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

// One statement checked against the model: false when it met the end of
// the file (or went wrong, with `why` set).
bool read_as_the_model_says(const std::string& content, std::size_t line, std::size_t& at,
                            std::size_t width, std::string& why, std::string& field) {
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
    return false;
  } else {
    expected.field.resize(width, ' ');
    if (held != expected.field) {
      why = head + "read " + shown(held) + ", want " + shown(expected.field);
    }
  }
  at = expected.next;
  field = expected.field;
  return why.empty();
}

// The lines one passage passed, checked against the model's next lines.
void check_passed(const std::string& content, const LinePassage& passage, std::size_t passed,
                  std::size_t& line, std::size_t& at, std::string& written, std::string& why) {
  for (std::size_t k = passed; k-- > 0 && why.empty(); ++line) {
    std::string_view held(passed_line(passage, k), kInlineLineWidth);
    ModelRead expected = model_read(content, at, kInlineLineWidth, false);
    expected.field.resize(kInlineLineWidth, ' ');
    std::string head =
        "passed line " + std::to_string(line + 1) + " at byte " + std::to_string(at) + ": ";
    if (expected.end_of_file) {
      why = head + "passed where the model meets the end";
    } else if (held != expected.field) {
      why = head + "passed " + shown(held) + ", want " + shown(expected.field);
    } else if (held.find(kWatched) != std::string_view::npos) {
      why = head + "a line holding the watched byte passed";
    }
    at = expected.next;
    written += expected.field + '\n';
  }
}

// The lines that pass before the next statement, as the scan lets them:
// false when one went wrong, or when more lines went than the file holds.
bool pass_and_check(const std::string& content, std::size_t& line, std::size_t& at,
                    std::string& written, std::string& why) {
  if (line > content.size() + 1) {
    why = "more lines read than the file has bytes";
    return false;
  }
  LinePassage passage = begin_line_passage(kUnit, kScratch);
  std::size_t passed = pass_lines(passage, kWatched);
  check_passed(content, passage, passed, line, at, written, why);
  end_line_passage(passage);
  return why.empty();
}

std::string check_passages(const std::string& content) {
  std::string path = scratch_dir() + "/record.in";
  std::string scratch = scratch_dir() + "/record.out";
  write_file(path, content);
  remove_file(scratch);  // a file left by an earlier input would keep its bytes
  open_connection(kUnit, path, OpenStatus::old_file);
  open_connection(kScratch, scratch, OpenStatus::unknown);
  std::string why, written, field;
  std::size_t at = 0;
  for (std::size_t line = 0; why.empty(); ++line) {
    if (!pass_and_check(content, line, at, written, why) ||
        !read_as_the_model_says(content, line, at, kInlineLineWidth, why, field)) {
      break;
    }
    write_record(kScratch, kWholeRecord, std::string_view(field));
    written += field + '\n';
  }
  close_connection(kUnit);
  close_connection(kScratch);
  if (why.empty() && read_file(scratch) != written) why = "the scratch file is not the lines read";
  return why;
}

// The followed file's pieces: where each ends, which one is being given
// out, and whether "nothing yet" has been said at the current cut.
struct Pieces {
  std::vector<std::size_t> ends;
  std::size_t next = 0;
  std::size_t given = 0;
  bool nothing_said = false;
};
Pieces pieces;

long piece_read(int fd, char* data, std::size_t length) {
  if (pieces.next < pieces.ends.size() && pieces.given == pieces.ends[pieces.next]) {
    if (!pieces.nothing_said) {
      pieces.nothing_said = true;
      return 0;
    }
    pieces.nothing_said = false;
    ++pieces.next;
  }
  const std::size_t until =
      pieces.next < pieces.ends.size() ? pieces.ends[pieces.next] : static_cast<std::size_t>(-1);
  const ssize_t n = ::read(fd, data, std::min(length, until - pieces.given));
  if (n > 0) pieces.given += static_cast<std::size_t>(n);
  return n;
}

std::string check_followed(const std::string& content, std::uint32_t seed, std::size_t largest) {
  pieces = Pieces{};
  for (std::size_t at = 0; at < content.size();) {
    seed = seed * 1664525u + 1013904223u;
    at = std::min(content.size(), at + 1 + (seed >> 8) % largest);
    pieces.ends.push_back(at);
  }
  std::string path = scratch_dir() + "/record.in";
  std::string scratch = scratch_dir() + "/record.out";
  write_file(path, content);
  remove_file(scratch);
  open_connection(kUnit, path, OpenStatus::old_file);
  open_connection(kScratch, scratch, OpenStatus::unknown);
  FollowedInput gate;
  follow_connection(kUnit, gate);
  connection_table().system.read_input = piece_read;
  std::string why, written;
  std::size_t at = 0;
  for (std::size_t line = 0; why.empty(); ++line) {
    if (!pass_and_check(content, line, at, written, why)) break;
    ModelRead expected = model_read(content, at, kInlineLineWidth, false);
    std::vector<char> target(kInlineLineWidth, kUntouched);
    bool got = false;
    for (std::size_t tries = 0; tries <= 2 * pieces.ends.size() + 2; ++tries) {
      got = read_record_or_end(kUnit, kWholeRecord, std::span<char>(target));
      if (got || !still_followed(kUnit)) break;
      // Nothing whole yet: the read must not have touched its target.
      if (std::string_view(target.data(), target.size()) != std::string(target.size(), kUntouched))
        why = "line " + std::to_string(line + 1) + ": a read that met nothing changed its target";
      read_on(kUnit);
      if (pieces.next >= pieces.ends.size()) open_followed_input(gate);
    }
    std::string head =
        "followed line " + std::to_string(line + 1) + " at byte " + std::to_string(at) + ": ";
    expected.field.resize(kInlineLineWidth, ' ');
    std::string_view held(target.data(), target.size());
    if (!why.empty()) break;
    if (got == expected.end_of_file) {
      why = head + (got ? "read a line where the model meets the end"
                        : "met the end where the model reads " + shown(expected.field));
    } else if (got && held != expected.field) {
      why = head + "read " + shown(held) + ", want " + shown(expected.field);
    }
    if (!got || !why.empty()) break;
    at = expected.next;
    write_record(kScratch, kWholeRecord, held);
    written += expected.field + '\n';
  }
  connection_table().system.read_input = nullptr;
  close_connection(kUnit);
  close_connection(kScratch);
  if (why.empty() && read_file(scratch) != written) why = "the scratch file is not the lines read";
  return why;
}

}  // namespace

std::string check_record_read(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return {};
  std::string content = prefix(data[0]);
  content.append(reinterpret_cast<const char*>(data + kHeader), size - kHeader);
  if (data[1] == kPassageMode) return check_passages(content);
  if (data[1] == kFollowedMode) {
    return check_followed(content, static_cast<std::uint32_t>(data[2]) << 8 | data[3],
                          1 + data[4] % 128);
  }
  std::size_t widths[4] = {width_of(data[1]), width_of(data[2]), width_of(data[3]),
                           width_of(data[4])};

  std::string path = scratch_dir() + "/record.in";
  write_file(path, content);
  open_connection(kUnit, path, OpenStatus::old_file);
  std::string why, field;
  std::size_t at = 0;
  for (std::size_t line = 0; why.empty(); ++line) {
    if (line > content.size() + 1) {
      why = "more lines read than the file has bytes";
      break;
    }
    if (!read_as_the_model_says(content, line, at, widths[line % 4], why, field)) break;
  }
  close_connection(kUnit);
  return why;
}

}  // namespace wexla::fuzz
