// What went wrong below the record statements. The connection layer and the
// in-memory records return one of these instead of reporting; the statement
// that met it knows its place in the program and writes the report.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace wexla {

enum class Trouble : std::uint8_t {
  none,
  writing,        // a write to the system failed
  reading,        // a read from the system failed
  cutting,        // cutting a file at the position failed
  closing,        // the final write or the close of a connection failed
  end_of_record,  // an in-memory record has no room or no data left
  end_of_file,    // the input ended before a record began
};

struct IoError {
  Trouble trouble = Trouble::none;
  int system_error = 0;  // the errno of a failed system call

  explicit operator bool() const { return trouble != Trouble::none; }
};

// The connection a failing statement worked on, as the failure report shows
// it. A number of 0 or less (an in-memory record, or connection 0) is not
// shown; an empty name shows the number alone.
struct ConnectionRef {
  int number = 0;
  std::string_view name;
};

inline IoError system_failure(Trouble step, int error) {
  return error == 0 ? IoError{} : IoError{step, error};
}

// The reason line of the failure report.
inline const char* reason_text(IoError e) {
  switch (e.trouble) {
    case Trouble::end_of_record:
      return "End of record";
    case Trouble::end_of_file:
      return "End of file";
    default:
      return std::strerror(e.system_error);
  }
}

}  // namespace wexla
