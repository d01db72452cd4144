// A second, independent reading of a real number field, for checking the
// program's reader: the field text is rewritten by simple string steps into
// digits and a decimal exponent, converted by exact integer arithmetic.
#pragma once

#include <cstdint>
#include <string_view>

namespace wexla::fuzz {

struct OracleReal {
  bool accepted = false;
  std::uint32_t bits = 0;  // the binary32 value when accepted
};

// `d` is the item's implied decimal count, used when the field has no point.
OracleReal oracle_read_real(std::string_view field, int d);

}  // namespace wexla::fuzz
