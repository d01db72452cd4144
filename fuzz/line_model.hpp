// A plain model of how one input statement takes its field from a file:
// up to w characters of the current line; a line ends at LF, CR or CR LF;
// a number field also ends at a comma; a line longer than the field is
// skipped up to the next LF only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wexla::fuzz {

struct ModelRead {
  bool end_of_file = false;  // the statement meets the end-of-file condition
  std::string field;         // the characters taken (before any padding)
  std::size_t next = 0;      // where the next statement starts
};

// One statement with a single data item of width `width` starting at `at`.
ModelRead model_read(std::string_view data, std::size_t at, std::size_t width, bool number);

// The lines of `data` as "(a)" reads them into `width` characters, each
// blank-padded to `width`.
std::string model_lines(std::string_view data, std::size_t width, std::size_t* count);

}  // namespace wexla::fuzz
