// Writing the documents a run was asked for.
#include "documents/documents.hpp"

#include "documents/document_file.hpp"
#include "documents/fit_table_csv.hpp"
#include "documents/join_text.hpp"
#include "documents/run_chart.hpp"
#include "documents/run_json.hpp"
#include "documents/run_page.hpp"
#include "textio/connections/write_all.hpp"

namespace wexla {
namespace {

// A line on standard error, once the connections are closed.
void say(const std::string& line) {
  std::string text = join({line, "\n"});
  (void)write_all(2, text.data(), text.size());
}

enum class Format { json, csv, html, svg };

// One document: opened in its place, written fit by fit, closed.
bool write_one(std::string_view name, const char* what, Format format, const RunDescription& run,
               const FitRecorder& fits, bool say_problems) {
  if (name.empty()) return true;
  DocumentFile document;
  std::string problem = open_document(document, name, run.results);
  if (problem.empty()) {
    switch (format) {
      case Format::json:
        write_run_json(document.out, run, fits);
        break;
      case Format::csv:
        write_fit_table_csv(document.out, run, fits);
        break;
      case Format::html:
        write_run_page(document.out, run, fits);
        break;
      case Format::svg:
        write_run_chart(document.out, run, fits, true);
        break;
    }
    problem = close_document(document);
  }
  if (problem.empty()) return true;
  if (say_problems) say(join({"wexla: cannot write the ", what, " to '", name, "': ", problem}));
  return false;
}

}  // namespace

bool DocumentRequest::any() const {
  for (std::string_view name : names()) {
    if (!name.empty()) return true;
  }
  return false;
}

bool DocumentRequest::on_standard_output() const {
  for (std::string_view name : names()) {
    if (name == kStandardOutputName) return true;
  }
  return false;
}

std::string refused_document(const DocumentRequest& request, std::string_view results_name) {
  for (std::string_view name : request.names()) {
    if (name.empty() || name == kStandardOutputName) continue;
    std::string problem = document_target_problem(name, results_name);
    if (!problem.empty())
      return join({"wexla: cannot write a document to '", name, "': ", problem});
  }
  return {};
}

bool write_documents(const DocumentRequest& request, const RunDescription& run,
                     const FitRecorder& fits, bool say_problems) {
  bool json = write_one(request.json_file, "JSON document", Format::json, run, fits, say_problems);
  bool csv = write_one(request.csv_file, "CSV table", Format::csv, run, fits, say_problems);
  bool html = write_one(request.html_file, "HTML page", Format::html, run, fits, say_problems);
  bool svg = write_one(request.svg_file, "SVG chart", Format::svg, run, fits, say_problems);
  return json && csv && html && svg;
}

}  // namespace wexla
