// Runs the built program in a scratch folder and captures its streams,
// status and files; the fixed texts of the screen.
#include "harness.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <stdexcept>

#include "app/banner.hpp"

namespace e2e {
namespace fs = std::filesystem;

Sandbox::Sandbox() {
  // Tests that drop privileges still need to work in here.
  fs::permissions(dir(), fs::perms::all);
  fs::create_directory(path("bin"));
  fs::permissions(path("bin"), fs::perms::all);
  write_script("bin/bbedit",
               "echo \"$@\" > bbedit.args\n"
               "if [ -e BEST.OUT ]; then /bin/cp BEST.OUT bbedit.BEST; fi\n"
               "echo bbedit ran\n");
}

void Sandbox::write(const std::string& name, const std::string& content) const {
  folder_.write(name, content);
}

std::string Sandbox::read(const std::string& name) const {
  // A test may have taken the read permission away. Root reads regardless;
  // an ordinary user owns the file and lends itself the permission.
  struct stat st {};
  bool lend =
      ::stat(path(name).c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IRUSR) == 0;
  if (lend) ::chmod(path(name).c_str(), (st.st_mode & 07777) | S_IRUSR);
  bool found = false;
  std::string all = folder_.read(name, &found);
  if (lend) ::chmod(path(name).c_str(), st.st_mode & 07777);
  if (!found) return "<missing " + name + ">";
  return all;
}

bool Sandbox::exists(const std::string& name) const {
  struct stat st {};
  return ::lstat(path(name).c_str(), &st) == 0;
}

void Sandbox::write_script(const std::string& name, const std::string& body) const {
  write(name, "#!/bin/sh\n" + body);
  fs::permissions(path(name), fs::perms::all);
}

namespace {

void set_nonblocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// True when this process opens a file whose mode grants nothing: root, or a
// user whose capabilities override file permissions.
bool permissions_spare_this_process() {
  std::string probe = (fs::temp_directory_path() / "wexla-e2e-probe-XXXXXX").string();
  int fd = ::mkstemp(probe.data());
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  ::close(fd);
  ::chmod(probe.c_str(), 0);
  int again = ::open(probe.c_str(), O_RDONLY);
  if (again >= 0) ::close(again);
  ::unlink(probe.c_str());
  return again >= 0;
}

// How a run with `as_nobody` starts: the words put before the program, or
// why it cannot start at all.
struct PermissionRun {
  std::vector<std::string> prefix;
  std::string why_not;
};

const PermissionRun& permission_run() {
  static const PermissionRun run = [] {
    PermissionRun r;
    if (!permissions_spare_this_process()) return r;
    const char* setpriv = "/usr/bin/setpriv";
    const struct passwd* nobody = ::getpwnam("nobody");
    if (::access(setpriv, X_OK) != 0) {
      r.why_not =
          "file permissions do not bite for this process (root) and /usr/bin/setpriv "
          "(util-linux), which would drop its privileges for the run, is missing";
    } else if (nobody == nullptr) {
      r.why_not =
          "file permissions do not bite for this process (root) and there is no "
          "user nobody to drop its privileges to for the run";
    } else {
      // Numbers, since the group of nobody has different names on different systems.
      r.prefix = {setpriv, "--reuid=" + std::to_string(nobody->pw_uid),
                  "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"};
    }
    return r;
  }();
  return run;
}

}  // namespace

std::string why_permissions_do_not_bite() {
  return permission_run().why_not;
}

RunResult Sandbox::run(const std::vector<std::string>& args, const std::string& input) const {
  RunOptions options;
  options.input = input;
  return run(args, options);
}

RunResult Sandbox::run(const std::vector<std::string>& args, const RunOptions& options) const {
  // A program that ends before taking all its input must not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (::pipe(in_pipe) || ::pipe(out_pipe) || ::pipe(err_pipe)) throw std::runtime_error("pipe");
  std::string path_value =
      options.path.empty() ? path("bin").string() + ":/usr/local/bin:/usr/bin:/bin" : options.path;

  std::vector<std::string> argv_text;
  if (options.as_nobody) {
    // A test that forgot to skip fails instead of passing without the check.
    const PermissionRun& how = permission_run();
    if (!how.why_not.empty()) throw std::runtime_error("as_nobody: " + how.why_not);
    argv_text = how.prefix;
  }
  argv_text.push_back(WEXLA_BINARY);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  int open_outputs = 2;
  if (options.stdout_reader_gone) {
    ::close(out_pipe[0]);
    out_pipe[0] = -1;
    open_outputs = 1;
  }
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    if (::chdir(dir().c_str()) != 0) ::_exit(120);
    ::umask(options.umask_value);
    ::setenv("PATH", path_value.c_str(), 1);
    // setpriv and the program itself keep this process's id.
    ::setenv(kWexlaPidVariable, std::to_string(::getpid()).c_str(), 1);
    ::dup2(in_pipe[0], 0);
    if (options.stdout_to_file) {
      int fd = ::open(options.stdout_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      ::dup2(fd, 1);
      ::close(fd);
    } else {
      ::dup2(out_pipe[1], 1);
    }
    if (options.stderr_to_stdout) {
      ::dup2(1, 2);
    } else if (!options.stderr_file.empty()) {
      int fd = ::open(options.stderr_file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
      ::dup2(fd, 2);
      ::close(fd);
    } else {
      ::dup2(err_pipe[1], 2);
    }
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      ::close(fd);
    }
    if (options.close_stdin) ::close(0);
    if (options.close_stdout) ::close(1);
    if (options.close_stderr) ::close(2);
    ::signal(SIGPIPE, SIG_DFL);
    // A pending alarm survives exec.
    if (options.time_limit > 0) ::alarm(options.time_limit);
    if (options.file_size_limit > 0) {
      // The signal keeps its default action: the program itself must turn
      // it into a write that fails with EFBIG.
      ::signal(SIGXFSZ, SIG_DFL);
      struct rlimit limit {};
      limit.rlim_cur = limit.rlim_max = options.file_size_limit;
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  set_nonblocking(in_pipe[1]);

  RunResult result;
  std::size_t written = 0;
  bool held = !options.wait_for.empty();
  if (options.input.empty() && !held) {
    ::close(in_pipe[1]);
    in_pipe[1] = -1;
  }
  struct pollfd fds[3];
  while (open_outputs > 0 || (in_pipe[1] >= 0 && !held)) {
    int n = 0;
    int out_at = -1, err_at = -1, in_at = -1;
    if (out_pipe[0] >= 0) fds[out_at = n++] = {out_pipe[0], POLLIN, 0};
    if (err_pipe[0] >= 0) fds[err_at = n++] = {err_pipe[0], POLLIN, 0};
    if (in_pipe[1] >= 0 && !held) fds[in_at = n++] = {in_pipe[1], POLLOUT, 0};
    if (::poll(fds, static_cast<nfds_t>(n), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    char buffer[65536];
    auto drain = [&](int at, int& fd, std::string& into) {
      if (at < 0 || fds[at].revents == 0) return;
      ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got > 0) {
        into.append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EAGAIN) {
        ::close(fd);
        fd = -1;
        --open_outputs;
      }
    };
    drain(out_at, out_pipe[0], result.out);
    drain(err_at, err_pipe[0], result.err);
    if (held && (result.out.find(options.wait_for) != std::string::npos || out_pipe[0] < 0)) {
      held = false;
      if (options.meanwhile) options.meanwhile();
      if (options.input.empty()) {
        ::close(in_pipe[1]);
        in_pipe[1] = -1;
      }
    }
    if (in_at >= 0 && fds[in_at].revents != 0) {
      ssize_t put =
          ::write(in_pipe[1], options.input.data() + written, options.input.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      if (put < 0 && errno != EAGAIN) written = options.input.size();
      if (written == options.input.size()) {
        ::close(in_pipe[1]);
        in_pipe[1] = -1;
      }
    }
  }
  if (in_pipe[1] >= 0) ::close(in_pipe[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string banner() {
  return "\n" WEXLA_BANNER_TEXT "\n\n";
}

const std::string kNamePrompt = "Enter the OUT file name ";
const std::string kPercentPrompt = "\nEnter percent from Best WWW ";

std::string missing(const std::string& name) {
  return "\nThis .OUT file (" + name + ") does not exist in this directory\n\n";
}

std::string table_heading() {
  return "           n             WSS       Best WSS\n";
}

std::string table_line(int n, bool marked, const std::string& wss_text, const std::string& best) {
  char number[8];
  std::snprintf(number, sizeof number, "%3d", n);
  return std::string(" The WSS(") + (n > 999 ? "***" : number) + (marked ? "*" : " ") + ") is " +
         wss_text + "," + best + "\n";
}

std::string screen_tail(const std::string& percent_field, int count) {
  char number[8];
  std::snprintf(number, sizeof number, "%5d", count);
  return "\n WSS within " + percent_field + "% of best " + number +
         "\nbbedit ran\n\n Press return to finish\n";
}

std::string one_fit_screen(const std::string& percent_field) {
  return banner() + table_heading() + table_line(1, true, k12_5, k12_5) +
         screen_tail(percent_field, 1);
}

std::string no_fit_screen(const std::string& percent_field) {
  return banner() + table_heading() + screen_tail(percent_field, 0);
}

std::string report(const std::string& locus, const std::string& reason) {
  return "At line # of file " + locus + "\nWexla run-time error: " + reason +
         "\n\nError termination. Backtrace:\n";
}

std::string normalize_report(const std::string& err) {
  std::string text =
      std::regex_replace(err, std::regex("At line [0-9]+ of file"), "At line # of file");
  std::string marker = "Error termination. Backtrace:\n";
  std::size_t at = text.find(marker);
  if (at == std::string::npos) return text;
  std::size_t end = at + marker.size();
  // Frames are lines starting with '#'; keep whatever follows them.
  while (end < text.size() && text[end] == '#') {
    std::size_t nl = text.find('\n', end);
    end = nl == std::string::npos ? text.size() : nl + 1;
  }
  return text.substr(0, at + marker.size()) + text.substr(end);
}

}  // namespace e2e
