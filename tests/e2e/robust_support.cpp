// What the hostile-input and fault suites share: command stand-ins, FIFO
// writers and readers, and the peak memory of a run.
#include "robust_support.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>

#include "results_file.hpp"

namespace e2e {

TwoSections::TwoSections()
    : first(Results().section("20.25").text()), second(Results().section("12.5").text()) {}

std::string TwoSections::table() const {
  return table_heading() + table_line(1, true, k20_25, k20_25) + table_line(2, true, k12_5, k12_5);
}

std::string TwoSections::screen() const {
  return banner() + table() + screen_tail("  5.00    ", 1);
}

std::string TwoSections::first_summary() const {
  return kModelHeading + " (001) WSS =" + k20_25 + "\n" + summary_block();
}

std::string TwoSections::summary() const {
  return first_summary() + kModelHeading + " (002) WSS =" + k12_5 + "\n" + summary_block();
}

const std::string kFixedCommands = "cp temp.OUT BEST.OUT\nrm temp.OUT\nbbedit BEST.OUT\n";

void log_commands(const Sandbox& box, bool remove) {
  box.write_script("bin/cp", "echo \"cp $*\" >> commands.log\nexec /bin/cp \"$@\"\n");
  box.write_script("bin/rm", "echo \"rm $*\" >> commands.log\n" +
                                 std::string(remove ? "exec /bin/rm \"$@\"\n" : ""));
  box.write_script("bin/bbedit", "echo \"bbedit $*\" >> commands.log\necho bbedit ran\n");
  box.write_script("bin/touch", "echo \"touch $*\" >> commands.log\n");
}

namespace {

// Whether some line of `text` holds every one of `parts`.
bool line_with_all(const std::string& text, std::initializer_list<std::string> parts) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    bool all = true;
    for (const std::string& part : parts) all = all && line.find(part) != std::string::npos;
    if (all) return true;
  }
  return false;
}

constexpr unsigned kGiveUpSeconds = 40;

int wait_for(pid_t& pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

bool tool_reported(const std::string& err, const std::string& tool, const std::string& file,
                   int code) {
  return line_with_all(err, {tool + ":", file, std::strerror(code)});
}

bool shell_reported_missing(const std::string& err, const std::string& command) {
  return line_with_all(err, {command, "not found"});
}

bool shell_reported_not_run(const std::string& err, const std::string& command, int code) {
  return line_with_all(err, {command + ":", std::strerror(code)});
}

bool at_most_a_signal_note(const std::string& err, int signal) {
  if (err.empty()) return true;
  std::size_t end = err.find('\n');
  return end + 1 == err.size() && line_with_all(err, {::strsignal(signal)});
}

Said tool_said(const std::string& tool, const std::string& file, int code) {
  return {tool + " on " + file + ": " + std::strerror(code),
          [=](const std::string& err) { return tool_reported(err, tool, file, code); }};
}

Said shell_said_missing(const std::string& command) {
  return {"the shell found no " + command,
          [=](const std::string& err) { return shell_reported_missing(err, command); }};
}

const std::string kInterruptWexla = "kill -INT \"$" + std::string(kWexlaPidVariable) + "\"\n";

FifoWriter::FifoWriter(const std::string& path, const std::string& text, unsigned delay_ms) {
  // Opened here, so that the FIFO has a writer before the run starts;
  // a late writer opens it in the child, after its delay.
  int fd = delay_ms == 0 ? ::open(path.c_str(), O_RDWR) : -1;
  if (delay_ms == 0 && fd < 0) throw std::runtime_error("cannot open " + path);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ > 0) {
    if (fd >= 0) ::close(fd);
    return;
  }
  // A write that nobody takes would wait for ever.
  ::alarm(kGiveUpSeconds);
  if (delay_ms > 0) {
    ::usleep(delay_ms * 1000);
    fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0) ::_exit(5);
  }
  for (std::size_t done = 0; done < text.size();) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ::_exit(4);
    done += static_cast<std::size_t>(n);
  }
  int left = 1;
  while (::ioctl(fd, FIONREAD, &left) == 0 && left > 0) ::usleep(10000);
  ::close(fd);
  ::_exit(left == 0 ? 0 : 1);
}

bool FifoWriter::all_read() {
  if (pid_ > 0) status_ = wait_for(pid_);
  return status_ == 0;
}

FifoWriter::~FifoWriter() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    all_read();
  }
}

FifoReader::FifoReader(const std::string& path, const std::string& into) {
  // Opened here, without waiting for a writer, so that the FIFO has a
  // reader before the run starts.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ > 0) {
    ::close(fd);
    return;
  }
  ::alarm(kGiveUpSeconds);
  int out = ::open(into.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  bool got = false;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      got = true;
      if (::write(out, buffer, static_cast<std::size_t>(n)) != n) ::_exit(4);
      continue;
    }
    // 0 without a writer: none came yet, or the writer has closed.
    if (n == 0 && got) ::_exit(0);
    if (n < 0 && errno != EAGAIN && errno != EINTR) ::_exit(3);
    ::usleep(1000);
  }
}

bool FifoReader::done() {
  if (pid_ > 0) status_ = wait_for(pid_);
  return status_ == 0;
}

FifoReader::~FifoReader() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    done();
  }
}

void record_peak_memory(const Sandbox& box) {
  std::string status = "/proc/$" + std::string(kWexlaPidVariable) + "/status";
  box.write_script("bin/bbedit",
                   "while read -r key value _; do\n"
                   "  [ \"$key\" = VmHWM: ] && echo \"$value\" > peak.kib\n"
                   "done < " +
                       status +
                       "\n"
                       "echo bbedit ran\n");
}

std::string why_no_peak_memory() {
  std::ifstream status("/proc/self/status");
  std::ostringstream all;
  all << status.rdbuf();
  if (all.str().find("\nVmHWM:") != std::string::npos) return "";
  return "no /proc/<pid>/status with VmHWM on this system, so the peak memory of a run "
         "cannot be read";
}

long recorded_peak_kib(const Sandbox& box) {
  if (!box.exists("peak.kib")) return -1;
  return std::strtol(box.read("peak.kib").c_str(), nullptr, 10);
}

}  // namespace e2e
