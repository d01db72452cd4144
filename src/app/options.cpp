// The command line read into Options: the options in front, "--", the
// operands, and the one line that refuses the rest.
#include "app/options.hpp"

#include "documents/document_file.hpp"
#include "documents/join_text.hpp"

namespace wexla {
namespace {

constexpr std::string_view kEndOfOptions = "--";

bool begins_with_dashes(std::string_view argument) {
  return argument.size() > 2 && argument.starts_with(kEndOfOptions);
}

std::string quoted(std::string_view text) {
  return join({"'", text, "'"});
}

// The name of an option that takes a file, and where its value goes.
struct FileOption {
  std::string_view name;
  std::string_view Options::*value;
};
constexpr FileOption kFileOptions[] = {{"--json", &Options::json_file},
                                       {"--csv", &Options::csv_file},
                                       {"--html", &Options::html_file},
                                       {"--svg", &Options::svg_file}};

// The options that take a number, and what the number is.
struct NumberOption {
  std::string_view name;
  std::string_view Options::*value;
  std::string_view what;  // "a process number (--pid=PID)"
};
constexpr NumberOption kNumberOptions[] = {
    {"--pid", &Options::pid_text, "a process number (--pid=PID)"},
    {"--idle", &Options::idle_text, "a number of seconds (--idle=SECONDS)"}};

struct FlagOption {
  std::string_view name;
  bool Options::*value;
};
constexpr FlagOption kFlagOptions[] = {{"--help", &Options::help},
                                       {"--version", &Options::version},
                                       {"--batch", &Options::batch},
                                       {"--follow", &Options::follow}};

// The value of an option at arguments[at]: after its "=", or the next
// argument when that is no option; `taken` says how many arguments it took.
std::string_view option_value(std::span<char* const> arguments, std::size_t at,
                              std::string_view name, std::size_t& taken) {
  std::string_view argument = arguments[at];
  taken = 1;
  if (name.size() < argument.size()) return argument.substr(name.size() + 1);
  if (at + 1 < arguments.size() && !std::string_view(arguments[at + 1]).starts_with("--")) {
    taken = 2;
    return arguments[at + 1];
  }
  return {};
}

// Reads the option at arguments[at]; returns how many arguments it took
// (1 or 2), or 0 with `error` set.
std::size_t read_option(std::span<char* const> arguments, std::size_t at, Options& options,
                        std::string& error) {
  std::string_view argument = arguments[at];
  std::string_view name = argument.substr(0, argument.find('='));
  bool has_value = name.size() < argument.size();
  for (const FlagOption& flag : kFlagOptions) {
    if (name != flag.name) continue;
    if (has_value) {
      error = join({"option ", quoted(name), " takes no value"});
    } else if (options.*flag.value) {
      error = join({"option ", quoted(name), " is given twice"});
    } else {
      options.*flag.value = true;
      return 1;
    }
    return 0;
  }
  for (const NumberOption& number : kNumberOptions) {
    if (name != number.name) continue;
    std::size_t taken = 1;
    std::string_view value = option_value(arguments, at, name, taken);
    if (value.empty()) {
      error = join({"option ", quoted(name), " needs ", number.what});
    } else if (!(options.*number.value).empty()) {
      error = join({"option ", quoted(name), " is given twice"});
    } else {
      options.*number.value = value;
      return taken;
    }
    return 0;
  }
  for (const FileOption& file : kFileOptions) {
    if (name != file.name) continue;
    std::size_t taken = 1;
    std::string_view value = option_value(arguments, at, name, taken);
    if (value.empty()) {
      error = join({"option ", quoted(name), " needs a file name (", name,
                    "=FILE, or '-' for standard output)"});
    } else if (!(options.*file.value).empty()) {
      error = join({"option ", quoted(name), " is given twice"});
    } else {
      options.*file.value = value;
      return taken;
    }
    return 0;
  }
  error = join({"unknown option ", quoted(argument),
                "; to read a results file of that name, put '--' before it"});
  return 0;
}

// A whole number of at least 1 written in decimal digits alone, up to
// 2^31 - 1 (a process number, a number of seconds); 0 for any other text.
long whole_number(std::string_view text) {
  constexpr long kLargest = 2147483647;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > kLargest) return 0;
  }
  return value;
}

// The rules of following: --pid and --idle say when it ends, and the
// documents it writes again and again are files.
std::string follow_conflicts(Options& options) {
  for (std::string_view name : {"--pid", "--idle"}) {
    std::string_view text = name == "--pid" ? options.pid_text : options.idle_text;
    if (!text.empty() && !options.follow) return join({name, " needs --follow"});
  }
  if (!options.pid_text.empty()) {
    options.pid = whole_number(options.pid_text);
    if (options.pid == 0)
      return join({"--pid takes the number of a process, above 0, not ", quoted(options.pid_text)});
  }
  if (!options.idle_text.empty()) {
    options.idle_seconds = whole_number(options.idle_text);
    if (options.idle_seconds == 0)
      return join(
          {"--idle takes a whole number of seconds, at least 1, not ", quoted(options.idle_text)});
  }
  if (options.follow) {
    for (const FileOption& file : kFileOptions) {
      if (options.*file.value == kStandardOutputName)
        return join({"--follow writes ", file.name,
                     "'s document again and again: it cannot go to standard output ('-')"});
    }
  }
  return {};
}

// Rules between options, once all are read: at most one document on
// standard output, and no two documents on one file.
std::string conflicts(const Options& options) {
  for (std::size_t a = 0; a < std::size(kFileOptions); ++a) {
    std::string_view first = options.*kFileOptions[a].value;
    if (first.empty()) continue;
    for (std::size_t b = a + 1; b < std::size(kFileOptions); ++b) {
      std::string_view second = options.*kFileOptions[b].value;
      if (second != first) continue;
      std::string both = join({kFileOptions[a].name, " and ", kFileOptions[b].name});
      if (first == kStandardOutputName)
        return join({both, " cannot both write to standard output ('-')"});
      return join({both, " name the same file ", quoted(first)});
    }
  }
  return {};
}

}  // namespace

ParsedArguments parse_arguments(std::span<char* const> arguments) {
  ParsedArguments parsed;
  Options& options = parsed.options;
  std::string error;
  std::size_t at = 0;
  while (at < arguments.size()) {
    std::string_view argument = arguments[at];
    if (argument == kEndOfOptions) {
      ++at;
      break;
    }
    if (argument == "-h") {
      options.help = true;
      ++at;
      continue;
    }
    if (!begins_with_dashes(argument)) break;
    std::size_t taken = read_option(arguments, at, options, error);
    // The first refusal is the one reported, unless help is asked for
    // anywhere among the options.
    if (taken == 0) {
      if (parsed.usage_error.empty()) parsed.usage_error = join({"wexla: ", error});
      taken = 1;
    }
    at += taken;
  }
  options.operands = arguments.subspan(at);
  if (options.help || options.version) {
    parsed.usage_error.clear();
    return parsed;
  }
  if (!parsed.usage_error.empty()) return parsed;

  bool after_end_marker = at > 0 && std::string_view(arguments[at - 1]) == kEndOfOptions;
  if (!after_end_marker) {
    for (std::string_view operand : options.operands) {
      if (!begins_with_dashes(operand)) continue;
      parsed.usage_error = join({"wexla: option ", quoted(operand),
                                 " after the results file; options go in front (to use it as a "
                                 "name or percentage, put '--' before the results file)"});
      return parsed;
    }
  }
  if (std::string conflict = conflicts(options); !conflict.empty()) {
    parsed.usage_error = join({"wexla: ", conflict});
    return parsed;
  }
  if (std::string conflict = follow_conflicts(options); !conflict.empty()) {
    parsed.usage_error = join({"wexla: ", conflict});
    return parsed;
  }
  if (options.batch && options.operands.size() < 2) {
    parsed.usage_error = options.operands.empty()
                             ? "wexla: --batch needs the results file and the percentage"
                             : "wexla: --batch needs the percentage after the results file";
  }
  return parsed;
}

}  // namespace wexla
