// A results file read while another program still writes it. What has been
// written of the line the writer is at is not yet a line: read now, it
// would be read as a short last line. So the bytes read from the file reach
// the connection's reader only as whole lines, ended as the reading rules
// end them for the scan's 80-character read: at a line feed or a carriage
// return among the first 80 characters, else at the line feed that ends the
// skip of the rest. A carriage return ends its line at once; a line feed
// that comes after it belongs to it. When nothing whole is there, the read
// gives nothing, which the reader takes for the end of the data: the scan
// then waits above and reads on. Once following ends the gate opens, and
// every byte goes on as it comes, a last line without its end included.
#pragma once

#include <cstddef>
#include <cstdint>

#include "textio/connections/connection.hpp"

namespace wexla {

// The characters of a line the scan reads: the rest, up to the line feed,
// is skipped.
inline constexpr std::size_t kFollowedLineWidth = 80;

struct FollowedInput {
  bool open = false;        // following has ended: every byte goes on as it comes
  std::uint64_t taken = 0;  // bytes read from the file so far
  // The line being completed: its bytes so far, at most its first 80 and a
  // line end. Past 80 without a line end it is skipping up to the next line
  // feed, and the skipped bytes, which no read keeps, are not held.
  char line[kFollowedLineWidth + 2] = {};
  std::size_t line_length = 0;
  bool skipping = false;
  // The last whole line ended in a carriage return, the last byte read: a
  // line feed that comes next is part of its end. Once the reader has looked
  // past the return and found nothing (`lf_belongs`), that line feed is
  // dropped, since the reader has already ended the line.
  bool cr_ended = false;
  bool lf_belongs = false;
  // Whole lines ready for the reader, and the bytes just read from the file.
  char ready[kBufferSize + sizeof line] = {};
  std::size_t ready_at = 0;
  std::size_t ready_length = 0;
  char staged[kBufferSize] = {};
};

// Reads for the connection's read-ahead, as read(2) does: whole lines, 0
// when none is there yet (or at the end, once open), -1 with errno set when
// the file cannot be read. The file is read through the system seam's
// read_input where a test has put one.
long read_followed(FollowedInput& f, int descriptor, char* data, std::size_t length);

// Following ends: the line being completed goes on as it stands, and so
// does everything read from now on.
void open_followed_input(FollowedInput& f);

// Connection `number` is read through `f` from now on. False, and nothing
// changed, when it is not connected.
bool follow_connection(int number, FollowedInput& f);

// Whether connection `number` is followed and its gate still shut: the
// end its reader meets is only the end of what is there yet.
bool still_followed(int number);

// After the reader met the end of what was there: the next read asks the
// file again.
void read_on(int number);

}  // namespace wexla
