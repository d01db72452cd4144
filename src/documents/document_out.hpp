// Where a document's text goes while it is made: a buffer written out to a
// descriptor whenever it has grown large, so that a document of any length
// takes little memory; with no descriptor the whole text stays in it (as
// tests take it).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wexla {

struct DocumentOut {
  std::string pending;
  int descriptor = -1;  // -1: keep everything in `pending`
  int error = 0;        // the first write that failed; later text is dropped
};

inline constexpr std::size_t kDocumentChunk = 64 * 1024;

// Writes out what is pending (all of it when `all`, else once a chunk is due).
void write_out(DocumentOut& out, bool all);

inline void put(DocumentOut& out, std::string_view text) {
  out.pending += text;
  if (out.descriptor >= 0 && out.pending.size() >= kDocumentChunk) write_out(out, false);
}
inline void put(DocumentOut& out, char c) {
  out.pending += c;
}

}  // namespace wexla
