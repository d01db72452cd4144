// A reader for CSV as RFC 4180 defines it, with records ended by a line
// feed as R, pandas and awk write and read them: fields separated by
// commas, quoted fields with doubled quotes inside.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wexla::fuzz {

using CsvRecord = std::vector<std::string>;

// Reads every record; the last one must end with a line feed as well. Returns the
// empty string, or says what is wrong and where.
std::string read_csv(std::string_view text, std::vector<CsvRecord>& records);

}  // namespace wexla::fuzz
