// The recorder of a run's fits, kept in memory.
#include "scan/fit_recorder.hpp"

#include "textio/text/text_field.hpp"

namespace wexla {

void record_fit_now(FitRecorder& recorder, std::int32_t number, float wss, float best_wss,
                    bool marked, bool new_best, std::string_view wss_field) {
  RecordedFit& fit = recorder.fits.emplace_back();
  fit.number = number;
  fit.wss = wss;
  fit.best_wss = best_wss;
  fit.marked = marked;
  fit.new_best = new_best;
  std::size_t first = wss_field.find_first_not_of(kBlank);
  if (first != std::string_view::npos)
    fit.wss_text = wss_field.substr(first, string_len_trim(wss_field) - first);
  if (new_best) {
    recorder.best_fit = number;
    recorder.best_wss = wss;
  }
}

void record_parameter_line(FitRecorder& recorder, std::string_view written) {
  if (!recorder.on || recorder.fits.empty()) return;
  recorder.fits.back().parameters.emplace_back(written.substr(0, string_len_trim(written)));
}

void record_count(FitRecorder& recorder, float threshold, std::int32_t count) {
  recorder.counted = true;
  recorder.threshold = threshold;
  recorder.within_count = count;
}

const RecordedFit* next_fit(FitReader& reader) {
  if (reader.next >= reader.recorder->fits.size()) return nullptr;
  return &reader.recorder->fits[reader.next++];
}

}  // namespace wexla
