// Lines passed from one connection to another, many in one call: each line
// is read into an 80-character text, as read "(a)" would, and written out
// again as one record, as write "(a)" of that text would. A passage goes on
// only while both statements would take their common case, which calls the
// system for nothing: the line and its end are read ahead, and its record
// joins the pending output without reaching the count at which the pending
// bytes are written. It stops before the first line that needs more, or
// that holds the watched byte, and leaves that line to the statements, so
// every system call and every failure report stays theirs.
#pragma once

#include <cstddef>
#include <cstring>

#include "textio/connections/connection_table.hpp"
#include "textio/records/record.hpp"
#include "textio/text/line_bytes.hpp"

namespace wexla {

struct LinePassage {
  Connection* from = nullptr;  // null: no line can pass, the statements take them
  Connection* to = nullptr;
  // The connections' counts and buffers, held here while lines pass: the
  // copies of the lines' bytes might otherwise alias them, and every line
  // would load them again.
  const char* input = nullptr;
  std::size_t input_at = 0;
  std::size_t input_length = 0;
  bool input_has_cr = false;
  char* output = nullptr;
  std::size_t pending = 0;
  std::size_t pending_limit = 0;  // a record joins while pending + its length stays below
};

inline constexpr std::size_t kPassedRecord = kInlineLineWidth + 1;  // the line and its line feed

// Starts a passage when the statements' checks pass and the write would
// take its common case: the same checks and the same case as theirs.
inline LinePassage begin_line_passage(int from_number, int to_number) {
  Connection* from = find_connection(from_number);
  Connection* to = find_connection(to_number);
  if (from == nullptr || to == nullptr || from == to) return {};
  if (!allows_transfer(*from, false) || !allows_transfer(*to, true)) return {};
  if (!joins_as_whole_record(*to, kInlineLineWidth)) return {};
  return {from,
          to,
          from->in.bytes,
          from->in.at,
          from->in.length,
          from->in.has_cr,
          to->out.bytes,
          to->out.pending,
          to->out.threshold};
}

// Passes lines while it can and returns how many passed. Each record is
// built where it joins the output, so a line is copied once. When the
// passage did not start, its limit is 0 and no line passes.
template <bool kInputHasCr>
std::size_t pass_lines_while_they_can(LinePassage& p, char watched) {
  // Locals, so that the counts stay in registers while bytes are stored.
  const char* const input = p.input;
  const std::size_t input_length = p.input_length;
  char* const output = p.output;
  const std::size_t pending_limit = p.pending_limit;
  std::size_t input_at = p.input_at;
  std::size_t pending = p.pending;
  std::size_t passed = 0;
  while (pending + kPassedRecord < pending_limit) {
    // The record is built in the free room after the pending bytes; a line
    // that does not pass leaves only bytes there that nothing reads.
    char* record = output + pending;
    LineTaken taken = take_line<kInlineLineWidth>(record, input + input_at, input_length - input_at,
                                                  kInputHasCr, watched);
    if (taken.consumed == 0 || taken.holds_watched) break;
    record[kInlineLineWidth] = '\n';
    pending += kPassedRecord;
    input_at += taken.consumed;
    ++passed;
  }
  p.input_at = input_at;
  p.pending = pending;
  return passed;
}
inline std::size_t pass_lines(LinePassage& p, char watched) {
  // Most input holds no carriage return; its loop does not test for one.
  return p.input_has_cr ? pass_lines_while_they_can<true>(p, watched)
                        : pass_lines_while_they_can<false>(p, watched);
}

// The 80 characters of the k-th line passed before the last one (0: the
// last), for k below the count passed. The records stay where they joined
// the output until the passage ends, since nothing is written on the way.
inline const char* passed_line(const LinePassage& p, std::size_t k) {
  return p.output + p.pending - (k + 1) * kPassedRecord;
}

// Hands the counts back to the connections, as the statements would have
// left them.
inline void end_line_passage(const LinePassage& p) {
  if (p.from == nullptr) return;
  p.from->position += p.input_at - p.from->in.at;
  p.from->in.at = p.input_at;
  p.to->position += p.pending - p.to->out.pending;
  p.to->out.pending = p.pending;
}

}  // namespace wexla
