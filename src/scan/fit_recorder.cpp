// The recorder of a run's fits: records appended to a spill file with no
// name in the run's folder, and read back from it.
#include "scan/fit_recorder.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "textio/connections/write_all.hpp"
#include "textio/files/folder_lock.hpp"
#include "textio/files/unnamed_file.hpp"
#include "textio/text/text_field.hpp"

namespace wexla {
namespace {

// The records: a fit, 'F', its number, WSS and best WSS in their bytes, the
// marks, and the WSS text; each of its block lines, 'P' and the text.
constexpr char kFitRecord = 'F';
constexpr char kParameterRecord = 'P';
constexpr std::uint8_t kMarked = 1, kNewBest = 2;
constexpr std::size_t kSpillChunk = 64 * 1024;

template <class T>
void put_value(std::string& out, const T& value) {
  char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  out.append(bytes, sizeof value);
}

void put_text(std::string& out, std::string_view text) {
  auto length = static_cast<std::uint8_t>(std::min<std::size_t>(text.size(), 255));
  out += static_cast<char>(length);
  out.append(text.substr(0, length));
}

// Writes the pending records to the spill file once a chunk is due; the
// file is made at the first. A file that cannot be made, or written, leaves
// the records in memory.
void spill_pending(FitRecorder& r) {
  if (r.pending.size() < kSpillChunk) return;
  if (!r.spill_tried) {
    r.spill_tried = true;
    r.spill = open_unnamed_file(run_folder_descriptor(), "wexla-fits");
  }
  if (r.spill < 0) return;
  if (write_all(r.spill, r.pending.data(), r.pending.size()) != 0) {
    // What the file holds is still read back; the rest stays here.
    return;
  }
  r.spilled += r.pending.size();
  r.pending.clear();
}

// The records from `at` on, `length` bytes of them at most: from the spill
// file through the reader's buffer, then from what is pending.
std::string_view records_at(FitReader& reader, std::uint64_t at, std::size_t length) {
  const FitRecorder& r = *reader.recorder;
  if (at >= r.spilled) {
    std::size_t from = static_cast<std::size_t>(at - r.spilled);
    if (from >= r.pending.size()) return {};
    return std::string_view(r.pending).substr(from, length);
  }
  if (at < reader.buffer_at || at + length > reader.buffer_at + reader.buffer.size()) {
    std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max(length, kSpillChunk), r.spilled - at));
    reader.buffer.resize(want);
    std::size_t got = 0;
    while (got < want) {
      ssize_t n =
          ::pread(r.spill, reader.buffer.data() + got, want - got, static_cast<off_t>(at + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    reader.buffer.resize(got);
    reader.buffer_at = at;
  }
  return std::string_view(reader.buffer)
      .substr(static_cast<std::size_t>(at - reader.buffer_at), length);
}

// Takes `length` bytes into `into`; false at the end of the records. A
// record may stand across the end of the spill file and the pending ones.
bool take(FitReader& reader, char* into, std::size_t length) {
  while (length > 0) {
    std::string_view piece = records_at(reader, reader.at, length);
    if (piece.empty()) return false;
    std::memcpy(into, piece.data(), piece.size());
    into += piece.size();
    length -= piece.size();
    reader.at += piece.size();
  }
  return true;
}

bool take_text(FitReader& reader, std::string& text) {
  char length = 0;
  if (!take(reader, &length, 1)) return false;
  text.resize(static_cast<unsigned char>(length));
  return take(reader, text.data(), text.size());
}

template <class T>
bool take_value(FitReader& reader, T& value) {
  char bytes[sizeof value];
  if (!take(reader, bytes, sizeof value)) return false;
  std::memcpy(&value, bytes, sizeof value);
  return true;
}

}  // namespace

FitRecorder::~FitRecorder() {
  if (spill >= 0) ::close(spill);
}

void record_fit_now(FitRecorder& recorder, std::int32_t number, float wss, float best_wss,
                    bool marked, bool new_best, std::string_view wss_field) {
  std::string& out = recorder.pending;
  out += kFitRecord;
  put_value(out, number);
  put_value(out, wss);
  put_value(out, best_wss);
  out += static_cast<char>((marked ? kMarked : 0) | (new_best ? kNewBest : 0));
  std::size_t first = wss_field.find_first_not_of(kBlank);
  put_text(out, first == std::string_view::npos
                    ? std::string_view()
                    : wss_field.substr(first, string_len_trim(wss_field) - first));
  ++recorder.fits;
  if (new_best) {
    recorder.best_fit = number;
    recorder.best_wss = wss;
  }
  spill_pending(recorder);
}

void record_parameter_line(FitRecorder& recorder, std::string_view written) {
  if (!recorder.on || recorder.fits == 0) return;
  recorder.pending += kParameterRecord;
  put_text(recorder.pending, written.substr(0, string_len_trim(written)));
  spill_pending(recorder);
}

void record_count(FitRecorder& recorder, float threshold, std::int32_t count) {
  recorder.counted = true;
  recorder.threshold = threshold;
  recorder.within_count = count;
}

FitReader read_fits(const FitRecorder& recorder) {
  FitReader reader;
  reader.recorder = &recorder;
  return reader;
}

const RecordedFit* next_fit(FitReader& reader) {
  char tag = 0;
  if (!take(reader, &tag, 1) || tag != kFitRecord) return nullptr;
  RecordedFit& fit = reader.fit;
  char marks = 0;
  if (!take_value(reader, fit.number) || !take_value(reader, fit.wss) ||
      !take_value(reader, fit.best_wss) || !take(reader, &marks, 1) ||
      !take_text(reader, fit.wss_text))
    return nullptr;
  fit.marked = (marks & kMarked) != 0;
  fit.new_best = (marks & kNewBest) != 0;
  fit.parameters.clear();
  // The fit's block lines follow it, up to the next fit or the end.
  for (;;) {
    std::string_view next = records_at(reader, reader.at, 1);
    if (next.empty() || next.front() != kParameterRecord) break;
    reader.at += 1;
    if (!take_text(reader, fit.parameters.emplace_back())) return nullptr;
  }
  return &fit;
}

}  // namespace wexla
