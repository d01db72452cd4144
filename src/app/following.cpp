// Reading a results file on as it grows, and the three ends of following.
#include "app/following.hpp"

#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <cfenv>
#include <csignal>

#include "app/run_answer.hpp"
#include "documents/documents.hpp"
#include "scan/followed_results.hpp"
#include "scan/window_count.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"

namespace wexla {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// A file that grows is looked at four times a second; one that has not
// grown for a while once a second, which costs the waiting run next to
// nothing (each wake costs some tens of microseconds).
constexpr auto kPause = std::chrono::milliseconds(250);
constexpr auto kQuietPause = std::chrono::seconds(1);
constexpr auto kQuietAfter = std::chrono::seconds(2);
constexpr auto kRewriteEvery = std::chrono::seconds(1);

// Set by the handler: a signal asked following to stop.
volatile std::sig_atomic_t stop_asked = 0;

void on_stop_signal(int) {
  stop_asked = 1;
}

// While following waits, the three signals stop it instead of the run.
void catch_stop_signals(Following& f) {
  if (f.catching) return;
  struct sigaction catcher {};
  catcher.sa_handler = on_stop_signal;
  sigemptyset(&catcher.sa_mask);
  for (std::size_t k = 0; k < std::size(kStopSignals); ++k)
    ::sigaction(kStopSignals[k], &catcher, &f.signals_before[k]);
  f.catching = true;
}

// Back to what they did before: a second signal ends the run as it would
// without --follow.
void release_stop_signals(Following& f) {
  if (!f.catching) return;
  for (std::size_t k = 0; k < std::size(kStopSignals); ++k)
    ::sigaction(kStopSignals[k], &f.signals_before[k], nullptr);
  f.catching = false;
}

void end_following(Following& f, Followed why) {
  f.on = false;
  f.ended_by = why;
  open_followed_input(f.input);
  release_stop_signals(f);
}

// Whether the process following waits for has ended. A child of the run's
// own (`fitter & exec wexla --pid=$!`) is reaped, or it would never seem to.
bool process_ended(long pid) {
  const auto id = static_cast<pid_t>(pid);
  int status = 0;
  pid_t reaped = ::waitpid(id, &status, WNOHANG);
  if (reaped == id) return true;
  if (reaped == 0) return false;
  return ::kill(id, 0) != 0 && errno == ESRCH;
}

// The end that has come, if one has: a signal, the process's end, or the
// file idle for long enough.
Followed end_that_came(const Following& f, FollowClock::time_point now) {
  if (stop_asked != 0) return Followed::signal;
  if (f.request.pid > 0 && process_ended(f.request.pid)) return Followed::pid;
  if (f.request.idle_seconds > 0 &&
      now - f.last_growth >= std::chrono::seconds(f.request.idle_seconds))
    return Followed::idle;
  return Followed::unsettled;
}

void pause_a_moment(const Following& f) {
  if (auto* stand_in = connection_table().system.pause_following) {
    stand_in();
    return;
  }
  const bool quiet = FollowClock::now() - f.last_growth >= kQuietAfter;
  const auto length = std::chrono::nanoseconds(quiet ? kQuietPause : kPause);
  timespec pause{static_cast<time_t>(length.count() / 1000000000),
                 static_cast<long>(length.count() % 1000000000)};
  // A signal cuts the pause short, which is what it is for.
  (void)::nanosleep(&pause, nullptr);
}

// The documents as they stand: every fit so far, the count made from the
// best WSS so far, the outcome "following" and no status. The count's work
// leaves the floating-point flags as they were, so that a later stop
// notes what a run without following would.
void write_documents_on_the_way(Following& f, const RunPlan& plan, const RunSettings& settings,
                                const FitScan& scan, const SummaryWriter& summary,
                                FitRecorder& recorder, FollowClock::time_point now) {
  if (!plan.documents.any() || recorder.fits == f.fits_in_documents) return;
  if (f.fits_in_documents > 0 && now - f.documents_written < kRewriteEvery) return;
  std::fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
  const float threshold = window_threshold(settings.window_percent, scan.best_wss);
  record_count(recorder, threshold, count_within(scan.all_fit_wss, threshold));
  RunAnswer answer;
  answer.outcome = RunOutcome::following;
  RunDescription run = describe(settings, scan, summary, answer);
  run.followed = Followed::unsettled;
  if (!write_documents(plan.documents, run, recorder, !f.rewrite_failure_said))
    f.rewrite_failure_said = true;
  recorder.counted = false;
  recorder.threshold = 0.0f;
  recorder.within_count = 0;
  std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
  f.fits_in_documents = recorder.fits;
  f.documents_written = now;
}

// Between two reads of the followed file: everything written so far handed
// on, then a look at the file a few times a second until it has grown or
// following has ended (which opens the gate for the rest).
void wait_for_more(Following& f, const RunPlan& plan, const RunSettings& settings,
                   const FitScan& scan, const SummaryWriter& summary, FitRecorder& recorder) {
  flush_all_connections();
  for (;;) {
    const FollowClock::time_point now = FollowClock::now();
    if (f.input.taken != f.taken_at_last_look) {
      f.taken_at_last_look = f.input.taken;
      f.last_growth = now;
    }
    if (Followed why = end_that_came(f, now); why != Followed::unsettled) {
      end_following(f, why);
      return;
    }
    if (look_at_followed_file(settings.results(), f.input) == ResultsLook::grown) return;
    write_documents_on_the_way(f, plan, settings, scan, summary, recorder, now);
    pause_a_moment(f);
  }
}

}  // namespace

Following::Following(const FollowRequest& r) : request(r), on(r.on) {
  stop_asked = 0;
}

Following::~Following() {
  release_stop_signals(*this);
}

bool wait_for_results_file(Following& f, std::string_view results_name) {
  if (!f.on || file_exists(results_name)) return file_exists(results_name);
  catch_stop_signals(f);
  f.last_growth = FollowClock::now();
  while (!file_exists(results_name)) {
    if (Followed why = end_that_came(f, FollowClock::now()); why != Followed::unsettled) {
      end_following(f, why);
      return file_exists(results_name);
    }
    pause_a_moment(f);
  }
  // Its appearance is its first growth. The prompts that may follow are
  // the operator's, where a signal does what it always did.
  f.last_growth = FollowClock::now();
  release_stop_signals(f);
  return true;
}

void follow_scan(Following& f, const RunPlan& plan, const RunSettings& settings, FitScan& scan,
                 SummaryWriter& summary, FitRecorder& recorder) {
  open_scan(settings.results(), scan);
  if (!f.on || !follow_results_file(f.input)) {
    if (f.on) end_following(f, Followed::unsettled);
    (void)scan_lines(settings.typed(), scan, summary, recorder);
    return;
  }
  catch_stop_signals(f);
  f.last_growth = FollowClock::now();
  while (scan_lines(settings.typed(), scan, summary, recorder) == ScanPause::no_data_yet)
    wait_for_more(f, plan, settings, scan, summary, recorder);
}

}  // namespace wexla
