// The run as one HTML page, made from its description and its fits.
#include "documents/run_page.hpp"

#include <cmath>
#include <string>

#include "documents/join_text.hpp"
#include "documents/markup_text.hpp"
#include "documents/run_chart.hpp"
#include "scan/window_count.hpp"

#ifndef WEXLA_PROJECT_VERSION
#error "WEXLA_PROJECT_VERSION must be defined by the build"
#endif

namespace wexla {
namespace {

// No script, no font, no image, no request of any kind: only the page's
// own style.
constexpr const char* kPolicy = "default-src 'none'; style-src 'unsafe-inline'";

constexpr const char* kStyle = R"(<style>
:root{color-scheme:light dark;--fg:#1f2328;--bg:#fff;--muted:#59636e;--line:#d0d7de;--hi:#dff3ef;--bad:#9b2226}
@media (prefers-color-scheme:dark){:root{--fg:#e6edf3;--bg:#0d1117;--muted:#9198a1;--line:#30363d;--hi:#12332d;--bad:#ff7b72}}
*{box-sizing:border-box}
body{font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;color:var(--fg);background:var(--bg);margin:0 auto;max-width:980px;padding:16px}
h1{font-size:1.35em;margin:0 0 4px;overflow-wrap:anywhere}
h2{font-size:1.1em;margin:24px 0 8px;border-bottom:1px solid var(--line)}
h3{font-size:1em;margin:12px 0 4px}
.outcome{margin:0 0 12px;color:var(--muted)}
.outcome.problem{color:var(--bad)}
dl.summary{display:grid;grid-template-columns:max-content minmax(0,1fr);gap:2px 16px;margin:0}
dl.summary dt{color:var(--muted)}
dl.summary dd{margin:0;overflow-wrap:anywhere}
figure.chart{margin:16px 0}
figure.chart svg{display:block;width:100%;height:auto;max-width:720px}
.no-chart{color:var(--muted);font-style:italic}
.table-wrap{overflow-x:auto;max-width:100%}
table.fits{border-collapse:collapse;font-family:ui-monospace,"DejaVu Sans Mono",Menlo,Consolas,monospace;font-size:13px}
table.fits th,table.fits td{padding:1px 10px;text-align:right;border-bottom:1px solid var(--line);white-space:nowrap}
table.fits th{position:sticky;top:0;background:var(--bg)}
table.fits tr.within td{background:var(--hi)}
pre{font-family:ui-monospace,"DejaVu Sans Mono",Menlo,Consolas,monospace;font-size:13px;overflow-x:auto;margin:0 0 8px;white-space:pre}
details summary{cursor:pointer;color:var(--muted)}
footer{margin-top:24px;color:var(--muted);font-size:12px}
@page{margin:12mm}
@media print{body{max-width:none;padding:0;font-size:10pt;background:#fff;color:#000}
.table-wrap{overflow:visible}table.fits{font-size:8.5pt}table.fits th{position:static}
figure.chart,tr{break-inside:avoid}figure.chart svg{max-width:100%}pre{white-space:pre-wrap;font-size:8pt}}
</style>
)";

void put_term(std::string& s, const char* term, const std::string& value) {
  s += join({"<dt>", term, "</dt><dd>"});
  append_markup_text(s, value);
  s += "</dd>\n";
}

// A normal run in one sentence: the best fit and how many fits lie near it.
std::string at_a_glance(const RunDescription& run, const FitRecorder& fits) {
  if (fits.best_fit == 0) return join({std::to_string(fits.fits), " fits, no best fit"});
  std::string text = join({"Best fit ", std::to_string(fits.best_fit), " of ",
                           std::to_string(fits.fits), ", WSS ", screen_wss_text(fits.best_wss)});
  if (fits.counted)
    text = join({text, "; ", std::to_string(fits.within_count), " within ",
                 screen_percent_text(run.percent), "% of it"});
  return text;
}

// What the run was and how it ended.
void put_summary(std::string& s, const RunDescription& run, const FitRecorder& fits) {
  s += "<dl class=\"summary\">\n";
  put_term(s, "Results file", run.results.empty() ? "not settled" : std::string(run.results));
  put_term(s, "Window",
           run.percent_known ? join({screen_percent_text(run.percent), "% above the best WSS"})
                             : "not settled");
  std::string outcome = outcome_name(run.outcome);
  if (!run.error.empty()) outcome = join({outcome, ": ", run.error});
  put_term(s, "Outcome", outcome);
  put_term(s, "Fits", std::to_string(fits.fits));
  put_term(s, "Best fit",
           fits.best_fit == 0 ? "none"
                              : join({"fit ", std::to_string(fits.best_fit), ", WSS ",
                                      screen_wss_text(fits.best_wss)}));
  put_term(s, "Within the window",
           fits.counted ? std::to_string(fits.within_count) : "not counted");
  s += "</dl>\n";
}

// The fit table, as the screen shows it, the fits within the window set
// apart.
void put_table(DocumentOut& out, std::string& s, const FitRecorder& fits) {
  s += "<h2>Fits</h2>\n<div class=\"table-wrap\"><table class=\"fits\">\n"
       "<thead><tr><th>fit</th><th>WSS</th><th>best so far</th><th>mark</th>"
       "<th>within the window</th></tr></thead>\n<tbody>\n";
  FitReader reader = read_fits(fits);
  while (const RecordedFit* fit = next_fit(reader)) {
    const bool within = fits.counted && within_window(fit->wss, fits.threshold);
    s += within ? "<tr class=\"within\">" : "<tr>";
    s += join({"<td>", std::to_string(fit->number), "</td><td>", screen_wss_text(fit->wss),
               "</td><td>", screen_wss_text(fit->best_wss), "</td><td>", fit->marked ? "*" : "",
               "</td><td>", within ? "yes" : "", "</td></tr>\n"});
    if (s.size() >= kDocumentChunk) {
      put(out, s);
      s.clear();
    }
  }
  s += "</tbody></table></div>\n";
}

void put_parameters_of(std::string& s, const RecordedFit& fit) {
  s += "<pre>";
  for (const std::string& line : fit.parameters) {
    append_markup_text(s, line);
    s += '\n';
  }
  s += "</pre>\n";
}

// The best fit's parameter lines, then every fit's, folded.
void put_parameters(DocumentOut& out, std::string& s, const FitRecorder& fits) {
  if (fits.fits == 0) return;
  s += "<h2>Parameters</h2>\n";
  if (fits.best_fit != 0) {
    FitReader reader = read_fits(fits);
    while (const RecordedFit* fit = next_fit(reader)) {
      if (fit->number != fits.best_fit) continue;
      s += join({"<h3>The best fit, fit ", std::to_string(fit->number), "</h3>\n"});
      put_parameters_of(s, *fit);
      break;
    }
  }
  s += "<details><summary>Every fit's parameter lines</summary>\n";
  FitReader reader = read_fits(fits);
  while (const RecordedFit* fit = next_fit(reader)) {
    s += join({"<h3>Fit ", std::to_string(fit->number), "</h3>\n"});
    put_parameters_of(s, *fit);
    if (s.size() >= kDocumentChunk) {
      put(out, s);
      s.clear();
    }
  }
  s += "</details>\n";
}

}  // namespace

void write_run_page(DocumentOut& out, const RunDescription& run, const FitRecorder& fits) {
  const std::string name = run.results.empty() ? "a run" : std::string(run.results);
  std::string s =
      join({"<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"",
            kPolicy,
            "\">\n<meta name=\"viewport\" content=\"width=device-width, "
            "initial-scale=1\">\n"});
  // While the run follows its results file the page is rewritten as fits
  // come; it reloads itself to show them.
  const bool following = run.outcome == RunOutcome::following;
  if (following) s += "<meta http-equiv=\"refresh\" content=\"5\">\n";
  s += "<title>Wexla: ";
  append_markup_text(s, name);
  s += "</title>\n";
  s += kStyle;
  s += "</head>\n<body>\n<h1>";
  append_markup_text(s, name);
  s += "</h1>\n";
  const bool problem = run.outcome != RunOutcome::normal && !following;
  s += problem ? "<p class=\"outcome problem\">" : "<p class=\"outcome\">";
  if (following) {
    append_markup_text(s, join({"Following the results file as it is written: ",
                                std::to_string(fits.fits), fits.fits == 1 ? " fit" : " fits",
                                " so far, counted from the best so far. This page "
                                "reloads itself every 5 seconds."}));
  } else {
    append_markup_text(
        s, problem ? join({outcome_name(run.outcome), ": ", run.error}) : at_a_glance(run, fits));
  }
  s += "</p>\n";
  put_summary(s, run, fits);
  s += "<figure class=\"chart\">\n";
  const std::string reason = no_chart_reason(count_for_chart(fits));
  if (reason.empty()) {
    put(out, s);
    s.clear();
    write_run_chart(out, run, fits, false);
  } else {
    s += join({"<p class=\"no-chart\">", reason, "</p>"});
  }
  s += "\n</figure>\n";
  put_table(out, s, fits);
  put_parameters(out, s, fits);
  s += "<footer>Written by WEXLA v" WEXLA_PROJECT_VERSION ".</footer>\n</body>\n</html>\n";
  put(out, s);
}

}  // namespace wexla
