// The whole program over a random results file: the input's first bytes
// choose the command line (options, their form and order, a refused line)
// and the surroundings (a copy that fails, an earlier run's files, the
// percentage, a file-size limit); the rest is the results file. The run
// takes place in this process: the program's entry routine is called in a
// scratch folder with a Return waiting on standard input, and the
// connection table holds the stand-in shell and an end of the process that
// unwinds back here (a fork per run costs more than the run itself). The model (scan_model.hpp)
// predicts the exit status, the screen, every file, the shell commands and the JSON and CSV
// documents, which are read back here.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/run.hpp"
#include "checks.hpp"
#include "csv_reader.hpp"
#include "json_reader.hpp"
#include "scan_model.hpp"
#include "scratch.hpp"
#include "stand_in_shell.hpp"
#include "textio/connections/connection_table.hpp"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WEXLA_SANITIZER_REPORTS 1
#endif
#endif
#if WEXLA_SANITIZER_REPORTS
#include <sanitizer/common_interface_defs.h>
#endif

namespace wexla::fuzz {
namespace {

constexpr std::size_t kLine = 80;
// A failure report with its backtrace and the documents stay below this, so
// that a file-size limit above the model's largest file by this much
// cannot bite.
constexpr long kLimitMargin = 16384;

bool has(std::string_view text, std::string_view key) {
  return text.find(key) != std::string_view::npos;
}

// The run returns its status; only running out of memory ends the process
// from inside, through the seam's end_process, which here unwinds back to
// the check with the status.
struct RunEnded {
  int status;
};

[[noreturn]] void unwind_to_check(int status) {
  throw RunEnded{status};
}

// The run's standard streams: files in the scratch folder, opened once and
// emptied before each run. Standard input holds the final Return.
struct Streams {
  int in = -1, out = -1, err = -1;
};

const Streams& streams(const std::string& dir) {
  static const Streams s = [&] {
    write_file(dir + "/stdin.txt", "\n");
    Streams made;
    made.in = ::open((dir + "/stdin.txt").c_str(), O_RDONLY | O_CLOEXEC);
    made.out = ::open((dir + "/stdout.txt").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    made.err = ::open((dir + "/stderr.txt").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (made.in < 0 || made.out < 0 || made.err < 0) std::abort();
    return made;
  }();
  return s;
}

// Empties a stream's file and puts it, at its start, on descriptor `fd`.
void give_stream(int stream, int fd, bool empty) {
  if ((empty && ::ftruncate(stream, 0) != 0) || ::lseek(stream, 0, SEEK_SET) != 0 ||
      ::dup2(stream, fd) < 0)
    std::abort();
}

std::string whole_stream(int stream) {
  struct stat st {};
  if (::fstat(stream, &st) != 0) std::abort();
  std::string all(static_cast<std::size_t>(st.st_size), '\0');
  if (!all.empty() && ::pread(stream, all.data(), all.size(), 0) != st.st_size) std::abort();
  return all;
}

// The checking process's own folder, and its standard error for sanitizer
// reports while descriptor 2 is the run's.
struct Home {
  int folder = -1;
  int streams[3] = {-1, -1, -1};
};

const Home& home() {
  static const Home h = [] {
    Home made;
    made.folder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int fd = 0; fd < 3; ++fd) made.streams[fd] = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
    if (made.folder < 0 || made.streams[2] < 0) std::abort();
#if WEXLA_SANITIZER_REPORTS
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(made.streams[2])));
#endif
    return made;
  }();
  return h;
}

// Runs the program in `dir`, in this process, and returns its exit status.
// The run has the folder, descriptors 0 to 2 and a fresh connection table
// to itself, the stand-in shell, and the file-size limit the input asks
// for; all are given back afterwards.
int run_program(const std::string& dir, const RunConfig& config) {
  const Home& h = home();
  CommandLog& log = command_log();
  log.count = 0;
  log.copy_writes = 0;
  log.best_renames = 0;
  log.failing_copy = config.failing_copy;
  log.fault = config.fault;
  log.screen_fd = config.screen_on_stderr ? 2 : 1;
  std::vector<char*> arguments;
  for (const std::string& a : config.arguments) arguments.push_back(const_cast<char*>(a.c_str()));

  std::fflush(nullptr);
  if (::chdir(dir.c_str()) != 0) std::abort();
  const Streams& s = streams(dir);
  give_stream(s.in, 0, false);
  give_stream(s.out, 1, true);
  give_stream(s.err, 2, true);
  ConnectionTable& t = connection_table();
  (void)restart_connections();
  // Each run takes the folder's lock afresh.
  if (t.run_folder >= 0) ::close(t.run_folder);
  t.run_folder = -1;
  t.folder_locked = false;
  t.system.run_command = stand_in_shell;
  t.system.end_process = unwind_to_check;
  t.system.copy_write = stand_in_copy_write;
  t.system.rename_over = stand_in_rename;
  struct rlimit saved_limit {};
  ::getrlimit(RLIMIT_FSIZE, &saved_limit);
  if (config.file_limit > 0) {
    struct rlimit limit = saved_limit;
    limit.rlim_cur = static_cast<rlim_t>(config.file_limit);
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::abort();
  }
  std::fenv_t fenv;
  std::fegetenv(&fenv);
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetround(FE_TONEAREST);

  int status = -1;
  try {
    status = run(arguments);
  } catch (const RunEnded& ended) {
    status = ended.status;
  }

  std::fesetenv(&fenv);
  ::setrlimit(RLIMIT_FSIZE, &saved_limit);
  if (t.run_folder >= 0) ::close(t.run_folder);
  t.run_folder = -1;
  t.folder_locked = false;
  t.system = {};
  for (int fd = 0; fd < 3; ++fd) {
    if (h.streams[fd] >= 0) ::dup2(h.streams[fd], fd);
  }
  if (::fchdir(h.folder) != 0) std::abort();
  return status;
}

const std::string& scan_dir() {
  static const std::string dir = [] {
    std::string d = scratch_dir() + "/scan";
    ::mkdir(d.c_str(), 0755);
    return d;
  }();
  return dir;
}

// Everything a run left, except its standard streams.
void empty_folder(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  while (const dirent* entry = ::readdir(d)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == ".." || name.ends_with(".txt")) continue;
    ::unlink((dir + "/" + entry->d_name).c_str());
  }
  ::closedir(d);
}

std::vector<std::string> folder_names(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return names;
  while (const dirent* entry = ::readdir(d)) names.emplace_back(entry->d_name);
  ::closedir(d);
  return names;
}

std::string compare(const char* what, const std::string& got, std::string_view want) {
  if (got == want) return {};
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  std::size_t from = at < 40 ? 0 : at - 40;
  return std::string(what) + " differs at byte " + std::to_string(at) + ": " +
         shown(std::string_view(got).substr(from, 120)) + ", want " +
         shown(want.substr(std::min(from, want.size()), 120));
}

// Where the failure report that starts at `at` ends: its locus line, the
// reason, an empty line, the backtrace heading and the frame lines.
// Returns npos when the report is not well formed or not for `reason`.
std::size_t report_end(const std::string& err, std::size_t at, std::string_view reason) {
  std::size_t first = err.find('\n', at);
  if (first == std::string::npos || err.compare(at, 8, "At line ") != 0) return std::string::npos;
  std::string_view locus(err.data() + at, first - at);
  if (!has(locus, " of file ") || has(locus, "(unit")) return std::string::npos;
  std::string body =
      "Wexla run-time error: " + std::string(reason) + "\n\nError termination. Backtrace:\n";
  if (err.compare(first + 1, body.size(), body) != 0) return std::string::npos;
  std::size_t end = first + 1 + body.size();
  if (err.compare(end, 3, "#0 ") != 0) return std::string::npos;
  while (end < err.size() && err[end] == '#') {
    std::size_t line_end = err.find('\n', end);
    if (line_end == std::string::npos) return std::string::npos;
    end = line_end + 1;
  }
  return end;
}

bool floating_point_note(std::string_view err) {
  if (err.empty()) return true;
  std::string_view head = "Note: The following floating-point exceptions are signalling:";
  return err.starts_with(head) && err.find('\n') == err.size() - 1;
}

// Standard error without the screen: the report, at most the
// floating-point note at the stop, and nothing at a normal end (the
// commands are silent).
std::string check_stderr(const Expected& e, const RunConfig& config, const std::string& err) {
  bool good;
  if (config.batch) {
    // A batch run says a failure in one line, and what its end tells in one
    // line after the floating-point note.
    bool ends = err.ends_with(e.end_line);
    std::string before = err.substr(0, err.size() - (ends ? e.end_line.size() : 0));
    good = e.outcome == Expected::failure && !e.data_error ? err == "wexla: " + e.reason + "\n"
           : e.outcome == Expected::stop                   ? ends && floating_point_note(before)
                                                           : err == e.end_line;
  } else {
    good = e.outcome == Expected::failure ? report_end(err, 0, e.reason) == err.size()
           : e.outcome == Expected::stop  ? floating_point_note(err)
                                          : err.empty();
  }
  return good ? std::string() : "standard error holds " + shown(err.substr(0, 600));
}

// Standard error holding the screen, with the report or the note written
// straight to descriptor 2 wherever the screen's pending text stood.
std::string check_screen_on_stderr(const Expected& e, const std::string& err) {
  std::string screen = err;
  if (e.outcome == Expected::failure) {
    std::size_t at = err.find("At line ");
    std::size_t end = at == std::string::npos ? at : report_end(err, at, e.reason);
    if (end == std::string::npos) return "no failure report in " + shown(err.substr(0, 2000));
    screen = err.substr(0, at) + err.substr(end);
  } else if (e.outcome == Expected::stop) {
    std::size_t at = err.find("Note: ");
    if (at != std::string::npos) {
      std::size_t end = err.find('\n', at);
      if (end == std::string::npos || !floating_point_note(err.substr(at, end + 1 - at)))
        return "a bad note in " + shown(err.substr(0, 2000));
      screen = err.substr(0, at) + err.substr(end + 1);
    }
  }
  return compare("the screen on standard error", screen, e.screen);
}

std::string hex_of(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

bool same_real(const std::string& text, float want) {
  if (text.empty()) return false;
  char* end = nullptr;
  float got = std::strtof(text.c_str(), &end);
  return *end == '\0' && std::bit_cast<std::uint32_t>(got) == std::bit_cast<std::uint32_t>(want);
}

// A real member: the shortest text of the value, or null when it is not
// finite.
bool real_member(const JsonValue* v, float want) {
  if (v == nullptr) return false;
  if (!std::isfinite(want)) return v->kind == JsonValue::null;
  return v->kind == JsonValue::number && same_real(v->text, want);
}

bool integer_member(const JsonValue* v, long long want) {
  return v != nullptr && v->kind == JsonValue::number && v->text == std::to_string(want);
}

bool string_member(const JsonValue* v, std::string_view want) {
  return v != nullptr && v->kind == JsonValue::string && v->text == want;
}

// A text member and its companion: the text itself when it is UTF-8;
// otherwise some string, and the exact bytes in "<name>_hex".
std::string text_member(const JsonValue& object, const std::string& name, std::string_view want,
                        std::size_t& members) {
  const JsonValue* v = object.member(name);
  const JsonValue* hex = object.member(name + "_hex");
  ++members;
  if (valid_utf8(want)) {
    if (!string_member(v, want) || hex != nullptr) return name + " is not " + shown(want);
    return {};
  }
  ++members;
  if (v == nullptr || v->kind != JsonValue::string || !string_member(hex, hex_of(want)))
    return name + " of bytes that are not UTF-8 is not " + shown(want);
  return {};
}

std::string check_fit(const JsonValue& f, const ModelFit& fit, bool counted) {
  std::string at = "fit " + std::to_string(fit.number) + ": ";
  if (f.kind != JsonValue::object) return at + "not an object";
  std::size_t members = 7;
  if (!integer_member(f.member("fit"), fit.number)) return at + "wrong number";
  if (!real_member(f.member("wss"), fit.wss)) return at + "wrong wss";
  if (!std::isfinite(fit.wss)) {
    if (std::string why = text_member(f, "wss_text", fit.wss_text, members); !why.empty())
      return at + why;
  }
  if (!real_member(f.member("best_wss"), fit.best_wss)) return at + "wrong best_wss";
  const JsonValue* marked = f.member("marked");
  if (marked == nullptr || marked->kind != JsonValue::boolean || marked->truth != fit.marked)
    return at + "wrong marked";
  const JsonValue* new_best = f.member("new_best");
  if (new_best == nullptr || new_best->kind != JsonValue::boolean ||
      new_best->truth != fit.new_best)
    return at + "wrong new_best";
  const JsonValue* within = f.member("within_percent");
  if (within == nullptr ||
      (counted ? within->kind != JsonValue::boolean || within->truth != fit.within
               : within->kind != JsonValue::null))
    return at + "wrong within_percent";
  const JsonValue* parameters = f.member("parameters");
  if (parameters == nullptr || parameters->kind != JsonValue::array ||
      parameters->items.size() != fit.parameters.size())
    return at + "wrong parameters";
  bool all_utf8 = true;
  for (std::size_t k = 0; k < fit.parameters.size(); ++k) {
    const JsonValue& item = parameters->items[k];
    if (item.kind != JsonValue::string) return at + "a parameter line is not a string";
    if (valid_utf8(fit.parameters[k])) {
      if (item.text != fit.parameters[k]) return at + "parameter line " + std::to_string(k);
    } else {
      all_utf8 = false;
    }
  }
  const JsonValue* hex = f.member("parameters_hex");
  if (!all_utf8) {
    ++members;
    if (hex == nullptr || hex->kind != JsonValue::array ||
        hex->items.size() != fit.parameters.size())
      return at + "wrong parameters_hex";
    for (std::size_t k = 0; k < fit.parameters.size(); ++k) {
      if (!string_member(&hex->items[k], hex_of(fit.parameters[k])))
        return at + "parameters_hex line " + std::to_string(k);
    }
  } else if (hex != nullptr) {
    return at + "parameters_hex of UTF-8 lines";
  }
  if (f.names.size() != members) return at + std::to_string(f.names.size()) + " members";
  return {};
}

std::string check_json(const std::string& text, const Expected& e, const RunConfig& config) {
  JsonValue doc;
  if (std::string why = read_json(text, doc); !why.empty())
    return "the JSON document does not read: " + why + " in " + shown(text.substr(0, 400));
  // Thirteen members, and a companion for each text that is not UTF-8;
  // text_member counts "error" and "error_field" where they are texts.
  std::size_t members = 11;
  if (doc.kind != JsonValue::object) return "the JSON document is not an object";
  if (!string_member(doc.member("wexla"), WEXLA_PROJECT_VERSION)) return "JSON: wrong version";
  if (!string_member(doc.member("results"), "r.OUT")) return "JSON: wrong results";
  if (!real_member(doc.member("percent"), config.window_percent)) return "JSON: wrong percent";
  if (!string_member(doc.member("outcome"), outcome_text(e))) return "JSON: wrong outcome";
  if (!integer_member(doc.member("status"), e.status)) return "JSON: wrong status";
  if (e.error.empty()) {
    const JsonValue* error = doc.member("error");
    if (error == nullptr || error->kind != JsonValue::null) return "JSON: an error for a good end";
    ++members;
  } else if (std::string why = text_member(doc, "error", e.error, members); !why.empty()) {
    return "JSON: " + why;
  }
  if (e.data_error) {
    if (!integer_member(doc.member("error_line"), static_cast<long long>(e.error_line)) ||
        !integer_member(doc.member("error_fit"), e.error_fit))
      return "JSON: wrong error_line or error_fit";
    if (std::string why = text_member(doc, "error_field", e.error_field, members); !why.empty())
      return "JSON: " + why;
  } else {
    ++members;
    for (const char* name : {"error_line", "error_fit", "error_field"}) {
      const JsonValue* v = doc.member(name);
      if (v == nullptr || v->kind != JsonValue::null) return std::string("JSON: ") + name;
    }
  }
  if (doc.names.size() != members)
    return "the JSON document has " + std::to_string(doc.names.size()) + " members, want " +
           std::to_string(members);
  const JsonValue* fits = doc.member("fits");
  if (fits == nullptr || fits->kind != JsonValue::array || fits->items.size() != e.fits.size())
    return "JSON: wrong number of fits";
  for (std::size_t k = 0; k < e.fits.size(); ++k) {
    if (std::string why = check_fit(fits->items[k], e.fits[k], e.counted); !why.empty())
      return "JSON: " + why;
  }
  const JsonValue* best = doc.member("best");
  if (best == nullptr) return "JSON: no best";
  if (e.best_fit == 0) {
    if (best->kind != JsonValue::null) return "JSON: a best fit where none is";
  } else if (best->kind != JsonValue::object || best->names.size() != 2 ||
             !integer_member(best->member("fit"), e.best_fit) ||
             !real_member(best->member("wss"),
                          e.fits[static_cast<std::size_t>(e.best_fit - 1)].wss)) {
    return "JSON: wrong best";
  }
  const JsonValue* within = doc.member("within_percent");
  if (e.counted ? !integer_member(within, e.within_count)
                : within == nullptr || within->kind != JsonValue::null)
    return "JSON: wrong within_percent";
  // The files this run wrote, and no other.
  const JsonValue* files = doc.member("files");
  std::size_t written = (e.best_written ? 1 : 0) + (e.summary_written ? 1 : 0);
  if (files == nullptr || files->kind != JsonValue::object || files->names.size() != written ||
      (e.best_written && !string_member(files->member("best"), "BEST.OUT")) ||
      (e.summary_written && !string_member(files->member("summary"), "WexlaP.OUT")))
    return "JSON: wrong files";
  return {};
}

std::string check_csv(const std::string& text, const Expected& e) {
  std::vector<CsvRecord> rows;
  if (std::string why = read_csv(text, rows); !why.empty())
    return "the CSV table does not read: " + why + " in " + shown(text.substr(0, 400));
  if (rows.size() != e.fits.size() + 1) return "CSV: " + std::to_string(rows.size()) + " records";
  if (rows[0] != CsvRecord{"results", "results_hex", "fit", "wss", "wss_text", "best_wss", "marked",
                           "new_best", "within_percent"})
    return "CSV: wrong header";
  if (text.find('\r') != std::string::npos) return "CSV: a carriage return";
  auto real_field = [](const std::string& field, float want) {
    return std::isfinite(want) ? same_real(field, want) : field.empty();
  };
  auto truth = [](bool value) { return std::string(value ? "TRUE" : "FALSE"); };
  for (std::size_t k = 0; k < e.fits.size(); ++k) {
    const ModelFit& fit = e.fits[k];
    const CsvRecord& row = rows[k + 1];
    std::string wss_text = std::isfinite(fit.wss) ? "" : fit.wss_text;
    if (row.size() != 9 || row[0] != "r.OUT" || !row[1].empty() ||
        row[2] != std::to_string(fit.number) || !real_field(row[3], fit.wss) ||
        row[4] != wss_text || !real_field(row[5], fit.best_wss) || row[6] != truth(fit.marked) ||
        row[7] != truth(fit.new_best) || row[8] != truth(e.counted && fit.within))
      return "CSV: wrong row " + std::to_string(k + 1) + ": " + shown(text.substr(0, 400));
  }
  return {};
}

// A file the run may have left, or the earlier run's version of it.
std::string untouched(const std::string& path, const char* what, bool old_files,
                      std::string_view old) {
  bool exists = false;
  std::string got = read_file(path, &exists);
  if (!old_files) return exists ? std::string(what) + " was written" : std::string();
  if (!exists) return std::string(what) + " of the earlier run is gone";
  return compare(what, got, old);
}

std::string check_document(const std::string& dir, const std::string& target, const char* name,
                           std::string_view old, const RunConfig& config, const Expected& e,
                           const std::string& out) {
  bool json = name == std::string_view(kJsonFile);
  if (target.empty() || e.outcome == Expected::usage) {
    return untouched(dir + "/" + name, name, config.old_files, old);
  }
  std::string text;
  if (target == "-") {
    text = out;
    if (std::string why = untouched(dir + "/" + name, name, config.old_files, old); !why.empty())
      return why;
  } else {
    bool exists = false;
    text = read_file(dir + "/" + name, &exists);
    if (!exists) return std::string("no ") + name;
  }
  return json ? check_json(text, e, config) : check_csv(text, e);
}

std::string check_commands(const Expected& e, const RunConfig& config) {
  const CommandLog& log = command_log();
  if (log.count != e.commands.size())
    return std::to_string(log.count) + " shell commands, want " + std::to_string(e.commands.size());
  for (std::size_t k = 0; k < e.commands.size() && k < kMaxLoggedCommands; ++k) {
    std::string at = "shell command " + std::to_string(k + 1);
    if (log.commands[k] != e.commands[k].command) return at + " is not the one due";
    // Everything written before the command has reached the screen.
    auto want = static_cast<std::int64_t>(e.commands[k].screen_size);
    // (A batch run with a document on standard output has no screen.)
    if (config.screen_on_stderr && config.batch) continue;
    if (log.screen_size[k] != want)
      return at + ": " + (config.screen_on_stderr ? "standard error" : "standard output") +
             " held " + std::to_string(log.screen_size[k]) + " bytes, want " + std::to_string(want);
  }
  return {};
}

std::string check_files(const std::string& dir, const RunConfig& config, const Expected& e) {
  bool exists = false;
  bool old = config.old_files;
  if (e.outcome == Expected::usage) {
    if (std::string why = untouched(dir + "/WexlaP.OUT", "WexlaP.OUT", old, kOldSummary);
        !why.empty())
      return why;
    if (std::string why = untouched(dir + "/BEST.OUT", "BEST.OUT", old, kOldBest); !why.empty())
      return why;
    return untouched(dir + "/temp.OUT", "temp.OUT", old, kOldScratch);
  }
  std::string summary = read_file(dir + "/WexlaP.OUT", &exists);
  if (!exists) return "no WexlaP.OUT";
  std::string_view want_summary = e.summary_written ? std::string_view(e.summary)
                                  : old             ? kOldSummary
                                                    : std::string_view();
  if (std::string why = compare("WexlaP.OUT", summary, want_summary); !why.empty()) return why;
  if (e.copied) {
    std::string best = read_file(dir + "/BEST.OUT", &exists);
    if (!exists) return "no BEST.OUT";
    if (best.size() % (kLine + 1) != 0 && config.fault != CopyFault::short_copy)
      return "BEST.OUT is not made of 81-byte records";
    if (std::string why = compare("BEST.OUT", best, e.best); !why.empty()) return why;
  } else if (std::string why = untouched(dir + "/BEST.OUT", "BEST.OUT", old, kOldBest);
             !why.empty()) {
    return why;
  }
  std::string scratch = read_file(dir + "/temp.OUT", &exists);
  if (e.outcome == Expected::normal) {
    if (exists) return "temp.OUT left after a normal end";
  } else if (std::string why = compare("temp.OUT", scratch, e.scratch); !why.empty()) {
    return why;
  }
  for (const std::string& name : folder_names(dir)) {
    if (name.ends_with(".part")) return "a document's temporary " + name + " is left";
    if (name == "a.json" || name == "b.json") return name + " was written";
  }
  return {};
}

// With a file-size limit that may bite, the run must still end by itself,
// with its status, a failure report, or a document it could not write, and
// leave nothing larger than the limit.
std::string check_under_limit(const std::string& dir, const RunConfig& config, const Expected& e,
                              int code, const std::string& out, const std::string& err) {
  if (code != e.status && code != 2 && code != 74)
    return "under a file-size limit: exit status " + std::to_string(code);
  if (code == 2 && e.outcome != Expected::failure) {
    std::string copy_failed = config.batch
                                  ? "Cannot copy 'temp.OUT' to 'BEST.OUT': writing 'BEST.OUT' "
                                    "failed: " +
                                        std::string(std::strerror(EFBIG))
                                  : "Cannot copy 'temp.OUT' to 'BEST.OUT': cp ended with status 1";
    // A batch run says a failure in one line.
    const std::string said = config.batch ? "wexla: " : "Wexla run-time error: ";
    if (!has(err, said + std::string(std::strerror(EFBIG)) + "\n") &&
        !has(err, said + copy_failed + "\n"))
      return "under a file-size limit: standard error holds " + shown(err.substr(0, 600));
  }
  for (const std::string& name : folder_names(dir)) {
    struct stat st {};
    if (::stat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode) && name != "r.OUT" &&
        st.st_size > config.file_limit)
      return name + " is larger than the file-size limit";
  }
  if (!config.screen_on_stderr && !e.screen.starts_with(out))
    return compare("the screen under a file-size limit", out, e.screen.substr(0, out.size()));
  return {};
}

}  // namespace

std::string check_scan(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view results = input.substr(std::min(size, kConfigBytes));
  RunConfig config = config_of(input);
  const std::string& dir = scan_dir();
  empty_folder(dir);
  write_file(dir + "/r.OUT", results);
  if (config.old_files) {
    write_file(dir + "/temp.OUT", kOldScratch);
    write_file(dir + "/BEST.OUT", kOldBest);
    write_file(dir + "/WexlaP.OUT", kOldSummary);
    write_file(dir + "/" + kJsonFile, kOldJson);
    write_file(dir + "/" + kCsvFile, kOldCsv);
  }

  int code = run_program(dir, config);
  std::string out = whole_stream(streams(dir).out);
  std::string err = whole_stream(streams(dir).err);
  Expected e = model_run(config, results);
  bool documents = !config.json_file.empty() || !config.csv_file.empty();
  if (config.file_limit > 0 &&
      (documents || static_cast<long>(e.largest_file) + kLimitMargin > config.file_limit))
    return check_under_limit(dir, config, e, code, out, err);
  if (code != e.status) {
    return "exit status " + std::to_string(code) + ", want " + std::to_string(e.status) +
           "; stderr " + shown(err.substr(0, 2000));
  }
  if (e.outcome == Expected::usage) {
    if (!out.empty()) return "a refused command line wrote " + shown(out.substr(0, 200));
    if (std::string why = compare("the refusal", err, config.usage_error + "\n"); !why.empty())
      return why;
  } else if (!config.screen_on_stderr) {
    if (std::string why = check_stderr(e, config, err); !why.empty()) return why;
    if (std::string why = compare("the screen", out, e.screen); !why.empty()) return why;
  } else if (config.batch) {
    if (std::string why = check_stderr(e, config, err); !why.empty()) return why;
  } else if (std::string why = check_screen_on_stderr(e, err); !why.empty()) {
    return why;
  }
  if (std::string why = check_files(dir, config, e); !why.empty()) return why;
  if (std::string why = check_commands(e, config); !why.empty()) return why;
  if (std::string why = check_document(dir, config.json_file, kJsonFile, kOldJson, config, e, out);
      !why.empty())
    return why;
  return check_document(dir, config.csv_file, kCsvFile, kOldCsv, config, e, out);
}

}  // namespace wexla::fuzz
