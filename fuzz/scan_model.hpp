// The plain model of a whole run for the whole-program fuzz check: the
// command line and the surroundings chosen by the input's first bytes, and
// what the run must leave: status, screen, files, shell commands and the
// facts of its JSON and CSV documents.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stand_in_shell.hpp"

namespace wexla::fuzz {

// The input's first three bytes choose the run; the rest is the results file.
inline constexpr std::size_t kConfigBytes = 3;

// The names a run's documents get, and the contents of the files an
// earlier run left when the input asks for them.
inline constexpr const char* kJsonFile = "run.json";
inline constexpr const char* kCsvFile = "run.csv";
inline constexpr std::string_view kOldScratch = "old scratch\n";
inline constexpr std::string_view kOldBest = "old best\n";
inline constexpr std::string_view kOldSummary = "old summary\n";
inline constexpr std::string_view kOldJson = "{\"old\": true}\n";
inline constexpr std::string_view kOldCsv = "old\n";

struct RunConfig {
  std::vector<std::string> arguments;  // after the program's name
  std::string usage_error;             // the refusal's line, when the line is refused
  bool batch = false;
  std::string json_file, csv_file;  // empty, "-" or a file name
  bool screen_on_stderr = false;    // a document goes to standard output
  std::string percent_text;
  float window_percent = 0;  // as the run settles it
  int failing_copy = 0;      // 1 for the first copy; 0 for none
  CopyFault fault = CopyFault::status_one;
  bool old_files = false;  // an earlier run's files are in the folder
  long file_limit = 0;     // RLIMIT_FSIZE for the run, 0 for none
};

RunConfig config_of(std::string_view input);

struct ModelFit {
  std::int32_t number = 0;
  float wss = 0, best_wss = 0;
  bool marked = false, new_best = false, within = false;
  std::string wss_text;
  std::vector<std::string> parameters;
};

struct ModelCommand {
  Command command;
  std::size_t screen_size;  // the screen written before it
};

struct Expected {
  enum Outcome { normal, stop, failure, usage } outcome = normal;
  int status = 0;
  std::string reason;  // the failure report's reason
  // A failure that is a WSS field not a number, and where it stands.
  bool data_error = false;
  std::uint64_t error_line = 0;
  std::int32_t error_fit = 0;
  std::string error_field;
  // The documents' error text (for every end but a normal one with fits),
  // and the line a batch run says it in at its end, after the note.
  std::string error;
  std::string end_line;
  std::string screen;
  std::string summary;
  bool summary_written = false;  // at least one summary record
  std::string scratch;           // temp.OUT after a stop or failure
  bool copied = false;           // BEST.OUT was written by a copy
  bool best_written = false;     // a copy succeeded
  std::string best;              // what the last copy left there
  std::vector<ModelCommand> commands;
  // For the documents.
  std::vector<ModelFit> fits;
  std::int32_t best_fit = 0;
  bool counted = false;
  std::int32_t within_count = 0;
  std::size_t largest_file = 0;  // the most bytes any file of the run holds
};

Expected model_run(const RunConfig& config, std::string_view results);

// The outcome a run's documents name.
const char* outcome_text(const Expected& e);
// Strict UTF-8 (RFC 3629).
bool valid_utf8(std::string_view bytes);

}  // namespace wexla::fuzz
