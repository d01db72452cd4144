// The fuzz checks: each takes one input, runs it through a part of the
// program, and returns what went wrong (empty when every invariant held).
// The libFuzzer entry points and the regression test both call them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wexla::fuzz {

std::string check_read_real(const std::uint8_t* data, std::size_t size);
std::string check_format_write(const std::uint8_t* data, std::size_t size);
std::string check_record_read(const std::uint8_t* data, std::size_t size);
std::string check_scan(const std::uint8_t* data, std::size_t size);

// Bytes made readable for a report: printable ASCII as it is, the rest as
// \xHH escapes.
std::string shown(std::string_view bytes);
std::string hex32(std::uint32_t bits);

}  // namespace wexla::fuzz
