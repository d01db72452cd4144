// A document put on standard output or renamed into place beside its
// name, and the targets that may never take one.
#include "app/document_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/join_text.hpp"
#include "app/options.hpp"
#include "scan/run_files.hpp"
#include "textio/connections/write_all.hpp"

namespace wexla {
namespace {

// The names the run reads or writes besides the results file.
constexpr const char* kRunFiles[] = {WEXLA_SCRATCH_FILE, WEXLA_BEST_FILE, WEXLA_SUMMARY_FILE};
constexpr int kTemporaryTries = 100;

bool same_file(const struct stat& a, const std::string& name) {
  struct stat b;
  return ::stat(name.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string system_text(int error) {
  return std::strerror(error);
}

// "dir/.name.<pid>.<try>.part" beside "dir/name".
std::string temporary_name(const std::string& name, int attempt) {
  std::size_t slash = name.rfind('/');
  std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  return name.substr(0, base) + "." + name.substr(base) + "." + std::to_string(::getpid()) + "." +
         std::to_string(attempt) + ".part";
}

// The document written in full to a new temporary beside `path`, then
// renamed to it; the temporary is removed when anything fails.
std::string write_through_temporary(const std::string& path, std::string_view text) {
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < kTemporaryTries; ++attempt) {
    temporary = temporary_name(path, attempt);
    do {
      fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno != EEXIST) return system_text(errno);
  }
  if (fd < 0) return system_text(EEXIST);
  int error = write_all(fd, text.data(), text.size());
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return system_text(error);
  }
  return {};
}

}  // namespace

std::string document_target_problem(std::string_view name, std::string_view results_name) {
  std::string path(name);
  struct stat target;
  if (::lstat(path.c_str(), &target) != 0) {
    return errno == ENOENT ? std::string() : system_text(errno);
  }
  if (!S_ISREG(target.st_mode)) {
    return S_ISLNK(target.st_mode) ? "it is a symbolic link" : "it is not a regular file";
  }
  if (!results_name.empty() && same_file(target, std::string(results_name)))
    return "it is the results file";
  for (const char* run_file : kRunFiles) {
    if (same_file(target, run_file)) return join({"it is ", run_file});
  }
  return {};
}

std::string write_document(std::string_view name, std::string_view text,
                           std::string_view results_name) {
  if (name == kStandardOutputName) {
    int error = write_all(1, text.data(), text.size());
    return error == 0 ? std::string() : system_text(error);
  }
  if (std::string problem = document_target_problem(name, results_name); !problem.empty())
    return problem;
  std::string path(name);
  // An interrupt or a termination that arrives while the temporary exists
  // waits until the document is in place (or the temporary removed): the
  // run still ends by it, but leaves no half-written temporary behind.
  sigset_t ending, before;
  sigemptyset(&ending);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGHUP);
  sigprocmask(SIG_BLOCK, &ending, &before);
  std::string problem = write_through_temporary(path, text);
  sigprocmask(SIG_SETMASK, &before, nullptr);
  return problem;
}

}  // namespace wexla
