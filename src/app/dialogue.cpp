// The operator dialogue: the banner, the results-file name asked for until
// it exists, the percentage window and the table heading.
#include "app/dialogue.hpp"

#include "app/banner.hpp"
#include "app/following.hpp"
#include "documents/join_text.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/ending/run_end.hpp"
#include "textio/files/opening.hpp"
#include "textio/numbers/fp_compare.hpp"
#include "textio/numbers/read_real.hpp"
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

// Argument 2 is read through an in-memory record of 40 characters.
void read_percent_argument(RunSettings& s, const char* argument) {
  s.percent_argument.assign(argument);
  write_record(s.percent_record.span(), kWholeRecord, s.percent_argument.view());
  read_record(std::span<const char>(s.percent_record.chars), kPercentField, s.window_percent);
}

// A window of zero or less becomes the smallest one; then the table begins.
void settle_percent(RunSettings& s) {
  if (less_equal_signaling(s.window_percent, 0.0f)) s.window_percent = kSmallestWindow;
  write_record(kStdoutConnection, kTableHeading);
}

// Whether the results file is there; one that is followed may yet come.
bool results_file_there(Following* following, std::string_view name) {
  return following != nullptr ? wait_for_results_file(*following, name) : file_exists(name);
}

}  // namespace

void derive_results_name(RunSettings& s) {
  // A folder's name may hold dots of its own: only the last component's
  // count. Without a "/" this is the first dot of the whole name.
  std::string_view typed = s.typed_name.view();
  std::size_t slash = typed.substr(0, string_len_trim(typed)).rfind('/');
  std::size_t component = slash == std::string_view::npos ? 0 : slash + 1;
  s.prefix_length = string_index(typed.substr(component), ".") - 1;
  if (s.prefix_length <= 0) {
    s.prefix_length = static_cast<std::int32_t>(string_len_trim(typed));
  } else {
    s.prefix_length += static_cast<std::int32_t>(component);
  }
  char joined[TextField<32>::width + kSuffix.size()];
  std::size_t prefix = static_cast<std::size_t>(s.prefix_length);
  concat_string({joined, prefix + kSuffix.size()}, s.typed_name.view().substr(0, prefix), kSuffix);
  s.results_name.assign({joined, prefix + kSuffix.size()});
}

void run_dialogue(RunSettings& s, std::span<char* const> args, Following* following) {
  write_record(kStdoutConnection, kBanner);

  s.arguments_left = static_cast<std::int32_t>(args.size());
  if (s.arguments_left < 1) {
    ask_name(s);
  } else {
    s.typed_name.assign(args[0]);
  }
  for (;;) {
    derive_results_name(s);
    if (results_file_there(following, s.results_name.trimmed())) break;
    write_record(kStdoutConnection, kMissing, s.results_name.trimmed());
    s.arguments_left = 0;
    ask_name(s);
  }

  if (s.arguments_left > 1) {
    read_percent_argument(s, args[1]);
  } else {
    write_record(kStdoutConnection, kPercentPrompt);
    read_record(kStdinConnection, kPercentField, s.window_percent);
  }
  settle_percent(s);
  s.name_settled = true;
  s.percent_settled = true;
}

bool percent_argument_reads(std::string_view argument) {
  TextField<14> field;
  field.assign(argument);
  float value = 0.0f;
  return read_real_field(field.view(), 0, value);
}

std::string batch_results_name(std::string_view operand) {
  if (operand.ends_with(kSuffix)) return std::string(operand);
  std::size_t slash = operand.rfind('/');
  std::size_t component = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = operand.find('.', component);
  std::size_t prefix = dot == std::string_view::npos || dot == component ? operand.size() : dot;
  return join({operand.substr(0, prefix), kSuffix});
}

void run_batch_dialogue(RunSettings& s, std::span<char* const> operands, Following* following) {
  write_record(kStdoutConnection, kBanner);
  s.arguments_left = static_cast<std::int32_t>(operands.size());
  std::string_view operand = operands[0];
  s.given_name = operand.substr(0, string_len_trim(operand));
  s.given_results = batch_results_name(s.given_name);
  s.name_settled = true;
  if (!results_file_there(following, s.results())) {
    std::string why = join({"the results file '", s.results(), "' does not exist"});
    write_record(kStderrConnection, kWholeRecord, std::string_view(join({"wexla: ", why})));
    throw run_end(RunEnd::Why::not_found, kExitNoResultsFile, why);
  }
  read_percent_argument(s, operands[1]);
  settle_percent(s);
  s.percent_settled = true;
}

}  // namespace wexla
