// Runs one command and prints its peak resident memory in KiB:
//
//   peak_of COMMAND [ARGS...]
//
// A process's peak also counts the pages of the process it was started
// from, as they were when it started; this one is small, so the peak it
// gives is the command's own. Standard input and output are the command's;
// the exit status is the command's.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: peak_of COMMAND [ARGS...]\n");
    return 2;
  }
  pid_t child = ::fork();
  if (child < 0) return 2;
  if (child == 0) {
    ::execvp(argv[1], argv + 1);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  while (::wait4(child, &status, 0, &usage) < 0) {
  }
#ifdef __APPLE__
  long kib = usage.ru_maxrss / 1024;  // bytes there
#else
  long kib = usage.ru_maxrss;
#endif
  std::fprintf(stderr, "%ld\n", kib);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
