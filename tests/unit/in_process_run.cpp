// Running the program in the test's process, the way the whole-program fuzz
// check does.
#include "in_process_run.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "app/run.hpp"
#include "textio/connections/connection_table.hpp"

namespace wexla::testing_support {
namespace {

void or_throw(bool good, const char* what) {
  if (!good) throw std::runtime_error(std::string("in-process run: ") + what);
}

// The run's folder descriptor and its lock are the process's; each run
// takes them afresh.
void forget_run_folder() {
  ConnectionTable& t = connection_table();
  if (t.run_folder >= 0) ::close(t.run_folder);
  t.run_folder = -1;
  t.folder_locked = false;
}

}  // namespace

InProcessRun run_in_process(const test_support::ScratchFolder& dir,
                            const std::vector<std::string>& args, const SystemSeam& seam,
                            const std::string& input) {
  dir.write(".stdin", input);
  std::vector<std::string> words = args;
  std::vector<char*> arguments;
  for (std::string& w : words) arguments.push_back(w.data());

  std::fflush(nullptr);
  int home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int saved[3];
  for (int fd = 0; fd < 3; ++fd) saved[fd] = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
  or_throw(home >= 0 && saved[0] >= 0 && saved[1] >= 0 && saved[2] >= 0, "saving the streams");
  or_throw(::chdir(dir.dir().c_str()) == 0, "entering the folder");
  int in = ::open(".stdin", O_RDONLY | O_CLOEXEC);
  int out = ::open(".stdout", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int err = ::open(".stderr", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  or_throw(in >= 0 && out >= 0 && err >= 0, "opening the streams");
  ::dup2(in, 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  ::close(in);
  ::close(out);
  ::close(err);

  (void)restart_connections();
  forget_run_folder();
  connection_table().system = seam;
  InProcessRun result;
  result.status = run(arguments);
  connection_table().system = {};
  forget_run_folder();
  (void)restart_connections();

  for (int fd = 0; fd < 3; ++fd) {
    ::dup2(saved[fd], fd);
    ::close(saved[fd]);
  }
  or_throw(::fchdir(home) == 0, "leaving the folder");
  ::close(home);
  result.out = dir.read(".stdout");
  result.err = dir.read(".stderr");
  return result;
}

}  // namespace wexla::testing_support
