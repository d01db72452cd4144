// A run killed at any moment: the program runs on a results file of a few
// MiB with several best fits, in a folder that holds an earlier run's files
// (or none), and is sent SIGKILL, SIGINT or SIGTERM after a seeded random
// delay spread over the whole run, alone or with its process group (as a
// terminal's interrupt reaches the commands too). What it leaves must be
// whole: the documents absent, the earlier ones or complete new ones;
// BEST.OUT absent, the earlier one or a complete best section, never a part
// of one (the batch run copies it itself and replaces it whole); no
// temporary left by SIGINT or SIGTERM; the folder's lock free, and a new run
// there the same as in a clean folder, with no temporary a killed run left
// (after one trial in sixteen and every unusual one). The counts of each
// case close the output.
//
//   kill_test WEXLA [SEED]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "csv_reader.hpp"
#include "json_reader.hpp"
#include "results_file.hpp"
#include "scratch_folder.hpp"

extern char** environ;

namespace {

using test_support::read_file;
using test_support::write_file;
using Clock = std::chrono::steady_clock;

constexpr int kDelaysPerSignal = 200;
// 24 sections of about 65 KiB: a results file of 1.6 MiB, with three best
// fits, so that a signal may come during any of the copies.
constexpr int kSections = 24;
constexpr int kLinesPerSection = 1000;
// The sections whose fit is a new best, in order.
constexpr int kBestSections[] = {1, 9, 17};
// Every trial checks that the folder's lock is free; a new run in the
// folder, compared with a clean run, follows both trials (one of each
// target) of every this many pairs, and every trial that left a part of a
// copy or a document's temporary.
constexpr int kNewRunEvery = 16;
constexpr const char* kArguments[] = {"--batch", "--json=run.json", "--csv=run.csv", "r", "5"};

// One section: header, filler lines, one fit with its parameter block, and
// closing statistics. `record` gets the section as BEST.OUT would hold it.
std::string section(int number, const char* wss, std::string& record) {
  e2e::Results results;
  results.header();
  char text[96];
  for (int k = 0; k < kLinesPerSection; ++k) {
    std::snprintf(text, sizeof text, "   iteration %6d   objective %14.6f   step %10.4f", k,
                  1000.0 + number * 3.25 + k * 0.125, 1.0 / (k + 1));
    results.line(text);
  }
  results.fit(wss, 6).closing().line("");
  record += e2e::records(results.text());
  return results.text();
}

struct Folder {
  std::string dir;
  std::string file(const char* name) const { return dir + "/" + name; }
};

struct Outcome {
  bool signalled = false;
  int value = 0;  // exit status or signal
};

// A started run: its process, and the reading end of a pipe whose writing
// end the run and every command it starts hold until they end.
struct Started {
  pid_t pid;
  int alive;
};

// The writing end of that pipe in the run, above every descriptor the run
// opens.
constexpr int kAliveDescriptor = 200;

// The environment of the runs: a sanitized build's program skips its leak
// check at the end (the rest of the suite makes it), which would double the
// run's time and hold the run's descriptors for a while after it is killed.
std::vector<std::string> run_environment() {
  std::vector<std::string> env;
  std::string asan = "ASAN_OPTIONS=detect_leaks=0";
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    if (entry.starts_with("ASAN_OPTIONS=")) {
      asan = entry + ":detect_leaks=0";
    } else {
      env.push_back(entry);
    }
  }
  env.push_back(asan);
  return env;
}

// Starts WEXLA in `dir` in a process group of its own; standard input is
// empty, the screen goes to screen.txt. posix_spawn, so that starting a run
// costs little beside the run.
Started start_run(const std::string& wexla, const std::string& dir) {
  static const std::vector<std::string> environment = run_environment();
  std::vector<char*> envp;
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  std::vector<char*> argv{const_cast<char*>(wexla.c_str())};
  for (const char* a : kArguments) argv.push_back(const_cast<char*>(a));
  argv.push_back(nullptr);

  int alive[2];
  if (::pipe(alive) != 0) std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "screen.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_adddup2(&actions, alive[1], kAliveDescriptor);
  posix_spawn_file_actions_addclose(&actions, alive[0]);
  posix_spawn_file_actions_addclose(&actions, alive[1]);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  // The run's folder is the one it starts in; this process has one thread.
  static const std::string home = std::filesystem::current_path().string();
  if (::chdir(dir.c_str()) != 0) std::abort();
  pid_t pid = -1;
  int error = posix_spawn(&pid, wexla.c_str(), &actions, &attributes, argv.data(), envp.data());
  if (::chdir(home.c_str()) != 0 || error != 0) std::abort();
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(alive[1]);
  return {pid, alive[0]};
}

// Waits for the run and for every command it started (a cp may outlive
// it): the pipe's writing end is closed when the last of them ends.
Outcome finish_run(Started run) {
  int status = 0;
  while (::waitpid(run.pid, &status, 0) < 0) {
  }
  for (;;) {
    char byte;
    ssize_t n = ::read(run.alive, &byte, 1);
    if (n == 0 || (n < 0 && errno != EINTR)) break;
  }
  ::close(run.alive);
  Outcome o;
  o.signalled = WIFSIGNALED(status);
  o.value = o.signalled ? WTERMSIG(status) : WEXITSTATUS(status);
  return o;
}

void sleep_for(std::chrono::nanoseconds delay) {
  timespec t{static_cast<time_t>(delay.count() / 1000000000),
             static_cast<long>(delay.count() % 1000000000)};
  while (::nanosleep(&t, &t) != 0) {
  }
}

// The files a run leaves that the checks compare.
struct Leftovers {
  std::string best, summary, json, csv;
  bool has_best = false, has_summary = false, has_json = false, has_csv = false;
};

Leftovers look(const Folder& f) {
  Leftovers l;
  l.best = read_file(f.file("BEST.OUT"), &l.has_best);
  l.summary = read_file(f.file("WexlaP.OUT"), &l.has_summary);
  l.json = read_file(f.file("run.json"), &l.has_json);
  l.csv = read_file(f.file("run.csv"), &l.has_csv);
  return l;
}

void empty_folder(const Folder& f) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(f.dir, ignored))
    std::filesystem::remove(entry.path(), ignored);
}

// A document that reads back whole: a JSON object with its closing members,
// or a CSV table with its header and whole rows.
bool whole_json(const std::string& text, std::string* outcome) {
  wexla::fuzz::JsonValue doc;
  if (!wexla::fuzz::read_json(text, doc).empty() || doc.kind != wexla::fuzz::JsonValue::object)
    return false;
  const wexla::fuzz::JsonValue* o = doc.member("outcome");
  const wexla::fuzz::JsonValue* files = doc.member("files");
  if (o == nullptr || files == nullptr) return false;
  *outcome = o->text;
  return true;
}

bool whole_csv(const std::string& text) {
  std::vector<wexla::fuzz::CsvRecord> rows;
  if (!wexla::fuzz::read_csv(text, rows).empty() || rows.empty()) return false;
  for (const auto& row : rows) {
    if (row.size() != 9) return false;
  }
  return rows[0][0] == "results";
}

struct Expectations {
  Leftovers clean;                         // a run in a clean folder
  Leftovers earlier;                       // the files of the earlier run
  std::vector<std::string> best_sections;  // what each copy puts in BEST.OUT
};

// What the documents were: absent, the earlier run's, the new run's as a
// clean run writes them, or new and complete for a run that failed.
std::string document_case(bool present, const std::string& text, bool present_before,
                          const std::string& before, const std::string& clean, bool json,
                          std::string& problem) {
  if (!present) {
    if (present_before) problem = "an earlier document is gone";
    return "absent";
  }
  if (present_before && text == before) return "earlier";
  if (text == clean) return "new";
  std::string outcome;
  if (json ? whole_json(text, &outcome) && outcome == "failed" : whole_csv(text))
    return "new, of a failed run";
  problem = "a document is neither earlier nor whole";
  return "broken";
}

std::string best_case(const Leftovers& l, bool earlier_present, const Expectations& x,
                      std::string& problem) {
  if (!l.has_best) {
    if (earlier_present) problem = "the earlier BEST.OUT is gone";
    return "absent";
  }
  if (earlier_present && l.best == x.earlier.best) return "earlier";
  for (std::size_t k = 0; k < x.best_sections.size(); ++k) {
    if (l.best == x.best_sections[k]) return "best section " + std::to_string(k + 1);
  }
  for (const std::string& s : x.best_sections) {
    if (l.best.size() < s.size() && s.compare(0, l.best.size(), l.best) == 0) {
      problem = "BEST.OUT is half copied";
      return "half-copied";
    }
  }
  problem = "BEST.OUT is none of the sections";
  return "broken";
}

// Whether another run could take the folder's lock. A killed process's
// files are released by the system just after it is gone, in no order the
// pipe can show, so the lock has a moment to come free.
bool lock_is_free(const Folder& f) {
  int fd = ::open(f.dir.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool free = false;
  for (int tries = 0; !free && tries < 200; ++tries) {
    free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!free) ::usleep(1000);
  }
  ::close(fd);
  return free;
}

std::string compare_run(const Leftovers& got, const Leftovers& want) {
  if (!got.has_best || got.best != want.best) return "BEST.OUT";
  if (!got.has_summary || got.summary != want.summary) return "WexlaP.OUT";
  if (!got.has_json || got.json != want.json) return "run.json";
  if (!got.has_csv || got.csv != want.csv) return "run.csv";
  return {};
}

const char* signal_name(int sig) {
  return sig == SIGKILL ? "SIGKILL" : sig == SIGINT ? "SIGINT" : "SIGTERM";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kill_test WEXLA [SEED]\n");
    return 2;
  }
  const std::string wexla = std::filesystem::absolute(argv[1]).string();
  const unsigned long long seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261210;
  test_support::ScratchFolder scratch("wexla-kill");
  const std::string base = scratch.dir().string();

  // The results file, and the sections that are copied in turn.
  Expectations x;
  std::string results;
  double best = 1e30;
  for (int n = 1; n <= kSections; ++n) {
    bool new_best =
        std::find(std::begin(kBestSections), std::end(kBestSections), n) != std::end(kBestSections);
    // The other fits are worse than the first best one.
    double wss = new_best ? best = (n == kBestSections[0] ? 500.0 : best - 90.0) : 900.0 + n;
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", wss);
    std::string record;
    results += section(n, text, record);
    if (new_best) x.best_sections.push_back(record);
  }
  write_file(base + "/r.OUT", results);

  // An earlier run's files, from another results file.
  Folder earlier{base + "/earlier"};
  std::filesystem::create_directory(earlier.dir);
  {
    std::string ignored;
    write_file(earlier.file("r.OUT"), section(1, "7.5", ignored) + section(2, "3.5", ignored));
    Outcome o = finish_run(start_run(wexla, earlier.dir));
    if (o.signalled || o.value != 0) {
      std::fprintf(stderr, "the earlier run failed: %d\n", o.value);
      return 1;
    }
    x.earlier = look(earlier);
  }

  // A run in a clean folder, timed.
  Folder clean{base + "/clean"};
  std::filesystem::create_directory(clean.dir);
  std::vector<double> durations;
  for (int k = 0; k < 6; ++k) {
    empty_folder(clean);
    std::filesystem::create_hard_link(base + "/r.OUT", clean.file("r.OUT"));
    auto start = Clock::now();
    Outcome o = finish_run(start_run(wexla, clean.dir));
    durations.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (o.signalled || o.value != 0) {
      std::fprintf(stderr, "the clean run failed: %d\n", o.value);
      return 1;
    }
  }
  x.clean = look(clean);
  if (!x.clean.has_best || x.clean.best != x.best_sections.back()) {
    std::fprintf(stderr, "the clean run's BEST.OUT is not the last best section\n");
    return 1;
  }
  // The first run warms the caches; the median of the others.
  std::sort(durations.begin() + 1, durations.end());
  const double run_seconds = durations[3];
  std::printf("results file %zu bytes, %zu best fits; a run takes %.1f ms; seed %llu\n",
              results.size(), x.best_sections.size(), run_seconds * 1e3, seed);

  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> jitter(0.0, 1.0);
  Folder trial{base + "/trial"};
  std::filesystem::create_directory(trial.dir);
  // Counts by signal and target, then by what was found.
  std::map<std::string, std::map<std::string, int>> counts;
  int passed = 0, failed = 0;
  const int signals[] = {SIGKILL, SIGINT, SIGTERM};
  for (int sig : signals) {
    for (int i = 0; i < kDelaysPerSignal; ++i) {
      // Delays spread over the whole run and a little past it, one in each
      // slice, at a random place in its slice.
      double at = run_seconds * 1.05 * (i + jitter(random)) / kDelaysPerSignal;
      bool group = i % 2 == 1;
      bool with_earlier = (i / 2) % 2 == 0;
      empty_folder(trial);
      std::filesystem::create_hard_link(base + "/r.OUT", trial.file("r.OUT"));
      if (with_earlier) {
        for (const char* name : {"BEST.OUT", "WexlaP.OUT", "run.json", "run.csv"})
          std::filesystem::copy_file(earlier.file(name), trial.file(name));
      }
      Started run = start_run(wexla, trial.dir);
      sleep_for(std::chrono::nanoseconds(static_cast<long long>(at * 1e9)));
      ::kill(group ? -run.pid : run.pid, sig);
      Outcome o = finish_run(run);

      std::string key = std::string(signal_name(sig)) + (group ? " to the group" : " to the run");
      auto& c = counts[key];
      std::string problem;
      c[o.signalled ? "run ended by the signal"
                    : "run ended with status " + std::to_string(o.value)]++;
      Leftovers l = look(trial);
      c["JSON " + document_case(l.has_json, l.json, with_earlier, x.earlier.json, x.clean.json,
                                true, problem)]++;
      c["CSV " + document_case(l.has_csv, l.csv, with_earlier, x.earlier.csv, x.clean.csv, false,
                               problem)]++;
      std::string best = best_case(l, with_earlier, x, problem);
      c["BEST.OUT " + best]++;
      bool part_left = false;
      for (const auto& entry : std::filesystem::directory_iterator(trial.dir)) {
        if (!entry.path().filename().string().ends_with(".part")) continue;
        part_left = true;
        c["a temporary left"]++;
        if (sig != SIGKILL) problem = "SIGINT or SIGTERM left a temporary";
      }
      if (std::filesystem::exists(trial.file("temp.OUT"))) c["temp.OUT left"]++;
      if (!lock_is_free(trial)) problem = "the folder's lock is held";
      // A new run in the same folder ends well and leaves what a clean run
      // does: checked often, and always after an unusual end.
      bool unusual = part_left || best == "half-copied";
      if ((i / 2) % kNewRunEvery == 0 || unusual) {
        c["new run in the folder"]++;
        Outcome again = finish_run(start_run(wexla, trial.dir));
        if (again.signalled || again.value != 0) {
          problem = "the new run ended with " + std::to_string(again.value);
        } else if (std::string which = compare_run(look(trial), x.clean); !which.empty()) {
          problem = "after the new run, " + which + " differs from a clean run's";
        } else if (std::filesystem::exists(trial.file("temp.OUT"))) {
          problem = "the new run left temp.OUT";
        }
        for (const auto& entry : std::filesystem::directory_iterator(trial.dir)) {
          std::string name = entry.path().filename().string();
          if (name.starts_with(".BEST.OUT.") && name.ends_with(".part"))
            problem = "the new run left the killed run's " + name;
        }
      }
      if (problem.empty()) {
        ++passed;
      } else {
        ++failed;
        std::printf("FAILED: %s after %.2f ms: %s\n", key.c_str(), at * 1e3, problem.c_str());
      }
    }
  }
  for (const auto& [key, found] : counts) {
    std::printf("%s:\n", key.c_str());
    for (const auto& [what, n] : found) std::printf("  %4d  %s\n", n, what.c_str());
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
