// The stop of a run without an error: the floating-point note when one is
// due, then the stop thrown to where the run began.
#include "textio/ending/stop.hpp"

#include <cfenv>
#include <string>

#include "textio/connections/write_all.hpp"
#include "textio/ending/run_end.hpp"

namespace wexla {

void write_floating_point_note() {
  struct Flag {
    int bit;
    const char* name;
  };
  static constexpr Flag kFlags[] = {{FE_INVALID, " IEEE_INVALID_FLAG"},
                                    {FE_DIVBYZERO, " IEEE_DIVIDE_BY_ZERO"},
                                    {FE_OVERFLOW, " IEEE_OVERFLOW_FLAG"},
                                    {FE_UNDERFLOW, " IEEE_UNDERFLOW_FLAG"}};
  int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW);
  if (raised == 0) return;
  char line[160] = "Note: The following floating-point exceptions are signalling:";
  std::size_t length = std::char_traits<char>::length(line);
  for (const Flag& flag : kFlags) {
    if ((raised & flag.bit) == 0) continue;
    std::size_t n = std::char_traits<char>::length(flag.name);
    std::char_traits<char>::copy(line + length, flag.name, n);
    length += n;
  }
  line[length++] = '\n';
  // The note is the last word of a run that ends well; a failure to write it
  // has nowhere to go.
  (void)write_all(2, line, length);
}

void stop_run(Where where) {
  write_floating_point_note();
  throw run_end(RunEnd::Why::stop, 0, {}, where);
}

}  // namespace wexla
