// Putting a document where it was asked for: on standard output ("-"), or
// in a file that replaces its name whole (textio/files/whole_file.hpp), so
// that a reader never sees half a document and an earlier one is replaced
// only by a complete one.
#pragma once

#include <string>
#include <string_view>

#include "documents/document_out.hpp"
#include "textio/files/whole_file.hpp"

namespace wexla {

// A document file name of "-" means standard output.
inline constexpr std::string_view kStandardOutputName = "-";

// Why a document may not go to the file `name`, or empty when it may: a
// thing of that name that is not a regular file (a symbolic link, a device,
// a folder) would be replaced by the rename, and the results file and the
// run's own files must never be.
// The name is the file's place, its folder and last component, whether or
// not the file exists yet, compared without regard to ASCII case; a name
// that exists is compared by identity as well. A name whose folder does
// not exist cannot take one either.
std::string document_target_problem(std::string_view name, std::string_view results_name);

// Whether two document names stand for one file, by the same rule.
bool same_document_file(std::string_view a, std::string_view b);

// A document on its way to its place: its text is put into `out`.
struct DocumentFile {
  DocumentOut out;
  bool on_standard_output = false;
  bool replacing = false;  // a temporary exists until close_document
  Replacement replacement;
  int folder = -1;  // the folder's descriptor, when one was opened for it
};

// Opens the place for the document `name`. Returns empty, or why the
// document cannot go there (then nothing is to be written).
std::string open_document(DocumentFile& document, std::string_view name,
                          std::string_view results_name);

// Puts the rest of the text in place. Returns empty, or why it failed; a
// failed document leaves an earlier one as it was.
std::string close_document(DocumentFile& document);

}  // namespace wexla
