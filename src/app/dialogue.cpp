#include "app/dialogue.hpp"

#include "textio/fp_compare.hpp"
#include "textio/record.hpp"
#include "textio/connection_table.hpp"

namespace wexla {
namespace {

constexpr Format kBanner =
    WEXLA_FORMAT("(/,'WEXLA v1.03  best fit, WSS table and parameter summary of a Kalvor run',/)");
constexpr Format kNamePrompt = WEXLA_FORMAT("('Enter the OUT file name ',$)");
constexpr Format kMissing = WEXLA_FORMAT(
    "(/,'This .OUT file (',a,                                    "
    "') does not exist in this directory',/)");
constexpr Format kPercentPrompt = WEXLA_FORMAT("(/,'Enter percent from Best WWW ',$)");
constexpr Format kPercentField = WEXLA_FORMAT("(f14.0)");
constexpr Format kTableHeading = WEXLA_FORMAT("(9x,'  n',13x,'WSS',7x,'Best WSS')");
constexpr std::string_view kSuffix = ".OUT";
constexpr float kSmallestWindow = 0.001f;

void ask_name(RunSettings& s) {
  write_record(kStdoutConnection, kNamePrompt);
  read_record(kStdinConnection, kWholeRecord, s.dname.span());
}

}  // namespace

void derive_fname(RunSettings& s) {
  s.fn = string_index(s.dname.view(), ".") - 1;
  if (s.fn <= 0) s.fn = static_cast<std::int32_t>(string_len_trim(s.dname.view()));
  char joined[TextField<32>::width + kSuffix.size()];
  std::size_t prefix = static_cast<std::size_t>(s.fn);
  concat_string({joined, prefix + kSuffix.size()}, s.dname.view().substr(0, prefix), kSuffix);
  s.fname.assign({joined, prefix + kSuffix.size()});
}

void run_dialogue(RunSettings& s, std::span<char* const> args) {
  write_record(kStdoutConnection, kBanner);

  s.narg = static_cast<std::int32_t>(args.size());
  if (s.narg < 1) {
    ask_name(s);
  } else {
    s.dname.assign(args[0]);
  }
  for (;;) {
    derive_fname(s);
    s.exist = file_exists(s.fname.trimmed());
    if (s.exist) break;
    write_record(kStdoutConnection, kMissing, s.fname.trimmed());
    s.narg = 0;
    ask_name(s);
  }

  if (s.narg > 1) {
    s.temp.assign(args[1]);
    write_record(s.int_file.span(), kWholeRecord, s.temp.view());
    read_record(std::span<const char>(s.int_file.chars), kPercentField, s.per);
  } else {
    write_record(kStdoutConnection, kPercentPrompt);
    read_record(kStdinConnection, kPercentField, s.per);
  }
  if (less_equal_signaling(s.per, 0.0f)) s.per = kSmallestWindow;

  write_record(kStdoutConnection, kTableHeading);
}

}  // namespace wexla
