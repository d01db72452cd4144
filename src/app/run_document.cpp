// The run as one JSON document, made from its facts.
#include "app/run_document.hpp"

#include <cmath>
#include <string_view>

#include "app/join_text.hpp"
#include "app/json_text.hpp"
#include "app/real_text.hpp"
#include "scan/run_files.hpp"

#ifndef WEXLA_PROJECT_VERSION
#error "WEXLA_PROJECT_VERSION must be defined by the build"
#endif

namespace wexla {
namespace {

void append_real(std::string& out, float value) {
  out += std::isfinite(value) ? shortest_real_text(value) : "null";
}

void append_name(std::string& out, std::string_view name) {
  out += '"';
  out += name;
  out += "\": ";
}

// "name": "text", and "name_hex": "..." after it when the text is not UTF-8.
void append_text_member(std::string& out, std::string_view name, std::string_view text) {
  append_name(out, name);
  append_json_string(out, text);
  if (is_utf8(text)) return;
  out += ", ";
  append_name(out, join({name, "_hex"}));
  append_hex_string(out, text);
}

void append_parameters(std::string& out, const std::vector<std::string>& lines) {
  append_name(out, "parameters");
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
  append_name(out, "parameters_hex");
  out += '[';
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k > 0) out += ", ";
    append_hex_string(out, lines[k]);
  }
  out += ']';
}

void append_fit(std::string& out, const FitFacts& fit, bool counted) {
  out += join({"{\"fit\": ", std::to_string(fit.number), ", \"wss\": "});
  append_real(out, fit.wss);
  if (!std::isfinite(fit.wss)) {
    out += ", ";
    append_text_member(out, "wss_text", fit.wss_text);
  }
  out += ", \"best_wss\": ";
  append_real(out, fit.best_wss);
  out += ", \"marked\": ";
  out += fit.marked ? "true" : "false";
  out += ", \"within_percent\": ";
  out += !counted ? "null" : fit.within ? "true" : "false";
  out += ", ";
  append_parameters(out, fit.parameters);
  out += '}';
}

const FitFacts* best_fit(const RunFacts& facts) {
  for (const FitFacts& fit : facts.fits) {
    if (fit.number == facts.best_fit) return &fit;
  }
  return nullptr;
}

}  // namespace

const char* outcome_name(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::normal:
      return "normal";
    case RunOutcome::not_a_normal_fit:
      return "not a normal fit";
    case RunOutcome::failed:
      break;
  }
  return "failed";
}

std::string run_document_json(const RunFacts& facts) {
  std::string out = "{\n  \"wexla\": \"" WEXLA_PROJECT_VERSION "\",\n  ";
  if (facts.results.empty()) {
    out += "\"results\": null";
  } else {
    append_text_member(out, "results", facts.results);
  }
  out += ",\n  \"percent\": ";
  if (facts.percent_known) {
    append_real(out, facts.percent);
  } else {
    out += "null";
  }
  out += ",\n  \"outcome\": \"";
  out += outcome_name(facts.outcome);
  out += join({"\",\n  \"status\": ", std::to_string(facts.status), ",\n  "});
  if (facts.outcome == RunOutcome::failed) {
    append_text_member(out, "error", facts.error);
  } else {
    out += "\"error\": null";
  }
  out += ",\n  \"fits\": [";
  for (std::size_t k = 0; k < facts.fits.size(); ++k) {
    out += k == 0 ? "\n    " : ",\n    ";
    append_fit(out, facts.fits[k], facts.counted);
  }
  out += facts.fits.empty() ? "],\n  \"best\": " : "\n  ],\n  \"best\": ";
  if (const FitFacts* best = best_fit(facts)) {
    out += join({"{\"fit\": ", std::to_string(best->number), ", \"wss\": "});
    append_real(out, best->wss);
    out += '}';
  } else {
    out += "null";
  }
  out += ",\n  \"within_percent\": ";
  out += facts.counted ? std::to_string(facts.within_count) : "null";
  out += ",\n  \"files\": {\"best\": \"" WEXLA_BEST_FILE "\", \"summary\": \"" WEXLA_SUMMARY_FILE
         "\"}\n}\n";
  return out;
}

}  // namespace wexla
