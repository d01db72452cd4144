// The documents a run was asked for, written at its one end, whatever the
// end: each format is a function of the run's description and its recorded
// fits, and each document is put in place on its own.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "documents/run_description.hpp"
#include "scan/fit_recorder.hpp"

namespace wexla {

// Exit status of a run whose document could not be written (the BSD
// sysexits value for an I/O error), when the run itself ended well, and of
// a run refused because a document could never be written.
inline constexpr int kExitDocumentNotWritten = 74;

struct DocumentRequest {
  std::string_view json_file;  // --json=FILE; empty when not asked for
  std::string_view csv_file;   // --csv=FILE
  std::string_view html_file;  // --html=FILE
  std::string_view svg_file;   // --svg=FILE

  bool any() const;
  bool on_standard_output() const;  // one of them is "-"
  // The names, in the order the documents are written.
  std::array<std::string_view, 4> names() const {
    return {json_file, csv_file, html_file, svg_file};
  }
};

// The one line that refuses the run before anything is read or written,
// when a document's file could never take it; empty otherwise. Once the
// results file is known (`results_name`), also when a document would be it.
std::string refused_document(const DocumentRequest& request, std::string_view results_name = {});

// Writes every document asked for, the JSON first. One that cannot be
// written is said in one line on standard error, unless `say_problems` is
// false (a rewrite while following, whose trouble was said once already);
// returns false then.
bool write_documents(const DocumentRequest& request, const RunDescription& run,
                     const FitRecorder& fits, bool say_problems = true);

}  // namespace wexla
