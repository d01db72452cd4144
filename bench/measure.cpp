// Runs one command and prints its wall time in seconds, the peak resident
// memory of it and the commands it waited for in KiB, and the processor time
// of all of them in seconds: user and system together, then user, then
// system:
//
//   measure [-i INPUT] [-o OUTPUT] -- COMMAND [ARGS...]
//
// Standard input comes from INPUT (default /dev/null), standard output goes
// to OUTPUT (default /dev/null); standard error is kept. The exit status is
// the command's. The benchmark script uses this instead of time(1), which a
// fresh machine may lack.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

int open_or_die(const char* name, int flags) {
  int fd = ::open(name, flags, 0666);
  if (fd < 0) {
    std::fprintf(stderr, "measure: %s: %s\n", name, std::strerror(errno));
    ::_exit(127);
  }
  return fd;
}

double now() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  const char* input = "/dev/null";
  const char* output = "/dev/null";
  int at = 1;
  for (; at + 1 < argc && argv[at][0] == '-' && std::strcmp(argv[at], "--") != 0; at += 2) {
    if (std::strcmp(argv[at], "-i") == 0)
      input = argv[at + 1];
    else if (std::strcmp(argv[at], "-o") == 0)
      output = argv[at + 1];
    else
      break;
  }
  if (at >= argc || std::strcmp(argv[at], "--") != 0 || at + 1 >= argc) {
    std::fprintf(stderr, "usage: %s [-i INPUT] [-o OUTPUT] -- COMMAND [ARGS...]\n", argv[0]);
    return 2;
  }
  char** command = argv + at + 1;

  double start = now();
  pid_t child = ::fork();
  if (child < 0) {
    std::perror("measure: fork");
    return 2;
  }
  if (child == 0) {
    ::dup2(open_or_die(input, O_RDONLY), 0);
    ::dup2(open_or_die(output, O_WRONLY | O_CREAT | O_TRUNC), 1);
    ::execvp(command[0], command);
    std::fprintf(stderr, "measure: %s: %s\n", command[0], std::strerror(errno));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  while (::wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::perror("measure: wait4");
      return 2;
    }
  }
  double seconds = now() - start;
  // ru_maxrss is in KiB on Linux (bytes on macOS, where this is not used).
  auto in_seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  double user = in_seconds(usage.ru_utime);
  double system = in_seconds(usage.ru_stime);
  std::printf("%.6f %ld %.6f %.6f %.6f\n", seconds, usage.ru_maxrss, user + system, user, system);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
