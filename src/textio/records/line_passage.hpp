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

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "textio/connections/connection_table.hpp"
#include "textio/records/record.hpp"
#include "textio/text/line_bytes.hpp"
#include "textio/text/line_bytes_avx2.hpp"

namespace wexla {

struct LinePassage {
  Connection* from = nullptr;  // null: no line can pass, the statements take them
  Connection* to = nullptr;
  // The connections' counts and buffers, held here while lines pass.
  const char* input = nullptr;
  std::size_t input_at = 0;
  std::size_t input_length = 0;
  bool input_has_cr = false;
  char* output = nullptr;
  std::size_t output_size = 0;  // the buffer's bytes, some of them beyond the capacity in use
  std::size_t pending = 0;
  std::size_t pending_limit = 0;  // a record joins while pending + its length stays below
};

inline constexpr std::size_t kPassedRecord = kInlineLineWidth + 1;  // the line and its line feed

// A passed line's record: its text stands at `record`, its line feed is
// put after it; returns where the next record goes. (append_whole_record
// in connection.hpp, for a text of this width built in place.)
inline char* end_passed_record(char* record) {
  record[kInlineLineWidth] = '\n';
  return record + kPassedRecord;
}

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
          sizeof to->out.bytes,
          to->out.pending,
          to->out.threshold};
}

// Which byte work a passage uses: the plain one, the one chosen at build
// time (take_line), or on top of it AVX2's for the lines that pass at once.
// The scan takes the fastest the processor has; tests run each.
enum class PassagePath { plain, built, avx2 };

inline PassagePath fastest_passage_path() {
#ifdef WEXLA_AVX2_BYTES
  if (avx2_at_hand()) return PassagePath::avx2;
#endif
  return PassagePath::built;
}

// The locals of a passage while lines pass, so that the counts stay in
// registers while bytes are stored: the copies of the lines' bytes might
// otherwise alias them, and every line would load them again.
struct PassageRun {
  const char* input;
  std::size_t input_length;
  char* output;
  std::size_t pending_limit;
  std::size_t input_at;
  std::size_t pending;

  explicit PassageRun(const LinePassage& p)
      : input(p.input),
        input_length(p.input_length),
        output(p.output),
        pending_limit(p.pending_limit),
        input_at(p.input_at),
        pending(p.pending) {}
  bool output_has_room() const { return pending + kPassedRecord < pending_limit; }
  // The record is built in the free room after the pending bytes; a line
  // that does not pass leaves only bytes there that nothing reads.
  char* record() const { return output + pending; }
  const char* line() const { return input + input_at; }
  std::size_t available() const { return input_length - input_at; }
  void stop_at(std::size_t line, const char* record) {
    input_at = line;
    pending = static_cast<std::size_t>(record - output);
  }
  void passed(std::size_t consumed) {
    end_passed_record(output + pending);
    pending += kPassedRecord;
    input_at += consumed;
  }
  // One line taken as take_line takes it; false when it does not pass.
  template <bool kInputHasCr, PassagePath kPath>
  [[gnu::always_inline]] bool pass_one(char watched) {
    LineTaken taken =
        kPath == PassagePath::plain
            ? take_line_plain<kInlineLineWidth>(record(), line(), available(), kInputHasCr, watched)
            : take_line<kInlineLineWidth>(record(), line(), available(), kInputHasCr, watched);
    if (taken.consumed == 0 || taken.holds_watched) return false;
    passed(taken.consumed);
    return true;
  }
  // Hands the counts back; returns how many lines passed.
  std::size_t end(LinePassage& p) const {
    std::size_t count = (pending - p.pending) / kPassedRecord;
    p.input_at = input_at;
    p.pending = pending;
    return count;
  }
};

// Passes lines while it can and returns how many passed. Each record is
// built where it joins the output, so a line is copied once. When the
// passage did not start, its limit is 0 and no line passes.
template <bool kInputHasCr, PassagePath kPath>
std::size_t pass_lines_while_they_can(LinePassage& p, char watched) {
  PassageRun run(p);
  while (run.output_has_room() && run.pass_one<kInputHasCr, kPath>(watched)) {
  }
  return run.end(p);
}

#ifdef WEXLA_AVX2_BYTES
// The lines that take_listed_line_avx2 passes, one after another, while its
// reads stay within the read-ahead and its writes within the output
// buffer. The line feeds are listed a block at a time, ahead of the lines.
template <bool kInputHasCr, bool kOneTable>
[[gnu::target("avx2,bmi,popcnt")]] void pass_lines_at_once_avx2(PassageRun& run,
                                                                std::size_t output_size,
                                                                const LineStops& stops) {
  constexpr std::size_t kRead = 96;       // what take_listed_line_avx2 reads at a line's start
  constexpr std::size_t kWritten = 96;    // and writes
  constexpr std::size_t kBlockWords = 8;  // 64-byte words of input listed at a time
  const char* const input = run.input;
  // Lines start at most here, so that their reads stay within the input:
  // line feeds are listed only before it, and the first line is checked.
  if (run.input_length < kRead || run.input_at > run.input_length - kRead) return;
  const std::size_t last_start = run.input_length - kRead;
  // The records stay below the pending bytes' limit and within the buffer.
  if (run.pending_limit <= kPassedRecord + run.pending) return;
  const std::size_t records =
      (std::min(run.pending_limit - 1, output_size + kPassedRecord - kWritten) - run.pending) /
      kPassedRecord;
  const LineStops local_stops = stops;  // in registers, not reloaded after every store
  std::uint32_t line_feeds[64 * kBlockWords + 2];
  std::size_t line = run.input_at;  // where the next line starts
  std::size_t listed = line;        // the input before this is listed
  char* record = run.record();
  char* const records_end = record + records * kPassedRecord;
  // `listed` stays at or before `last_start`.
  while (last_start - listed >= 64) {
    const std::size_t words = std::min(kBlockWords, (last_start - listed) / 64);
    const std::size_t count = index_line_feeds_avx2(input + listed, words,
                                                    static_cast<std::uint32_t>(listed), line_feeds);
    listed += 64 * words;
    const std::size_t room = static_cast<std::size_t>(records_end - record) / kPassedRecord;
    const std::size_t lines = std::min(count, room);
    for (std::size_t k = 0; k < lines; ++k) {
      const std::size_t line_feed = line_feeds[k];
      if (!take_listed_line_avx2<kInlineLineWidth, kInputHasCr, kOneTable>(
              record, input + line, line_feed - line, local_stops)) {
        return run.stop_at(line, record);
      }
      record = end_passed_record(record);
      line = line_feed + 1;
    }
    if (count > room) break;
  }
  run.stop_at(line, record);
}

// pass_lines_while_they_can with AVX2: most lines pass at once; the others
// (the watched byte, a carriage return within a line, the last lines of the
// read-ahead) are taken as take_line takes them, one at a time.
template <bool kInputHasCr, bool kOneTable>
[[gnu::target("avx2,bmi,popcnt")]] std::size_t pass_lines_avx2(LinePassage& p, char watched) {
  PassageRun run(p);
  const LineStops stops = line_stops(watched);
  do {
    pass_lines_at_once_avx2<kInputHasCr, kOneTable>(run, p.output_size, stops);
  } while (run.output_has_room() && run.pass_one<kInputHasCr, PassagePath::built>(watched));
  return run.end(p);
}
#endif

inline std::size_t pass_lines(LinePassage& p, char watched,
                              PassagePath path = fastest_passage_path()) {
  // Most input holds no carriage return; its loop does not test for one.
  const bool cr = p.input_has_cr;
#ifdef WEXLA_AVX2_BYTES
  // A watched blank would stop every line shorter than 96 bytes at the
  // blanks after its end.
  if (path == PassagePath::avx2 && watched != kBlank) {
    if (!cr) return pass_lines_avx2<false, false>(p, watched);
    return stops_fit_one_table(watched) ? pass_lines_avx2<true, true>(p, watched)
                                        : pass_lines_avx2<true, false>(p, watched);
  }
#endif
  if (path == PassagePath::plain) {
    return cr ? pass_lines_while_they_can<true, PassagePath::plain>(p, watched)
              : pass_lines_while_they_can<false, PassagePath::plain>(p, watched);
  }
  return cr ? pass_lines_while_they_can<true, PassagePath::built>(p, watched)
            : pass_lines_while_they_can<false, PassagePath::built>(p, watched);
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
