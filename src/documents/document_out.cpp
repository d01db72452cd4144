// Writing out a document's pending text.
#include "documents/document_out.hpp"

#include "textio/connections/write_all.hpp"

namespace wexla {

void write_out(DocumentOut& out, bool all) {
  if (out.descriptor < 0 || (!all && out.pending.size() < kDocumentChunk)) return;
  if (out.error == 0 && !out.pending.empty())
    out.error = write_all(out.descriptor, out.pending.data(), out.pending.size());
  out.pending.clear();
}

}  // namespace wexla
