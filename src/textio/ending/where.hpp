// The place of a statement in the program's own text, for the locus line of
// a failure report. Taken as a default argument, it names the caller.
#pragma once

namespace wexla {

struct Where {
  const char* file = "";
  unsigned line_number = 0;

  static constexpr Where current(const char* file = __builtin_FILE(),
                                 unsigned line = __builtin_LINE()) noexcept {
    return {file, line};
  }
  constexpr const char* file_name() const { return file; }
  constexpr unsigned line() const { return line_number; }
};

}  // namespace wexla
