// The command line made into the plan of a run.
#include "app/plan.hpp"

#include "app/options.hpp"

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
  plan.documents = {options.json_file, options.csv_file};
  plan.operands = options.operands;
  // With a document on standard output the screen goes elsewhere: nowhere
  // in a batch run, to standard error where a person answers the prompts.
  if (plan.answer == RunPlan::Answer::run && plan.documents.on_standard_output())
    plan.screen = options.batch ? ScreenPlace::nowhere : ScreenPlace::standard_error;
  return plan;
}

}  // namespace wexla
