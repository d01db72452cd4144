// What a run is to do, decided from the command line before anything is
// read or written: answer the command line (a refusal, the usage text, the
// version) or run; as a batch run or with a person; where the screen goes;
// which documents are wanted.
#pragma once

#include <span>
#include <string>

#include "documents/documents.hpp"
#include "textio/connections/connection_table.hpp"

namespace wexla {

// Following a results file that grows: until the process `pid` has ended,
// or the file has not grown for `idle_seconds`, or a signal; 0 for neither.
struct FollowRequest {
  bool on = false;
  long pid = 0;
  long idle_seconds = 0;
};

struct RunPlan {
  enum class Answer : unsigned char { run, refusal, help, version };
  Answer answer = Answer::run;
  std::string refusal;      // the one line of a refused command line
  bool batch = false;       // no prompt, no editor, no final wait
  StandardStreams streams;  // where the screen goes, how failures are reported
  DocumentRequest documents;
  FollowRequest follow;
  std::span<char* const> operands;  // the results file and the percentage, as given
};

// The plan for the command-line arguments after the program's name.
RunPlan plan_run(std::span<char* const> arguments);

}  // namespace wexla
