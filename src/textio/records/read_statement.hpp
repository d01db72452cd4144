// Input statements: a parsed format walked over a source (a connection or an
// in-memory record) in three steps, begin, one transfer per value, end.
#pragma once

#include <span>

#include "textio/connections/connection.hpp"
#include "textio/ending/where.hpp"
#include "textio/records/format.hpp"
#include "textio/records/source.hpp"
#include "textio/records/statement.hpp"

namespace wexla {

template <class Source>
struct ReadStatement {
  Source source;
  FormatWalk walk;
  bool end_branch = false;   // the read has an end-of-file branch
  bool end_of_file = false;  // the end-of-file condition was met
};

ReadStatement<ConnectionSource> begin_read(OnConnection from, const Format& format,
                                           bool end_branch);
ReadStatement<MemorySource> begin_read(FromMemory from, const Format& format);
template <class Source>
void read_text(ReadStatement<Source>& s, std::span<char> target);
template <class Source>
void read_real(ReadStatement<Source>& s, float& target);
// Ends the statement; true when a record was read, false when the end of
// the file was met and the caller takes its end-of-file branch.
template <class Source>
bool end_read(ReadStatement<Source>& s);

// Every other case of a whole-record read, out of line: true when a record
// was read, false when the end of the file was met (only a statement with
// an end-of-file branch sees that).
bool read_text_record_general(Connection& c, std::span<char> target, bool end_branch, Where where);

}  // namespace wexla
