// What the machine running the tests offers, shared by the unit and the
// end-to-end tests: the C library's own error texts (they differ between
// glibc, musl and the BSDs, so tests never spell them out), and whether a
// device that refuses every write exists.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace host {

// The text the C library gives for `code`, as the program reports it.
inline std::string error_text(int code) {
  return std::strerror(code);
}

// `text` with every character that a regular expression treats specially
// escaped, for matching a C library text inside a death test's pattern.
inline std::string regex_quoted(const std::string& text) {
  std::string quoted;
  for (char c : text) {
    if (c != '\0' && std::strchr(".[]{}()\\*+?^$|", c) != nullptr) quoted += '\\';
    quoted += c;
  }
  return quoted;
}

// Empty when /dev/full exists and refuses writes with ENOSPC; otherwise why
// tests of a full device cannot run here (macOS and the BSDs have no such
// device).
inline std::string why_no_full_device() {
  int fd = ::open("/dev/full", O_WRONLY);
  if (fd < 0) return "no /dev/full on this system, so a full device cannot be simulated";
  errno = 0;
  bool refused = ::write(fd, "x", 1) < 0 && errno == ENOSPC;
  ::close(fd);
  return refused ? "" : "/dev/full does not refuse writes with ENOSPC here";
}

}  // namespace host

// Skips the calling test with `reason` unless `reason` is empty. A test
// needing a facility the machine lacks is reported as skipped, never as
// passed.
#define SKIP_WHEN(reason)                                                                      \
  do {                                                                                         \
    if (std::string why_skipped = (reason); !why_skipped.empty()) GTEST_SKIP() << why_skipped; \
  } while (0)
