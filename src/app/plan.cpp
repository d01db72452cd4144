// The command line made into the plan of a run.
#include "app/plan.hpp"

#include "app/dialogue.hpp"
#include "app/options.hpp"
#include "documents/document_file.hpp"
#include "documents/join_text.hpp"

namespace wexla {

RunPlan plan_run(std::span<char* const> arguments) {
  ParsedArguments parsed = parse_arguments(arguments);
  const Options& options = parsed.options;
  RunPlan plan;
  if (!parsed.usage_error.empty()) {
    plan.answer = RunPlan::Answer::refusal;
    plan.refusal = std::move(parsed.usage_error);
    return plan;
  }
  if (options.help) plan.answer = RunPlan::Answer::help;
  if (!options.help && options.version) plan.answer = RunPlan::Answer::version;
  plan.batch = options.batch;
  plan.follow = {options.follow, options.pid, options.idle_seconds};
  plan.documents = {options.json_file, options.csv_file, options.html_file, options.svg_file};
  // Two documents on one file: "./a.json" is "a.json".
  const auto names = plan.documents.names();
  constexpr const char* kOptionOf[] = {"--json", "--csv", "--html", "--svg"};
  for (std::size_t a = 0; plan.answer == RunPlan::Answer::run && a < names.size(); ++a) {
    for (std::size_t b = a + 1; b < names.size(); ++b) {
      if (names[a].empty() || names[b].empty() || names[a] == kStandardOutputName ||
          names[b] == kStandardOutputName || !same_document_file(names[a], names[b]))
        continue;
      plan.answer = RunPlan::Answer::refusal;
      plan.refusal = join(
          {"wexla: ", kOptionOf[a], " and ", kOptionOf[b], " name the same file '", names[a], "'"});
      return plan;
    }
  }
  plan.operands = options.operands;
  // With a document on standard output the screen goes elsewhere: nowhere
  // in a batch run, to standard error where a person answers the prompts.
  if (plan.answer == RunPlan::Answer::run && plan.documents.on_standard_output())
    plan.streams.screen = options.batch ? ScreenPlace::nowhere : ScreenPlace::standard_error;
  // A batch run's percentage that is not a number is a mistake in the
  // command line: refused before anything is read or written.
  if (plan.answer == RunPlan::Answer::run && options.batch &&
      !percent_argument_reads(options.operands[1])) {
    plan.answer = RunPlan::Answer::refusal;
    plan.refusal = join(
        {"wexla: the percentage '", std::string_view(options.operands[1]), "' is not a number"});
    return plan;
  }
  // A script's run: a reader of the screen that goes (`| head`) costs
  // nothing, and a failure is one line.
  if (plan.answer == RunPlan::Answer::run && options.batch) {
    plan.streams.screen_may_close = true;
    plan.streams.brief_reports = true;
  }
  return plan;
}

}  // namespace wexla
