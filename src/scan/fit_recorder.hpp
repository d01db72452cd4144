// What a run records of its fits for the documents that describe it: every
// fit's table values, its WSS field as read and its parameter lines, the
// best fit, and the count within the window. The scan and the summary are
// handed the one recorder and tell it every fit; the documents only read
// it, fit by fit. A recorder that is off records nothing, so a run without
// documents keeps its memory and its calls. One that is on keeps what it
// records in a file of its own with no name in the run's folder, so that
// its memory does not grow with the fits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wexla {

struct RecordedFit {
  std::int32_t number = 0;
  float wss = 0.0f;
  float best_wss = 0.0f;  // the best WSS after this fit's update
  bool marked = false;    // its table line carries the "*"
  bool new_best = false;  // it lowered the best WSS
  std::string wss_text;   // the WSS field as read, blanks removed at both ends
  // The fit's lines as they went to the summary file (the block lines, not
  // the heading), trailing blanks removed.
  std::vector<std::string> parameters;
};

struct FitRecorder {
  bool on = false;  // a document was asked for
  // The records, in order: those written to the spill file (`spilled`
  // bytes of it), then those still in `pending`. Without a spill file (none
  // could be made, or a write to it failed) they stay in `pending`.
  int spill = -1;
  bool spill_tried = false;
  std::uint64_t spilled = 0;
  std::string pending;
  std::int32_t fits = 0;      // fits recorded
  std::int32_t best_fit = 0;  // number of the fit that holds the best WSS; 0 when none does
  float best_wss = 0.0f;      // its WSS
  bool counted = false;       // the count within the window was made
  float threshold = 0.0f;     // the count's bound, once counted
  std::int32_t within_count = 0;

  FitRecorder() = default;
  FitRecorder(const FitRecorder&) = delete;
  FitRecorder& operator=(const FitRecorder&) = delete;
  ~FitRecorder();
};

// A fit whose table line was just printed. `wss_field` is the field it was
// read from (characters 14 to 27 of its "Final WSS" line).
void record_fit_now(FitRecorder& recorder, std::int32_t number, float wss, float best_wss,
                    bool marked, bool new_best, std::string_view wss_field);
inline void record_fit(FitRecorder& recorder, std::int32_t number, float wss, float best_wss,
                       bool marked, bool new_best, std::string_view wss_field) {
  if (recorder.on) record_fit_now(recorder, number, wss, best_wss, marked, new_best, wss_field);
}

// A block line of the latest fit, as it went to the summary file.
void record_parameter_line(FitRecorder& recorder, std::string_view written);

// The count within the window, made with `threshold`.
void record_count(FitRecorder& recorder, float threshold, std::int32_t count);

// Reads the recorded fits back one by one, in their order, through a
// buffer of its own; what it holds at a time is one fit.
struct FitReader {
  const FitRecorder* recorder = nullptr;
  std::uint64_t at = 0;  // the next record's offset in the records
  std::string buffer;    // records from `buffer_at` on, read from the spill file
  std::uint64_t buffer_at = 0;
  RecordedFit fit;
};
FitReader read_fits(const FitRecorder& recorder);
// The next fit, or null after the last; it stays valid until the next call.
const RecordedFit* next_fit(FitReader& reader);

}  // namespace wexla
