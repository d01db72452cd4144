// The run-time failure report written straight to descriptor 2 (locus line,
// reason, backtrace), the end of the run it throws, and the handlers for
// running out of memory and for the signals a failed write would raise.
#include "textio/ending/failure.hpp"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "textio/connections/connection_table.hpp"
#include "textio/connections/write_all.hpp"
#include "textio/ending/end_run.hpp"

// The backtrace parts are optional; the build says which the system has.
#if WEXLA_HAVE_BACKTRACE
#include WEXLA_BACKTRACE_HEADER
#endif
#if WEXLA_HAVE_DLADDR
#include <dlfcn.h>
#endif
#if WEXLA_HAVE_CXXABI
#include <cxxabi.h>
#endif

namespace wexla {
namespace {

constexpr std::string_view kReasonPrefix = "Wexla run-time error: ";
constexpr std::string_view kBriefPrefix = "wexla: ";

// Reports go straight to descriptor 2, never through a connection. A report
// that cannot be written has nowhere else to go.
void write_stderr(std::string_view text) {
  (void)write_all(2, text.data(), text.size());
}

std::string_view base_name(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

// One line per active call, innermost first, leaving out the reporting
// frames themselves. Demangling allocates, so it is skipped when memory ran out.
// Without backtrace() in the C library the report simply ends after its
// heading.
[[gnu::noinline]] void write_backtrace([[maybe_unused]] int skip, [[maybe_unused]] bool demangle) {
#if WEXLA_HAVE_BACKTRACE
  constexpr int kMaxFrames = 64;
  void* frames[kMaxFrames];
  int count = ::backtrace(frames, kMaxFrames);
  char line[1024];
  for (int i = skip + 1, shown = 0; i < count; ++i, ++shown) {
    const char* name = nullptr;
    const char* object = nullptr;
    char* readable = nullptr;
#if WEXLA_HAVE_DLADDR
    Dl_info info{};
    if (::dladdr(frames[i], &info) != 0) {
      name = info.dli_sname;
      object = info.dli_fname;
    }
#endif
#if WEXLA_HAVE_CXXABI
    int status = 0;
    if (name != nullptr && demangle)
      readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    if (readable != nullptr) name = readable;
#endif
    int n;
    if (name != nullptr) {
      n = std::snprintf(line, sizeof line, "#%d  %p in %s\n", shown, frames[i], name);
    } else if (object != nullptr) {
      n = std::snprintf(line, sizeof line, "#%d  %p in %s\n", shown, frames[i],
                        base_name(object).data());
    } else {
      n = std::snprintf(line, sizeof line, "#%d  %p\n", shown, frames[i]);
    }
    std::free(readable);
    if (n > 0) write_stderr({line, std::min(static_cast<std::size_t>(n), sizeof line - 1)});
  }
#endif
}

[[gnu::noinline]] void write_report(Where where, ConnectionRef connection, std::string_view reason,
                                    int skip) {
  if (connection_table().brief_reports) {
    write_stderr(kBriefPrefix);
    write_stderr(reason);
    write_stderr("\n");
    return;
  }
  char locus[1024];
  std::string_view file = base_name(where.file_name());
  int n;
  if (connection.number > 0 && !connection.name.empty()) {
    n = std::snprintf(locus, sizeof locus, "At line %u of file %.*s (unit = %d, file = '%.*s')\n",
                      static_cast<unsigned>(where.line()), static_cast<int>(file.size()),
                      file.data(), connection.number, static_cast<int>(connection.name.size()),
                      connection.name.data());
  } else if (connection.number > 0) {
    n = std::snprintf(locus, sizeof locus, "At line %u of file %.*s (unit = %d)\n",
                      static_cast<unsigned>(where.line()), static_cast<int>(file.size()),
                      file.data(), connection.number);
  } else {
    n = std::snprintf(locus, sizeof locus, "At line %u of file %.*s\n",
                      static_cast<unsigned>(where.line()), static_cast<int>(file.size()),
                      file.data());
  }
  if (n > 0) write_stderr({locus, std::min(static_cast<std::size_t>(n), sizeof locus - 1)});
  write_stderr(kReasonPrefix);
  write_stderr(reason);
  write_stderr("\n\nError termination. Backtrace:\n");
  write_backtrace(skip + 1, true);
}

}  // namespace

void write_failure_report(Where where, ConnectionRef connection, std::string_view reason) {
  write_report(where, connection, reason, 1);
}

void report_failure(Where where, ConnectionRef connection, std::string_view reason) {
  write_report(where, connection, reason, 1);
  throw run_end(RunEnd::Why::failure, kExitFailure, reason, where);
}

void out_of_memory() {
  write_stderr("Operating system error: ");
  write_stderr(std::strerror(ENOMEM));
  write_stderr("\nMemory allocation failed\n\nError termination. Backtrace:\n");
  write_backtrace(0, false);
  end_run_now(run_end(RunEnd::Why::failure, kExitOutOfMemory, {}));
}

void install_failure_handlers() {
  std::set_new_handler([] { out_of_memory(); });
  // A write to a pipe without a reader, or beyond the file-size limit, would
  // otherwise kill the run before anything is reported or flushed. With a
  // handler that does nothing, the write fails instead and the failure is
  // reported; unlike an ignored signal, a caught one is back to its default
  // in the commands the program runs.
  struct sigaction quiet {};
  quiet.sa_handler = [](int) {};
  sigemptyset(&quiet.sa_mask);
  ::sigaction(SIGPIPE, &quiet, nullptr);
  ::sigaction(SIGXFSZ, &quiet, nullptr);
#if WEXLA_HAVE_BACKTRACE
  // The first backtrace loads the unwinder; do it while memory is plentiful.
  void* frame[1];
  ::backtrace(frame, 1);
#endif
}

}  // namespace wexla
