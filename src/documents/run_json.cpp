// The run as one JSON document, made from its description and its fits.
#include "documents/run_json.hpp"

#include <cmath>
#include <string>
#include <string_view>

#include "documents/join_text.hpp"
#include "documents/json_text.hpp"
#include "documents/real_text.hpp"
#include "scan/run_files.hpp"
#include "scan/window_count.hpp"

#ifndef WEXLA_PROJECT_VERSION
#error "WEXLA_PROJECT_VERSION must be defined by the build"
#endif

namespace wexla {
namespace {

void put_real(std::string& out, float value) {
  out += std::isfinite(value) ? document_real_text(value) : "null";
}

void put_name(std::string& out, std::string_view name) {
  out += '"';
  out += name;
  out += "\": ";
}

// "name": "text", and "name_hex": "..." after it when the text is not UTF-8.
void put_text_member(std::string& out, std::string_view name, std::string_view text) {
  put_name(out, name);
  append_json_string(out, text);
  if (is_utf8(text)) return;
  out += ", ";
  put_name(out, join({name, "_hex"}));
  append_hex_string(out, text);
}

void put_parameters(std::string& out, const std::vector<std::string>& lines) {
  put_name(out, "parameters");
  out += '[';
  bool all_utf8 = true;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k > 0) out += ", ";
    append_json_string(out, lines[k]);
    all_utf8 = all_utf8 && is_utf8(lines[k]);
  }
  out += ']';
  if (all_utf8) return;
  out += ", ";
  put_name(out, "parameters_hex");
  out += '[';
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k > 0) out += ", ";
    append_hex_string(out, lines[k]);
  }
  out += ']';
}

// One fit's object, made in `text` (which is reused from fit to fit).
void put_fit(std::string& text, const RecordedFit& fit, const FitRecorder& fits) {
  text += join({"{\"fit\": ", std::to_string(fit.number), ", \"wss\": "});
  put_real(text, fit.wss);
  if (!std::isfinite(fit.wss)) {
    text += ", ";
    put_text_member(text, "wss_text", fit.wss_text);
  }
  text += ", \"best_wss\": ";
  put_real(text, fit.best_wss);
  text += ", \"marked\": ";
  text += fit.marked ? "true" : "false";
  text += ", \"new_best\": ";
  text += fit.new_best ? "true" : "false";
  text += ", \"within_percent\": ";
  text += !fits.counted ? "null" : within_window(fit.wss, fits.threshold) ? "true" : "false";
  text += ", ";
  put_parameters(text, fit.parameters);
  text += '}';
}

// How following ended, as the member's value.
const char* followed_name(Followed followed) {
  switch (followed) {
    case Followed::pid:
      return "\"pid\"";
    case Followed::idle:
      return "\"idle\"";
    case Followed::signal:
      return "\"signal\"";
    case Followed::not_followed:
    case Followed::unsettled:
      break;
  }
  return "null";
}

}  // namespace

const char* outcome_name(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::normal:
      return "normal";
    case RunOutcome::no_fits:
      return "no fits";
    case RunOutcome::not_a_normal_fit:
      return "not a normal fit";
    case RunOutcome::data_error:
      return "data error";
    case RunOutcome::no_results_file:
      return "no results file";
    case RunOutcome::following:
      return "following";
    case RunOutcome::failed:
      break;
  }
  return "failed";
}

void write_run_json(DocumentOut& out, const RunDescription& run, const FitRecorder& fits) {
  std::string text = "{\n  \"wexla\": \"" WEXLA_PROJECT_VERSION "\",\n  ";
  if (run.results.empty()) {
    text += "\"results\": null";
  } else {
    put_text_member(text, "results", run.results);
  }
  text += ",\n  \"percent\": ";
  if (run.percent_known) {
    put_real(text, run.percent);
  } else {
    text += "null";
  }
  text += ",\n  \"outcome\": \"";
  text += outcome_name(run.outcome);
  const bool following = run.outcome == RunOutcome::following;
  text += join({"\",\n  \"status\": ", following ? "null" : std::to_string(run.status), ",\n  "});
  // How following ended: the one member only a followed run has.
  if (run.followed != Followed::not_followed) {
    text += join({"\"followed\": ", followed_name(run.followed), ",\n  "});
  }
  if (run.outcome == RunOutcome::normal || following) {
    text += "\"error\": null";
  } else {
    put_text_member(text, "error", run.error);
  }
  // Where a data error stands; null for every other end.
  if (run.outcome == RunOutcome::data_error) {
    text += join({",\n  \"error_line\": ", std::to_string(run.data_error.line),
                  ",\n  \"error_fit\": ", std::to_string(run.data_error.fit), ",\n  "});
    put_text_member(text, "error_field", run.data_error.field);
  } else {
    text += ",\n  \"error_line\": null,\n  \"error_fit\": null,\n  \"error_field\": null";
  }
  text += ",\n  \"fits\": [";
  put(out, text);

  bool any = false;
  FitReader reader = read_fits(fits);
  while (const RecordedFit* fit = next_fit(reader)) {
    text.assign(any ? ",\n    " : "\n    ");
    put_fit(text, *fit, fits);
    put(out, text);
    any = true;
  }

  text.assign(any ? "\n  ],\n  \"best\": " : "],\n  \"best\": ");
  if (fits.best_fit != 0) {
    text += join({"{\"fit\": ", std::to_string(fits.best_fit), ", \"wss\": "});
    put_real(text, fits.best_wss);
    text += '}';
  } else {
    text += "null";
  }
  text += ",\n  \"within_percent\": ";
  text += fits.counted ? std::to_string(fits.within_count) : "null";
  // The files this run wrote: an earlier BEST.OUT left standing is not one.
  text += ",\n  \"files\": {";
  if (run.wrote_best) text += "\"best\": \"" WEXLA_BEST_FILE "\"";
  if (run.wrote_best && run.wrote_summary) text += ", ";
  if (run.wrote_summary) text += "\"summary\": \"" WEXLA_SUMMARY_FILE "\"";
  text += "}\n}\n";
  put(out, text);
}

}  // namespace wexla
