// The whole program over a random results file: run in a scratch folder with
// a fake `bbedit` first on PATH and a Return waiting on standard input, in a
// forked child that calls the program's entry routine. A plain model of the
// scan (line window, keys, WSS field, best fit, summary) predicts the exit
// status, the screen and every file the run leaves.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cfenv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/banner.hpp"
#include "app/run.hpp"
#include "checks.hpp"
#include "line_model.hpp"
#include "real_oracle.hpp"
#include "scratch.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/ending/end_run.hpp"
#include "textio/numbers/write_number.hpp"
#include "textio/records/format.hpp"

#if WEXLA_FUZZ_COVERAGE
// libFuzzer's coverage counters; a forked run hands its own back.
extern "C" std::uint8_t __start___sancov_cntrs[];
extern "C" std::uint8_t __stop___sancov_cntrs[];
#endif

namespace wexla::fuzz {
namespace {

constexpr std::size_t kLine = 80;
constexpr int kChildSeconds = 20;
const char* const kFiles[] = {"r.OUT",      "temp.OUT",   "BEST.OUT",
                              "WexlaP.OUT", "stdout.txt", "stderr.txt"};

struct Expected {
  enum Outcome { normal, stop, failure } outcome = normal;
  std::string screen;
  std::string summary;
  std::string scratch;              // temp.OUT after a stop or failure
  std::optional<std::string> best;  // BEST.OUT, when a copy was made
};

bool has(std::string_view text, std::string_view key) {
  return text.find(key) != std::string_view::npos;
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

std::string trimmed(const std::string& line) {
  std::size_t end = line.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

Expected model_run(std::string_view results) {
  Expected e;
  e.screen = "\n" WEXLA_BANNER_TEXT "\n\n";
  e.screen += "           n             WSS       Best WSS\n";
  std::array<std::string, 9> window;
  window.fill(std::string(kLine, ' '));
  // The summary's state: 0 idle, 1 heading due, 2 to 5 the four lines
  // after the heading, 6 parameter lines while they hold a ")".
  std::int32_t fit_number = 1, summary_state = 0, heading_number = 1;
  bool scratch_holds_best = false;
  float best_wss = 1e30f, fit_wss = 0.0f;
  std::vector<float> all_fit_wss;
  std::string section;
  std::size_t at = 0;
  for (;;) {
    ModelRead r = model_read(results, at, kLine, false);
    if (r.end_of_file) break;
    at = r.next;
    std::string line = r.field;
    line.resize(kLine, ' ');
    std::rotate(window.rbegin(), window.rbegin() + 1, window.rend());
    window[0] = line;
    if (has(line, "FINAL OUTPUT FROM Kalvor") && !has(window[2], "MAE  =")) {
      if (scratch_holds_best) e.best = section;
      scratch_holds_best = false;
      section.clear();
    }
    section += line + '\n';
    if (has(line, "Model and Parameter Definition")) {
      if (!has(window[8], "Final WSS")) {
        e.screen += " This file, r.OUT, does not appear to have resulted from a normal fit\n\n";
        e.outcome = Expected::stop;
        break;
      }
      summary_state = 1;
      OracleReal field = oracle_read_real(std::string_view(window[8]).substr(13, 14), 0);
      if (!field.accepted) {
        e.outcome = Expected::failure;
        break;
      }
      fit_wss = std::bit_cast<float>(field.bits);
      bool marked = true;
      if (fit_wss < best_wss) {
        best_wss = fit_wss;
        scratch_holds_best = true;
      } else if (!scratch_holds_best) {
        marked = false;
      }
      e.screen += " The WSS(" + decimal(fit_number, 3, -1) + (marked ? "*) is " : " ) is ") +
                  general(fit_wss, 14, 6) + "," + general(best_wss, 14, 6) + "\n";
      all_fit_wss.push_back(fit_wss);
      ++fit_number;
    }
    if (summary_state == 1) {
      e.summary += trimmed(line) + " (" + decimal(heading_number, 3, 3) +
                   ") WSS =" + general(fit_wss, 14, 6) + "\n";
      ++heading_number;
      summary_state = 2;
    } else if (summary_state > 1) {
      e.summary += line.substr(0, 38) + "\n";
      if (summary_state < 6) {
        ++summary_state;
      } else if (!has(line, ")")) {
        summary_state = 0;
      }
    }
  }
  if (e.outcome != Expected::normal) {
    e.scratch = section;
    return e;
  }
  if (scratch_holds_best) e.best = section;
  float window_percent = 5.0f;
  float threshold = (window_percent / 100.0f + 1.0f) * best_wss;
  std::int32_t count = 0;
  for (float v : all_fit_wss) count += v < threshold ? 1 : 0;
  e.screen += "\n WSS within " + general(window_percent, 10, 3) + "% of best " +
              decimal(count, 5, -1) + "\n";
  e.screen += "\n Press return to finish\n";
  return e;
}

#if WEXLA_FUZZ_COVERAGE
std::uint8_t* shared_counters() {
  static std::uint8_t* map = static_cast<std::uint8_t*>(
      ::mmap(nullptr, static_cast<std::size_t>(__stop___sancov_cntrs - __start___sancov_cntrs),
             PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  return map;
}
#endif

// The child ends through exit(); its status must reach the parent as it is,
// past libFuzzer's own exit handler, which treats any exit as a crash.
void child_exit(int status, void*) {
#if WEXLA_FUZZ_COVERAGE
  std::memcpy(shared_counters(), __start___sancov_cntrs,
              static_cast<std::size_t>(__stop___sancov_cntrs - __start___sancov_cntrs));
#endif
  ::_exit(status);
}

void redirect(const std::string& path, int fd, int flags) {
  int opened = ::open(path.c_str(), flags, 0644);
  if (opened < 0 || ::dup2(opened, fd) < 0) ::_exit(120);
  ::close(opened);
}

// Runs the program in `dir`; returns the wait status.
int run_program(const std::string& dir) {
#if WEXLA_FUZZ_COVERAGE
  std::size_t counters = static_cast<std::size_t>(__stop___sancov_cntrs - __start___sancov_cntrs);
  std::memset(shared_counters(), 0, counters);
#endif
  std::string path = dir + "/bin:/usr/bin:/bin";
  pid_t pid = ::fork();
  if (pid < 0) std::abort();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(121);
    redirect("stdin.txt", 0, O_RDONLY);
    redirect("stdout.txt", 1, O_WRONLY | O_CREAT | O_TRUNC);
    redirect("stderr.txt", 2, O_WRONLY | O_CREAT | O_TRUNC);
    ::setenv("PATH", path.c_str(), 1);
    // libFuzzer's alarm handler would let a hung child run on.
    ::signal(SIGALRM, SIG_DFL);
    ::alarm(kChildSeconds);
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetround(FE_TONEAREST);
    ::on_exit(child_exit, nullptr);
    char results[] = "r", percent[] = "5";
    char* arguments[] = {results, percent};
    ::wexla::end_run(::wexla::run(arguments));
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
#if WEXLA_FUZZ_COVERAGE
  const std::uint8_t* child = shared_counters();
  for (std::size_t i = 0; i < counters; ++i) {
    __start___sancov_cntrs[i] = std::max(__start___sancov_cntrs[i], child[i]);
  }
#endif
  return status;
}

const std::string& scan_dir() {
  static const std::string dir = [] {
    std::string d = scratch_dir() + "/scan";
    ::mkdir(d.c_str(), 0755);
    ::mkdir((d + "/bin").c_str(), 0755);
    write_file(d + "/bin/bbedit", "#!/bin/sh\nexit 0\n");
    ::chmod((d + "/bin/bbedit").c_str(), 0755);
    write_file(d + "/stdin.txt", "\n");
    return d;
  }();
  return dir;
}

// A failure report: locus line of an in-memory record, the reason, an empty
// line, the backtrace heading and at least one frame.
bool well_formed_report(const std::string& err) {
  std::size_t first = err.find('\n');
  if (first == std::string::npos || !err.starts_with("At line ")) return false;
  std::string_view locus(err.data(), first);
  if (!has(locus, " of file ") || has(locus, "(unit")) return false;
  return err.substr(first + 1).starts_with(
      "Wexla run-time error: Bad value during floating point read\n\n"
      "Error termination. Backtrace:\n#0 ");
}

bool floating_point_note(const std::string& err) {
  if (err.empty()) return true;
  std::string_view head = "Note: The following floating-point exceptions are signalling:";
  return err.starts_with(head) && err.find('\n') == err.size() - 1;
}

// Standard error: the failure report, at most the floating-point note at
// the stop, and nothing at a normal end (the commands are silent).
bool expected_stderr(Expected::Outcome outcome, const std::string& err) {
  switch (outcome) {
    case Expected::failure:
      return well_formed_report(err);
    case Expected::stop:
      return floating_point_note(err);
    default:
      return err.empty();
  }
}

std::string compare(const char* what, const std::string& got, const std::string& want) {
  if (got == want) return {};
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  std::size_t from = at < 40 ? 0 : at - 40;
  return std::string(what) + " differs at byte " + std::to_string(at) + ": " +
         shown(std::string_view(got).substr(from, 120)) + ", want " +
         shown(std::string_view(want).substr(from, 120));
}

}  // namespace

std::string check_scan(const std::uint8_t* data, std::size_t size) {
  std::string_view results(reinterpret_cast<const char*>(data), size);
  const std::string& dir = scan_dir();
  for (const char* file : kFiles) remove_file(dir + "/" + file);
  write_file(dir + "/r.OUT", results);

  int status = run_program(dir);
  std::string out = read_file(dir + "/stdout.txt");
  std::string err = read_file(dir + "/stderr.txt");
  if (!WIFEXITED(status)) {
    return "ended by signal " + std::to_string(WTERMSIG(status)) + "; stderr " +
           shown(err.substr(0, 2000));
  }
  int code = WEXITSTATUS(status);
  Expected e = model_run(results);
  int want_code = e.outcome == Expected::failure ? 2 : 0;
  if (code != want_code) {
    return "exit status " + std::to_string(code) + ", want " + std::to_string(want_code) +
           "; stderr " + shown(err.substr(0, 2000));
  }
  if (!expected_stderr(e.outcome, err)) return "standard error holds " + shown(err.substr(0, 400));
  if (std::string why = compare("the screen", out, e.screen); !why.empty()) return why;
  bool exists = false;
  std::string summary = read_file(dir + "/WexlaP.OUT", &exists);
  if (!exists) return "no WexlaP.OUT";
  if (std::string why = compare("WexlaP.OUT", summary, e.summary); !why.empty()) return why;
  std::string best = read_file(dir + "/BEST.OUT", &exists);
  if (exists != e.best.has_value()) return exists ? "BEST.OUT was written" : "no BEST.OUT";
  if (exists) {
    if (best.size() % (kLine + 1) != 0) return "BEST.OUT is not made of 81-byte records";
    if (std::string why = compare("BEST.OUT", best, *e.best); !why.empty()) return why;
  }
  std::string scratch = read_file(dir + "/temp.OUT", &exists);
  if (e.outcome == Expected::normal) {
    if (exists) return "temp.OUT left after a normal end";
  } else if (std::string why = compare("temp.OUT", scratch, e.scratch); !why.empty()) {
    return why;
  }
  return {};
}

}  // namespace wexla::fuzz
