// The chart of a run's fits, drawn as SVG from the recorded fits.
#include "documents/run_chart.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "documents/chart_axes.hpp"
#include "documents/join_text.hpp"
#include "documents/markup_text.hpp"
#include "documents/real_text.hpp"
#include "scan/window_count.hpp"
#include "textio/numbers/write_number.hpp"

namespace wexla {
namespace {

// The drawing's size, in its own units, and its text: a monospace font
// whose characters are at most kCharWidth of its size wide, so that the
// room a label takes is known from its length.
constexpr double kWidth = 720.0;
constexpr double kHeight = 380.0;
constexpr double kFontSize = 11.0;
constexpr double kLabelFontSize = 12.0;
constexpr double kCharWidth = 0.62;
constexpr double kTop = 34.0;
constexpr double kRight = 16.0;
constexpr double kBottom = 58.0;
constexpr const char* kStyle =
    "<style>"
    ".wexla-chart{font-family:'DejaVu Sans Mono',Menlo,Consolas,monospace;font-size:11px}"
    ".wexla-chart .back{fill:#fff}"
    ".wexla-chart text{fill:#222}"
    ".wexla-chart .frame{fill:none;stroke:#777;stroke-width:1}"
    ".wexla-chart .grid{stroke:#ddd;stroke-width:1}"
    ".wexla-chart .band{fill:#2a9d8f;fill-opacity:0.18}"
    ".wexla-chart .step{fill:none;stroke:#e76f51;stroke-width:1.5}"
    ".wexla-chart .fit{fill:#264653;fill-opacity:0.75}"
    ".wexla-chart .not-finite{fill:#9b2226}"
    ".wexla-chart .best{fill:none;stroke:#e76f51;stroke-width:2}"
    ".wexla-chart .best-label{font-size:12px;font-weight:bold;fill:#b5451b;"
    "}"
    ".wexla-chart .label-back{fill:#fff;fill-opacity:0.88;stroke:#e76f51;stroke-width:0.75}"
    ".wexla-chart .key-line{stroke:#e76f51;stroke-width:1.5}"
    "@media (prefers-color-scheme: dark){"
    ".wexla-chart .back{fill:#161b22}"
    ".wexla-chart text{fill:#ddd}"
    ".wexla-chart .grid{stroke:#333}"
    ".wexla-chart .fit{fill:#8ecae6}"
    ".wexla-chart .best-label{fill:#f4a261}"
    ".wexla-chart .label-back{fill:#161b22}"
    ".wexla-chart .not-finite{fill:#ff6b6b}}"
    "</style>";

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// Where the plot stands in the drawing, and where a value lands in it.
struct Frame {
  Axis x, y;
  double left = 0.0, top = kTop, width = 0.0, height = 0.0;

  double at_x(double fit) const { return left + (fit - x.low) / (x.high - x.low) * width; }
  double at_y(double wss) const {
    if (y.log)
      return top + (std::log10(y.high) - std::log10(wss)) /
                       (std::log10(y.high) - std::log10(y.low)) * height;
    return top + (y.high - wss) / (y.high - y.low) * height;
  }
  bool shows(double wss) const { return wss >= y.low && wss <= y.high; }
};

Frame frame_for(const ChartCount& count) {
  Frame f;
  f.x = fit_axis(count.fits);
  f.y = wss_axis(count.smallest, count.largest);
  std::size_t widest = 0;
  for (const AxisTick& t : f.y.ticks) widest = std::max(widest, t.label.size());
  f.left = 12.0 + static_cast<double>(widest) * kCharWidth * kFontSize + 8.0;
  f.width = kWidth - f.left - kRight;
  f.height = kHeight - kTop - kBottom;
  return f;
}

void put_text(std::string& s, double x, double y, const char* anchor, const char* cls,
              std::string_view text) {
  s += join({"<text x=\"", number(x), "\" y=\"", number(y), "\" text-anchor=\"", anchor, "\""});
  if (*cls != '\0') s += join({" class=\"", cls, "\""});
  s += '>';
  append_markup_text(s, text);
  s += "</text>";
}

void put_axes(std::string& s, const Frame& f) {
  for (const AxisTick& t : f.y.ticks) {
    double y = f.at_y(t.value);
    s += join({"<line class=\"grid\" x1=\"", number(f.left), "\" x2=\"", number(f.left + f.width),
               "\" y1=\"", number(y), "\" y2=\"", number(y), "\"/>"});
    put_text(s, f.left - 6.0, y + kFontSize * 0.35, "end", "tick", t.label);
  }
  const double bottom = f.top + f.height;
  for (const AxisTick& t : f.x.ticks) {
    double x = f.at_x(t.value);
    s += join({"<line class=\"grid\" x1=\"", number(x), "\" x2=\"", number(x), "\" y1=\"",
               number(f.top), "\" y2=\"", number(bottom), "\"/>"});
    put_text(s, x, bottom + 16.0, "middle", "tick", t.label);
  }
  s += join({"<rect class=\"frame\" x=\"", number(f.left), "\" y=\"", number(f.top), "\" width=\"",
             number(f.width), "\" height=\"", number(f.height), "\"/>"});
  put_text(s, f.left + f.width / 2.0, bottom + 34.0, "middle", "axis", "fit");
  put_text(s, f.left, f.top - 12.0, "start", "axis", f.y.log ? "WSS (logarithmic scale)" : "WSS");
}

// The window from the best WSS up to the count's bound.
// Whether there is one: not without a best, nor for a best of minus
// infinity.
bool put_band(std::string& s, const Frame& f, const RunDescription& run, const FitRecorder& fits) {
  if (fits.best_fit == 0 || !std::isfinite(fits.best_wss) || !fits.counted) return false;
  if (!std::isfinite(fits.threshold) || fits.threshold <= fits.best_wss) return false;
  double low = std::max<double>(fits.best_wss, f.y.low);
  double high = std::min<double>(fits.threshold, f.y.high);
  if (high <= low) return false;
  double top = f.at_y(high), bottom = f.at_y(low);
  s += join({"<rect class=\"band\" x=\"", number(f.left), "\" y=\"", number(top), "\" width=\"",
             number(f.width), "\" height=\"", number(bottom - top), "\"><title>"});
  append_markup_text(s, join({"within ", screen_percent_text(run.percent), "% of the best WSS"}));
  s += "</title></rect>";
  return true;
}

// What the line and the band mean, above the plot at its right end, where
// nothing else is written.
void put_key(std::string& s, const Frame& f, const RunDescription& run, bool band) {
  const double y = f.top - 12.0;
  double right = f.left + f.width;
  if (band) {
    const std::string text = join({"within ", screen_percent_text(run.percent), "% of the best"});
    const double wide = static_cast<double>(text.size()) * kCharWidth * kFontSize;
    put_text(s, right, y, "end", "key", text);
    right -= wide + 6.0;
    s += join({"<rect class=\"band\" x=\"", number(right - 14.0), "\" y=\"", number(y - 8.0),
               "\" width=\"14\" height=\"9\"/>"});
    right -= 14.0 + 18.0;
  }
  const char* text = "best WSS so far";
  const double wide =
      static_cast<double>(std::char_traits<char>::length(text)) * kCharWidth * kFontSize;
  put_text(s, right, y, "end", "key", text);
  right -= wide + 6.0;
  s += join({"<line class=\"key-line\" x1=\"", number(right - 16.0), "\" x2=\"", number(right),
             "\" y1=\"", number(y - 3.5), "\" y2=\"", number(y - 3.5), "\"/>"});
}

// The best WSS so far, as a step line from the first fit that has one.
void put_step_line(DocumentOut& out, std::string& s, const Frame& f, const FitRecorder& fits) {
  FitReader reader = read_fits(fits);
  bool started = false;
  float last = 0.0f;
  double end = 0.0;
  while (const RecordedFit* fit = next_fit(reader)) {
    bool has_best =
        std::isfinite(fit->best_wss) && f.shows(fit->best_wss) && (started || fit->new_best);
    if (!has_best) {
      if (started) break;
      continue;
    }
    double x = f.at_x(fit->number - 0.5), y = f.at_y(fit->best_wss);
    if (!started) {
      s += join({"<path class=\"step\" d=\"M", number(x), " ", number(y)});
      started = true;
    } else if (fit->best_wss != last) {
      s += join({" H", number(x), " V", number(y)});
    }
    last = fit->best_wss;
    end = f.at_x(fit->number + 0.5);
    if (s.size() >= kDocumentChunk) {
      put(out, s);
      s.clear();
    }
  }
  if (started) s += join({" H", number(end), "\"/>"});
}

std::string exact(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// Points smaller as they grow many.
double point_radius(const ChartCount& count) {
  return count.fits > 1000 ? 1.6 : count.fits > 200 ? 2.4 : 3.5;
}

// Every fit: a point at its WSS, or, for a WSS that is not finite, a mark
// on the top edge. Each carries its fit number in full and the WSS as the
// screen shows it.
void put_points(DocumentOut& out, std::string& s, const Frame& f, const ChartCount& count,
                const FitRecorder& fits) {
  const double radius = point_radius(count);
  FitReader reader = read_fits(fits);
  while (const RecordedFit* fit = next_fit(reader)) {
    const double x = f.at_x(fit->number);
    const std::string title =
        join({"fit ", std::to_string(fit->number), ": ", screen_wss_text(fit->wss)});
    if (std::isfinite(fit->wss)) {
      s += join({"<circle class=\"fit\" cx=\"", number(x), "\" cy=\"", number(f.at_y(fit->wss)),
                 "\" r=\"", number(radius), "\" data-fit=\"", std::to_string(fit->number),
                 "\" data-wss=\"", document_real_text(fit->wss), "\"><title>"});
    } else {
      const double y = f.top;
      s += join({"<path class=\"fit not-finite\" d=\"M", number(x - radius), " ",
                 number(y - radius * 1.6), " H", number(x + radius), " L", number(x), " ",
                 number(y + radius * 0.6), " Z\" data-fit=\"", std::to_string(fit->number),
                 "\"><title>"});
    }
    append_markup_text(s, title);
    s += "</title></";
    s += std::isfinite(fit->wss) ? "circle>" : "path>";
    if (s.size() >= kDocumentChunk) {
      put(out, s);
      s.clear();
    }
  }
}

// A label's box in the drawing.
struct Box {
  double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
  bool meets(double x, double y, double radius) const {
    return x + radius > left && x - radius < right && y + radius > top && y - radius < bottom;
  }
};

// The box of the best fit's label with its baseline at `y`, beside the
// point at `x` on the right or the left, kept inside the plot.
Box label_box(const Frame& f, double x, double y, bool right, double wide) {
  constexpr double kPad = 3.0;
  Box b;
  b.left = right ? x + 12.0 : x - 12.0 - wide;
  b.left = std::clamp(b.left, f.left + 4.0, f.left + f.width - 4.0 - wide);
  b.right = b.left + wide;
  b.top = y - kLabelFontSize * 0.8 - kPad;
  b.bottom = y + kLabelFontSize * 0.25 + kPad;
  const double shift =
      std::max(0.0, f.top + 2.0 - b.top) - std::max(0.0, b.bottom - (f.top + f.height - 2.0));
  b.top += shift;
  b.bottom += shift;
  b.left -= kPad;
  b.right += kPad;
  return b;
}

// The best fit: a ring about its point and its label, inside the plot, on
// whichever side of the point hides the fewest other points.
void put_best(std::string& s, const Frame& f, const ChartCount& count, const FitRecorder& fits) {
  if (fits.best_fit == 0 || !std::isfinite(fits.best_wss) || !f.shows(fits.best_wss)) return;
  const double x = f.at_x(fits.best_fit), y = f.at_y(fits.best_wss);
  s += join({"<circle class=\"best\" cx=\"", number(x), "\" cy=\"", number(y), "\" r=\"7\"/>"});
  const std::string label =
      join({"best: fit ", std::to_string(fits.best_fit), ", WSS ", screen_wss_text(fits.best_wss)});
  const double wide = static_cast<double>(label.size()) * kCharWidth * kLabelFontSize;
  // Above right, above left, below right, below left, and at the top of
  // the plot on either side.
  const double above = y - 12.0, below = y + 12.0 + kLabelFontSize;
  const double top = f.top + kLabelFontSize + 6.0;
  const Box candidates[] = {label_box(f, x, above, true, wide), label_box(f, x, above, false, wide),
                            label_box(f, x, below, true, wide), label_box(f, x, below, false, wide),
                            label_box(f, x, top, true, wide),   label_box(f, x, top, false, wide)};
  constexpr std::size_t kPlaces = std::size(candidates);
  std::size_t hidden[kPlaces] = {};
  for (std::size_t k = 0; k < kPlaces; ++k) {
    if (candidates[k].meets(x, y, 7.0)) hidden[k] = static_cast<std::size_t>(-1) / 2;
  }
  const double radius = point_radius(count);
  FitReader reader = read_fits(fits);
  while (const RecordedFit* fit = next_fit(reader)) {
    if (!std::isfinite(fit->wss) || !f.shows(fit->wss) || fit->number == fits.best_fit) continue;
    const double px = f.at_x(fit->number), py = f.at_y(fit->wss);
    for (std::size_t k = 0; k < kPlaces; ++k) hidden[k] += candidates[k].meets(px, py, radius);
  }
  std::size_t chosen = 0;
  for (std::size_t k = 1; k < kPlaces; ++k) {
    if (hidden[k] < hidden[chosen]) chosen = k;
  }
  const Box& b = candidates[chosen];
  s += join({"<rect class=\"label-back\" x=\"", number(b.left), "\" y=\"", number(b.top),
             "\" width=\"", number(b.right - b.left), "\" height=\"", number(b.bottom - b.top),
             "\" rx=\"3\"/>"});
  put_text(s, b.left + 3.0, b.bottom - 3.0 - kLabelFontSize * 0.25, "start", "best-label", label);
}

// A real in a screen field of `Width` characters, as G with `digits`
// writes it, without the blanks around it.
template <std::size_t Width>
std::string screen_field_text(float value, int digits) {
  char field[Width];
  get_float_string(field, static_cast<int>(Width), digits, value);
  std::string_view text(field, Width);
  std::size_t first = text.find_first_not_of(' ');
  std::size_t last = text.find_last_not_of(' ');
  return first == std::string_view::npos ? std::string()
                                         : std::string(text.substr(first, last - first + 1));
}

}  // namespace

std::string screen_wss_text(float wss) {
  return screen_field_text<14>(wss, 6);
}

std::string screen_percent_text(float percent) {
  return screen_field_text<10>(percent, 3);
}

ChartCount count_for_chart(const FitRecorder& fits) {
  ChartCount count;
  FitReader reader = read_fits(fits);
  while (const RecordedFit* fit = next_fit(reader)) {
    ++count.fits;
    if (!std::isfinite(fit->wss)) continue;
    if (count.finite == 0 || fit->wss < count.smallest) count.smallest = fit->wss;
    if (count.finite == 0 || fit->wss > count.largest) count.largest = fit->wss;
    ++count.finite;
  }
  return count;
}

std::string no_chart_reason(const ChartCount& count) {
  if (count.fits == 0) return "No fit was found: there is nothing to draw.";
  if (count.finite == 0) return "No fit has a finite WSS: there is nothing to draw.";
  return {};
}

void write_run_chart(DocumentOut& out, const RunDescription& run, const FitRecorder& fits,
                     bool standalone) {
  const ChartCount count = count_for_chart(fits);
  std::string s = "<svg";
  if (standalone) s += " xmlns=\"http://www.w3.org/2000/svg\"";
  s += join({" class=\"wexla-chart\" viewBox=\"0 0 ", number(kWidth), " ", number(kHeight),
             "\" width=\"", number(kWidth), "\" height=\"", number(kHeight), "\" role=\"img\""});
  const std::string reason = no_chart_reason(count);
  if (!reason.empty()) {
    s += join({" data-fits=\"", std::to_string(count.fits), "\">", kStyle});
    s += join(
        {"<rect class=\"back\" width=\"", number(kWidth), "\" height=\"", number(kHeight), "\"/>"});
    put_text(s, kWidth / 2.0, kHeight / 2.0, "middle", "", reason);
    s += "</svg>";
    put(out, s);
    return;
  }
  const Frame f = frame_for(count);
  s += join({" data-fits=\"",
             std::to_string(count.fits),
             "\" data-not-finite=\"",
             std::to_string(count.fits - count.finite),
             "\" data-plot-left=\"",
             number(f.left),
             "\" data-plot-top=\"",
             number(f.top),
             "\" data-plot-width=\"",
             number(f.width),
             "\" data-plot-height=\"",
             number(f.height),
             "\" data-x-low=\"",
             exact(f.x.low),
             "\" data-x-high=\"",
             exact(f.x.high),
             "\" data-y-scale=\"",
             f.y.log ? "log" : "linear",
             "\" data-y-low=\"",
             exact(f.y.low),
             "\" data-y-high=\"",
             exact(f.y.high),
             "\">"});
  s += kStyle;
  s += join(
      {"<rect class=\"back\" width=\"", number(kWidth), "\" height=\"", number(kHeight), "\"/>"});
  put_axes(s, f);
  const bool band = put_band(s, f, run, fits);
  put_key(s, f, run, band);
  put(out, s);
  s.clear();
  // The line over the points, so that it shows however many there are.
  put_points(out, s, f, count, fits);
  put_step_line(out, s, f, fits);
  put_best(s, f, count, fits);
  if (count.finite < count.fits) {
    const std::size_t others = count.fits - count.finite;
    put_text(s, f.left + f.width / 2.0, kHeight - 6.0, "middle", "note",
             join({std::to_string(others), others == 1 ? " fit has" : " fits have",
                   " a WSS that is not finite: marked on the top edge"}));
  }
  s += "</svg>";
  put(out, s);
}

}  // namespace wexla
