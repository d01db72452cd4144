#include "textio/stop.hpp"

#include <unistd.h>

#include <cerrno>
#include <cfenv>
#include <string>

namespace wexla {

void report_exception() {
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
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = ::write(2, line + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void stop_string(Where where) {
  report_exception();
  end_run(0, where);
}

}  // namespace wexla
