// Putting a document where it was asked for: on standard output ("-"), or
// in a file written next to its final name and renamed into place, so that
// a reader never sees half a document and an earlier one is replaced only
// by a complete one.
#pragma once

#include <string>
#include <string_view>

namespace wexla {

// Exit status of a run whose document could not be written (the BSD
// sysexits value for an I/O error), when the run itself ended well.
inline constexpr int kExitDocumentNotWritten = 74;

// Why a document may not go to the file `name`, or empty when it may: a
// thing of that name that is not a regular file (a symbolic link, a device,
// a folder) would be replaced by the rename, and the results file and the
// run's own files must never be.
std::string document_target_problem(std::string_view name, std::string_view results_name);

// Writes `text` to standard output when `name` is "-", else to the file
// `name` through a new temporary file in the same folder. Returns empty, or
// why it failed; a failed write leaves an earlier document as it was.
std::string write_document(std::string_view name, std::string_view text,
                           std::string_view results_name);

}  // namespace wexla
