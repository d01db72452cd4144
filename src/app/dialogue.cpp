// The operator dialogue: the banner, the results-file name asked for until
// it exists, the percentage window and the table heading.
#include "app/dialogue.hpp"

#include "app/banner.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/files/opening.hpp"
#include "textio/numbers/fp_compare.hpp"
#include "textio/records/record.hpp"

namespace wexla {
namespace {

constexpr Format kBanner = WEXLA_FORMAT("(/,'" WEXLA_BANNER_TEXT "',/)");
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
  read_record(kStdinConnection, kWholeRecord, s.typed_name.span());
}

}  // namespace

void derive_results_name(RunSettings& s) {
  s.prefix_length = string_index(s.typed_name.view(), ".") - 1;
  if (s.prefix_length <= 0)
    s.prefix_length = static_cast<std::int32_t>(string_len_trim(s.typed_name.view()));
  char joined[TextField<32>::width + kSuffix.size()];
  std::size_t prefix = static_cast<std::size_t>(s.prefix_length);
  concat_string({joined, prefix + kSuffix.size()}, s.typed_name.view().substr(0, prefix), kSuffix);
  s.results_name.assign({joined, prefix + kSuffix.size()});
}

void run_dialogue(RunSettings& s, std::span<char* const> args) {
  write_record(kStdoutConnection, kBanner);

  s.arguments_left = static_cast<std::int32_t>(args.size());
  if (s.arguments_left < 1) {
    ask_name(s);
  } else {
    s.typed_name.assign(args[0]);
  }
  for (;;) {
    derive_results_name(s);
    if (file_exists(s.results_name.trimmed())) break;
    write_record(kStdoutConnection, kMissing, s.results_name.trimmed());
    s.arguments_left = 0;
    ask_name(s);
  }

  if (s.arguments_left > 1) {
    s.percent_argument.assign(args[1]);
    write_record(s.percent_record.span(), kWholeRecord, s.percent_argument.view());
    read_record(std::span<const char>(s.percent_record.chars), kPercentField, s.window_percent);
  } else {
    write_record(kStdoutConnection, kPercentPrompt);
    read_record(kStdinConnection, kPercentField, s.window_percent);
  }
  if (less_equal_signaling(s.window_percent, 0.0f)) s.window_percent = kSmallestWindow;

  write_record(kStdoutConnection, kTableHeading);
}

}  // namespace wexla
