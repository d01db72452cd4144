// The real number reader against an independent conversion, on the three
// ways a field reaches it: a fixed-width in-memory field, a field cut short
// at a line end or comma as a file or terminal gives it, and whole read
// statements on an in-memory record and on a file connection.
//
// Input: one option byte (d, rounding mode, width), then the field bytes,
// which are also the content of the file read by the statement.
#include <bit>
#include <cfenv>
#include <string>

#include "checks.hpp"
#include "line_model.hpp"
#include "real_oracle.hpp"
#include "scratch.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/numbers/read_real.hpp"
#include "textio/records/format.hpp"
#include "textio/records/record.hpp"

namespace wexla::fuzz {
namespace {

constexpr int kUnit = 10;
constexpr std::uint32_t kUntouched = 0x12345678u;
constexpr int kDigits[8] = {0, 0, 0, 0, 1, 2, 7, 256};
constexpr std::size_t kWidths[8] = {14, 14, 14, 14, 1, 5, 40, 256};
constexpr int kRoundings[4] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};

std::string describe(std::string_view path, std::string_view field, int d) {
  return std::string(path) + " field " + shown(field) + " d=" + std::to_string(d) + ": ";
}

// The reader on one field, under a rounding mode the caller has set,
// compared with the oracle.
std::string check_field(std::string_view path, std::string_view field, int d, int rounding) {
  OracleReal expected = oracle_read_real(field, d);
  float target = std::bit_cast<float>(kUntouched);
  std::fesetround(rounding);
  bool accepted = read_real_field(field, d, target);
  int after = std::fegetround();
  std::fesetround(FE_TONEAREST);
  std::uint32_t bits = std::bit_cast<std::uint32_t>(target);
  std::string where = describe(path, field, d);
  if (after != rounding) return where + "the rounding mode was not restored";
  if (accepted != expected.accepted) {
    return where + (accepted ? "accepted as " + hex32(bits) + " but the oracle refuses it"
                             : "refused but the oracle reads " + hex32(expected.bits));
  }
  if (!accepted && bits != kUntouched) return where + "refused but the target changed";
  if (accepted && bits != expected.bits) {
    return where + "read " + hex32(bits) + ", the oracle " + hex32(expected.bits);
  }
  return {};
}

Format number_format(const char* layout, std::size_t width, int d) {
  char text[40];
  std::snprintf(text, sizeof text, layout, width, d);
  return parse_format(text);
}

}  // namespace

std::string check_read_real(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  std::uint8_t options = data[0];
  int d = kDigits[options & 7];
  int rounding = kRoundings[(options >> 3) & 3];
  std::size_t width = kWidths[(options >> 5) & 7];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

  // A fixed-width record hands over exactly `width` characters.
  std::string fixed(rest.substr(0, width));
  fixed.resize(width, ' ');
  if (std::string why = check_field("in-memory", fixed, d, rounding); !why.empty()) return why;

  // A file or terminal ends the field early at a line end or a comma.
  ModelRead taken = model_read(rest, 0, width, true);
  if (std::string why = check_field("cut", taken.field, d, rounding); !why.empty()) return why;

  // A whole statement on an in-memory record, behind 13 characters to skip.
  if (oracle_read_real(fixed, d).accepted) {
    Format f = number_format("(13x,g%zu.%d)", width, d);
    std::string record = "Final WSS   =" + fixed;
    float target = 0.0f;
    read_record(std::span<const char>(record.data(), record.size()), f, target);
    std::uint32_t want = oracle_read_real(fixed, d).bits;
    if (std::bit_cast<std::uint32_t>(target) != want) {
      return describe("in-memory statement", fixed, d) + "read " +
             hex32(std::bit_cast<std::uint32_t>(target)) + ", want " + hex32(want);
    }
  }

  // A whole statement on a file connection, then one line read after it to
  // see where the statement left the file. A refused field would end the
  // run, so only accepted fields are read this way.
  OracleReal expected = oracle_read_real(taken.field, d);
  if (!taken.end_of_file && !expected.accepted) return {};
  std::string path = scratch_dir() + "/real.in";
  write_file(path, rest);
  open_connection(kUnit, path, OpenStatus::old_file);
  Format f = number_format("(f%zu.%d)", width, d);
  float target = std::bit_cast<float>(kUntouched);
  bool more = read_record_or_end(kUnit, f, target);
  std::string why;
  std::string where = describe("file", rest.substr(0, 64), d);
  if (more == taken.end_of_file) {
    why = where + (more ? "read a value where the file ends" : "met the end of the file early");
  } else if (more && std::bit_cast<std::uint32_t>(target) != expected.bits) {
    why = where + "read " + hex32(std::bit_cast<std::uint32_t>(target)) + ", want " +
          hex32(expected.bits);
  } else if (more) {
    ModelRead next = model_read(rest, taken.next, 20, false);
    char line[20];
    bool got = read_record_or_end(kUnit, kWholeRecord, std::span<char>(line));
    next.field.resize(20, ' ');
    if (got == next.end_of_file) {
      why = where + "the line after the field " + (got ? "was read" : "was missing");
    } else if (got && std::string_view(line, 20) != next.field) {
      why = where + "the line after the field is " + shown({line, 20}) + ", want " +
            shown(next.field);
    }
  }
  close_connection(kUnit);
  return why;
}

}  // namespace wexla::fuzz
