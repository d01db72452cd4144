// Whole lines from a file that is still being written.
#include "textio/connections/followed_input.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "textio/connections/connection_table.hpp"

namespace wexla {
namespace {

void make_ready(FollowedInput& f, const char* bytes, std::size_t length) {
  std::memcpy(f.ready + f.ready_length, bytes, length);
  f.ready_length += length;
}

void line_done(FollowedInput& f) {
  make_ready(f, f.line, f.line_length);
  f.line_length = 0;
  f.skipping = false;
}

// The bytes just read, sorted into whole lines ready for the reader and the
// line still being completed.
void sort_bytes(FollowedInput& f, const char* bytes, std::size_t length) {
  std::size_t k = 0;
  if (k < length && f.lf_belongs) {
    if (bytes[k] == '\n') ++k;
    f.lf_belongs = false;
  }
  if (k < length && f.cr_ended) {
    if (bytes[k] == '\n') make_ready(f, bytes + k++, 1);
    f.cr_ended = false;
  }
  if (f.open) {
    make_ready(f, bytes + k, length - k);
    return;
  }
  while (k < length) {
    if (f.skipping) {
      const void* lf = std::memchr(bytes + k, '\n', length - k);
      if (lf == nullptr) return;
      k = static_cast<std::size_t>(static_cast<const char*>(lf) - bytes) + 1;
      f.line[f.line_length++] = '\n';
      line_done(f);
      continue;
    }
    const char c = bytes[k++];
    f.line[f.line_length++] = c;
    if (c == '\n') {
      line_done(f);
    } else if (c == '\r') {
      if (k == length) {
        f.cr_ended = true;
      } else if (bytes[k] == '\n') {
        f.line[f.line_length++] = bytes[k++];
      }
      line_done(f);
    } else if (f.line_length == kFollowedLineWidth) {
      f.skipping = true;
    }
  }
}

long read_file(int descriptor, char* data, std::size_t length) {
  auto* stand_in = connection_table().system.read_input;
  return stand_in != nullptr ? stand_in(descriptor, data, length)
                             : ::read(descriptor, data, length);
}

}  // namespace

long read_followed(FollowedInput& f, int descriptor, char* data, std::size_t length) {
  while (f.ready_at == f.ready_length) {
    f.ready_at = f.ready_length = 0;
    const long n = read_file(descriptor, f.staged, sizeof f.staged);
    if (n < 0) return n;
    if (n == 0) {
      // The reader looks past a carriage return for its line feed, and
      // finds none yet: the line has ended without it.
      if (f.cr_ended) {
        f.cr_ended = false;
        f.lf_belongs = true;
      }
      return 0;
    }
    f.taken += static_cast<std::uint64_t>(n);
    sort_bytes(f, f.staged, static_cast<std::size_t>(n));
  }
  const std::size_t n = std::min(length, f.ready_length - f.ready_at);
  std::memcpy(data, f.ready + f.ready_at, n);
  f.ready_at += n;
  return static_cast<long>(n);
}

void open_followed_input(FollowedInput& f) {
  if (f.open) return;
  f.open = true;
  if (f.ready_at == f.ready_length) f.ready_at = f.ready_length = 0;
  if (f.line_length > 0) line_done(f);
}

bool follow_connection(int number, FollowedInput& f) {
  Connection* c = find_connection(number);
  if (c == nullptr) return false;
  c->followed = &f;
  return true;
}

bool still_followed(int number) {
  const Connection* c = find_connection(number);
  return c != nullptr && c->followed != nullptr && !c->followed->open;
}

void read_on(int number) {
  if (Connection* c = find_connection(number)) c->in.at_eof = false;
}

}  // namespace wexla
