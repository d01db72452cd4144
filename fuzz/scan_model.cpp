// The model of a whole run: the command line built from the input's first
// byte, the surroundings from the next two, and a plain walk over the
// results file (line window, keys, WSS field through the oracle, best fit,
// section capture, summary, count) that predicts everything the run leaves.
#include "scan_model.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "app/banner.hpp"
#include "line_model.hpp"
#include "real_oracle.hpp"
#include "textio/numbers/write_number.hpp"
#include "textio/records/format.hpp"

namespace wexla::fuzz {
namespace {

constexpr std::size_t kLine = 80;
constexpr std::size_t kBlockWidth = 38;
constexpr std::string_view kCopyWhat = "Cannot copy 'temp.OUT' to 'BEST.OUT': ";

// The first byte: which options, in which form and order.
constexpr std::uint8_t kJson = 1, kCsv = 2, kBatch = 4, kJsonDash = 8, kCsvDash = 16,
                       kSplitForm = 32, kEndMarker = 64, kFaultyLine = 128;

struct Percent {
  const char* text;
  float settled;
};
constexpr Percent kPercents[] = {{"5", 5.0f}, {"0", 0.001f}, {"100", 100.0f}, {"1e-7", 1e-7f}};

// "--name=value", or "--name" and "value" as two arguments.
std::vector<std::string> option(std::string_view name, const std::string& value, bool split) {
  if (split) return {std::string(name), value};
  return {std::string(name) + "=" + value};
}

// The command lines the parser must refuse, and their one line. Where
// `with_percent`, the percentage follows the arguments.
struct FaultyLine {
  std::vector<std::string> arguments;
  bool with_percent;
  const char* error;
};

const FaultyLine kFaultyLines[] = {
    {{"--bogus", "r"},
     true,
     "wexla: unknown option '--bogus'; to read a results file of that name, put '--' before it"},
    {{"r", "--batch"},
     true,
     "wexla: option '--batch' after the results file; options go in front (to use it as a name "
     "or percentage, put '--' before the results file)"},
    {{"--batch", "r"}, false, "wexla: --batch needs the percentage after the results file"},
    {{"--json=a.json", "--json=b.json", "r"}, true, "wexla: option '--json' is given twice"},
    {{"--batch=1", "r"}, true, "wexla: option '--batch' takes no value"},
    {{"--csv=", "r"},
     true,
     "wexla: option '--csv' needs a file name (--csv=FILE, or '-' for standard output)"},
    {{"--json=run.json", "--csv=run.json", "r"},
     true,
     "wexla: --json and --csv name the same file 'run.json'"},
    {{"--batch"}, false, "wexla: --batch needs the results file and the percentage"},
    {{"--batch", "r", "2,5"}, false, "wexla: the percentage '2,5' is not a number"},
};

void faulty_line(RunConfig& c, std::size_t kind) {
  const FaultyLine& row = kFaultyLines[kind % std::size(kFaultyLines)];
  c.arguments = row.arguments;
  if (row.with_percent) c.arguments.push_back(c.percent_text);
  c.usage_error = row.error;
}

std::string general(float value, int w, int d) {
  char field[kNumberFieldLimit];
  get_float_string(field, w, d, value);
  return {field, static_cast<std::size_t>(w)};
}

std::string decimal(std::int32_t value, int w, int m) {
  char field[kNumberFieldLimit];
  write_decimal(field, w, m, value);
  return {field, static_cast<std::size_t>(w)};
}

bool has(std::string_view text, std::string_view key) {
  return text.find(key) != std::string_view::npos;
}

std::string trimmed(std::string_view line) {
  std::size_t end = line.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : std::string(line.substr(0, end + 1));
}

std::string blanks_removed(std::string_view field) {
  std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return trimmed(field.substr(first));
}

}  // namespace

RunConfig config_of(std::string_view input) {
  auto byte = [&](std::size_t k) -> unsigned {
    return k < input.size() ? static_cast<unsigned char>(input[k]) : 0u;
  };
  RunConfig c;
  unsigned line = byte(0), surroundings = byte(1), extra = byte(2);
  const Percent& percent = kPercents[extra & 3];
  c.percent_text = percent.text;
  c.window_percent = percent.settled;
  c.failing_copy = static_cast<int>(surroundings & 7);
  c.fault = static_cast<CopyFault>((surroundings >> 3) & 3);
  c.old_files = (surroundings & 32) != 0;
  if (((extra >> 2) & 7) == 7) c.file_limit = 512L << ((extra >> 5) & 7);
  if (line & kFaultyLine) {
    faulty_line(c, static_cast<std::size_t>(line & 127));
    return c;
  }
  bool split = (line & kSplitForm) != 0;
  // The options in front, in the split form also in reverse order.
  std::vector<std::vector<std::string>> options;
  if (line & kBatch) {
    options.push_back({"--batch"});
    c.batch = true;
  }
  if (line & kJson) {
    c.json_file = line & kJsonDash ? "-" : kJsonFile;
    options.push_back(option("--json", c.json_file, split));
  }
  if (line & kCsv) {
    c.csv_file = line & kCsvDash ? "-" : kCsvFile;
    options.push_back(option("--csv", c.csv_file, split));
  }
  if (split) std::reverse(options.begin(), options.end());
  for (const auto& words : options)
    c.arguments.insert(c.arguments.end(), words.begin(), words.end());
  if (line & kEndMarker) c.arguments.emplace_back("--");
  c.arguments.emplace_back("r");
  c.arguments.push_back(c.percent_text);
  if (c.json_file == "-" && c.csv_file == "-") {
    c.usage_error = "wexla: --json and --csv cannot both write to standard output ('-')";
  }
  c.screen_on_stderr = c.json_file == "-" || c.csv_file == "-";
  return c;
}

const char* outcome_text(const Expected& e) {
  switch (e.outcome) {
    case Expected::normal:
      return e.fits.empty() ? "no fits" : "normal";
    case Expected::stop:
      return "not a normal fit";
    default:
      return e.data_error ? "data error" : "failed";
  }
}

bool valid_utf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    unsigned lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = lead < 0x80   ? 1
                         : lead < 0xC2 ? 0
                         : lead < 0xE0 ? 2
                         : lead < 0xF0 ? 3
                         : lead < 0xF5 ? 4
                                       : 0;
    if (length == 0 || at + length > bytes.size()) return false;
    std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      unsigned next = static_cast<unsigned char>(bytes[at + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values above U+10FFFF.
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    at += length;
  }
  return true;
}

Expected model_run(const RunConfig& config, std::string_view results) {
  Expected e;
  if (!config.usage_error.empty()) {
    e.outcome = Expected::usage;
    e.status = 64;
    return e;
  }
  e.screen = "\n" WEXLA_BANNER_TEXT "\n\n";
  e.screen += "           n             WSS       Best WSS\n";
  std::array<std::string, 9> window;
  window.fill(std::string(kLine, ' '));
  // The summary's state: 0 idle, 1 heading due, 2 to 5 the four lines
  // after the heading, 6 parameter lines while they hold a ")".
  std::int32_t fit_number = 1, summary_state = 0, heading_number = 1;
  bool scratch_holds_best = false;
  float best_wss = 1e30f, fit_wss = 0.0f;
  std::string section;
  int copies = 0;
  auto fail = [&](std::string reason) {
    e.outcome = Expected::failure;
    e.reason = std::move(reason);
  };
  // The copy of the section just closed; false when it fails. A batch run
  // copies in process, through the stand-in's writes and rename.
  auto copy = [&]() {
    if (!config.batch) e.commands.push_back({Command::copy, e.screen.size()});
    e.largest_file = std::max(e.largest_file, section.size());
    bool fails = ++copies == config.failing_copy;
    // A refused rename is followed by the copy written in place.
    if (!fails || (config.batch && config.fault == CopyFault::killed)) {
      e.best = section;
      e.copied = true;
      e.best_written = true;
      return true;
    }
    std::string why(kCopyWhat);
    if (config.batch && config.fault == CopyFault::status_one) {
      fail(why + "writing 'BEST.OUT' failed: " + std::strerror(kFailedWrite));
      return false;
    }
    if (config.batch && config.fault == CopyFault::not_found) {
      fail(why + "putting the copy in place of 'BEST.OUT' failed: " + std::strerror(kFailedRename));
      return false;
    }
    switch (config.fault) {
      case CopyFault::status_one:
        fail(why + "cp ended with status 1");
        break;
      case CopyFault::not_found:
        fail(why + "cp could not be run");
        break;
      case CopyFault::killed:
        fail(why + "cp was ended by signal 9");
        break;
      case CopyFault::short_copy:
        e.best = section.substr(0, section.size() / 2);
        e.copied = true;
        fail(why + "'BEST.OUT' holds " + std::to_string(e.best.size()) +
             " bytes after the copy, 'temp.OUT' " + std::to_string(section.size()));
        break;
    }
    return false;
  };
  std::size_t at = 0;
  std::uint64_t lines = 0;
  for (;;) {
    ModelRead r = model_read(results, at, kLine, false);
    if (r.end_of_file) break;
    at = r.next;
    ++lines;
    std::rotate(window.rbegin(), window.rbegin() + 1, window.rend());
    window[0].assign(r.field).resize(kLine, ' ');
    const std::string& line = window[0];
    if (has(line, "FINAL OUTPUT FROM Kalvor") && !has(window[2], "MAE  =")) {
      if (scratch_holds_best && !copy()) break;
      scratch_holds_best = false;
      e.largest_file = std::max(e.largest_file, section.size());
      section.clear();
    }
    section.append(line).push_back('\n');
    if (has(line, "Model and Parameter Definition")) {
      if (!has(window[8], "Final WSS")) {
        e.screen += " This file, r.OUT, does not appear to have resulted from a normal fit\n\n";
        e.outcome = Expected::stop;
        break;
      }
      summary_state = 1;
      std::string_view field = std::string_view(window[8]).substr(13, 14);
      OracleReal value = oracle_read_real(field, 0);
      if (!value.accepted) {
        fail("Bad value during floating point read");
        e.data_error = true;
        e.error_line = lines - 8;
        e.error_fit = fit_number;
        e.error_field = blanks_removed(field);
        break;
      }
      fit_wss = std::bit_cast<float>(value.bits);
      bool new_best = fit_wss < best_wss;
      if (new_best) {
        best_wss = fit_wss;
        scratch_holds_best = true;
      }
      bool marked = scratch_holds_best;
      e.screen += " The WSS(" + decimal(fit_number, 3, -1) + (marked ? "*) is " : " ) is ") +
                  general(fit_wss, 14, 6) + "," + general(best_wss, 14, 6) + "\n";
      ModelFit& fit = e.fits.emplace_back();
      fit.number = fit_number;
      fit.wss = fit_wss;
      fit.best_wss = best_wss;
      fit.marked = marked;
      fit.new_best = new_best;
      fit.wss_text = blanks_removed(field);
      if (new_best) e.best_fit = fit_number;
      ++fit_number;
    }
    if (summary_state == 1) {
      e.summary += trimmed(line) + " (" + decimal(heading_number, 3, 3) +
                   ") WSS =" + general(fit_wss, 14, 6) + "\n";
      ++heading_number;
      summary_state = 2;
    } else if (summary_state > 1) {
      std::string_view block = std::string_view(line).substr(0, kBlockWidth);
      e.summary.append(block).push_back('\n');
      if (!e.fits.empty()) e.fits.back().parameters.push_back(trimmed(block));
      if (summary_state < 6) {
        ++summary_state;
      } else if (!has(line, ")")) {
        summary_state = 0;
      }
    }
  }
  e.summary_written = !e.summary.empty();
  e.largest_file = std::max({e.largest_file, section.size(), e.summary.size()});
  if (e.outcome == Expected::normal && scratch_holds_best) copy();
  if (e.outcome != Expected::normal) {
    e.scratch = section;
    e.status = e.outcome == Expected::failure ? 2 : 0;
    e.error = e.reason;
    if (e.outcome == Expected::stop) {
      e.error = "r.OUT: not the result of a normal fit";
      if (config.batch) e.status = 4;
      // The screen has the message, unless nobody is to see it.
      if (config.batch && config.screen_on_stderr) e.end_line = "wexla: " + e.error + "\n";
    } else if (e.data_error) {
      e.error = "r.OUT line " + std::to_string(e.error_line) + ", fit " +
                std::to_string(e.error_fit) + ": the WSS field '" + e.error_field +
                "' is not a number";
      if (config.batch) {
        e.status = 65;
        e.end_line = "wexla: " + e.error + "\n";
      }
    }
    e.largest_file = std::max(e.largest_file, e.screen.size());
    return e;
  }
  if (e.fits.empty()) {
    e.error = "r.OUT: no fit found";
    if (config.batch) {
      e.status = 3;
      e.end_line = "wexla: " + e.error + "\n";
    }
  }
  float threshold = (config.window_percent / 100.0f + 1.0f) * best_wss;
  for (ModelFit& fit : e.fits) {
    fit.within = fit.wss < threshold;
    e.within_count += fit.within ? 1 : 0;
  }
  e.counted = true;
  e.screen += "\n WSS within " + general(config.window_percent, 10, 3) + "% of best " +
              decimal(e.within_count, 5, -1) + "\n";
  // A batch run starts no process: it unlinks the scratch file itself.
  if (!config.batch) e.commands.push_back({Command::remove, e.screen.size()});
  if (!config.batch) {
    e.commands.push_back(
        {config.screen_on_stderr ? Command::show_on_stderr : Command::show, e.screen.size()});
    e.screen += "\n Press return to finish\n";
  }
  e.largest_file = std::max(e.largest_file, e.screen.size());
  return e;
}

}  // namespace wexla::fuzz
