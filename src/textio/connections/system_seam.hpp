// The calls to the system around the run that a test or the whole-program
// fuzz check may put a stand-in in place of, as a table of system calls:
// null everywhere in the program, which then calls the system itself.
#pragma once

#include <cstddef>

namespace wexla {

struct SystemSeam {
  // Reads input from a connection's descriptor, as read(2) does (the
  // results file read in pieces, or cut, by a test).
  long (*read_input)(int descriptor, char* data, std::size_t length) = nullptr;
  // Runs a shell command and returns a wait status, as std::system does.
  int (*run_command)(const char* command) = nullptr;
  // Ends the process; a stand-in must not return (the fuzz check throws,
  // so that runs take place in its own process).
  void (*end_process)(int status) = nullptr;
  // Writes the bytes of a copy made in process: every byte, or an error
  // number, as write_all does.
  int (*copy_write)(int descriptor, const char* data, std::size_t length) = nullptr;
  // Renames a replacement's temporary over its name, both in `folder`:
  // 0 or an error number.
  int (*rename_over)(int folder, const char* from, const char* to) = nullptr;
  // The pause between two looks at a followed results file, a quarter of a
  // second in the program (a test takes its turn to write here instead).
  void (*pause_following)() = nullptr;
};

}  // namespace wexla
