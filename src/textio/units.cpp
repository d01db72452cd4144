#include "textio/units.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "textio/text_field.hpp"

namespace wexla {
namespace {

// A name as the system takes it: NUL-terminated. Names that no file can
// have (too long, or holding a NUL byte) give the error the system would.
struct CName {
  char text[kMaxFileName + 1];
  int error = 0;
};

CName c_name(std::string_view name) {
  CName c{};
  if (name.size() > kMaxFileName) {
    c.error = ENAMETOOLONG;
  } else if (name.find('\0') != std::string_view::npos) {
    c.error = ENOENT;
  } else {
    std::memcpy(c.text, name.data(), name.size());
    c.text[name.size()] = '\0';
  }
  return c;
}

// Writes every byte, retrying after interruptions. Returns 0 or the error.
int write_all(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    ssize_t n = ::write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;  // no progress: retrying would never end
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return 0;
}

// Writes the pending output. Pending bytes are dropped even when the write
// fails, so a failing connection can never be flushed twice.
int flush_unit(Connection& c) {
  if (c.out_pending == 0) return 0;
  int error = write_all(c.descriptor, c.out, c.out_pending);
  c.out_pending = 0;
  return error;
}

// A connection read ahead and now written: move the system's offset back to
// where the statements stand, and forget what was read ahead.
void drop_read_ahead(Connection& c) {
  if (c.in_length > c.in_at) {
    ::lseek(c.descriptor, -static_cast<off_t>(c.in_length - c.in_at), SEEK_CUR);
  }
  c.in_at = c.in_length = 0;
  c.in_eof = false;
}

void write_piece(Connection& c, const char* data, std::size_t length, Where where) {
  if (length == 0) return;
  if (c.in_length > 0) drop_read_ahead(c);
  c.position += length;
  if (c.buffered) {
    if (c.out_pending > 0 && length > c.out_capacity - c.out_pending) unit_flush(c, where);
    if (c.out_pending > 0 || (length <= c.flush_threshold && length <= c.out_capacity)) {
      std::memcpy(c.out + c.out_pending, data, length);
      c.out_pending += length;
      return;
    }
  }
  if (int error = write_all(c.descriptor, data, length)) {
    generate_error(where, c.ref(), std::strerror(error));
  }
}

// Hands on a record built in place: the same rules as write_piece, for a
// piece that already stands right after the pending bytes and fits there.
void take_in_place(Connection& c, Where where) {
  std::size_t length = c.record_length;
  if (length == 0) return;
  if (c.in_length > 0) drop_read_ahead(c);
  c.position += length;
  if (c.out_pending > 0 || length <= c.flush_threshold) {
    c.out_pending += length;
    return;
  }
  // More than the threshold arriving at an empty buffer is written directly.
  if (int error = write_all(c.descriptor, c.out, length)) {
    generate_error(where, c.ref(), std::strerror(error));
  }
}

Connection* free_slot() {
  for (Connection& c : connection_table().units) {
    if (!c.connected) return &c;
  }
  return nullptr;
}

void record_connection(Connection& c, int number, int fd, std::string_view name,
                       Action action, OpenStatus status) {
  struct stat st {};
  bool known = ::fstat(fd, &st) == 0;
  c.connected = true;
  c.number = number;
  if (number >= 0 && number < kDirectNumbers) connection_table().by_number[number] = &c;
  c.file_name_length = std::min(name.size(), kMaxFileName);
  std::memcpy(c.file_name, name.data(), c.file_name_length);
  c.descriptor = fd;
  c.action = action;
  c.status = status;
  c.buffered = known && S_ISREG(st.st_mode);
  c.device = known ? st.st_dev : 0;
  c.inode = known ? st.st_ino : 0;
  c.at_end = !c.buffered || st.st_size == 0;
  c.position = 0;
  c.out_pending = 0;
  c.out_capacity = kBufferSize;
  c.flush_threshold = kFlushThreshold;
  c.record_length = 0;
  c.record_in_out = c.buffered;
  c.in_at = c.in_length = 0;
  c.in_eof = false;
  c.in_has_cr = false;
}

// Ends a connection: pending output written, descriptor closed (never 0-2).
// Returns 0 or the error of the final write or of the close.
int release(Connection& c) {
  int error = flush_unit(c);
  if (c.descriptor > 2 && ::close(c.descriptor) != 0 && errno != EINTR && error == 0) {
    error = errno;
  }
  c.connected = false;
  if (c.number >= 0 && c.number < kDirectNumbers) connection_table().by_number[c.number] = nullptr;
  return error;
}

int open_retry(const char* name, int flags) {
  int fd;
  do {
    fd = ::open(name, flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool lacks_permission(int error) { return error == EACCES || error == EPERM; }

bool names_fifo(const char* name) {
  struct stat st {};
  return ::stat(name, &st) == 0 && S_ISFIFO(st.st_mode);
}

}  // namespace

void unit_flush(Connection& c, Where where) {
  if (int error = flush_unit(c)) generate_error(where, c.ref(), std::strerror(error));
}

ConnectionTable the_connection_table;

void start_units() {
  ConnectionTable& t = connection_table();
  record_connection(t.units[0], kUnitStdin, 0, "stdin", Action::read_only, OpenStatus::old_file);
  record_connection(t.units[1], kUnitStdout, 1, "stdout", Action::write_only,
                    OpenStatus::old_file);
  record_connection(t.units[2], kUnitStderr, 2, "stderr", Action::write_only,
                    OpenStatus::old_file);
  t.units[0].at_end = false;
  t.units[1].at_end = true;
  t.units[2].at_end = true;
}

Connection* find_unit_by_search(int number) {
  for (Connection& c : connection_table().units) {
    if (c.connected && c.number == number) return &c;
  }
  return nullptr;
}

bool names_connected_file(int number, std::string_view name) {
  Connection* c = find_unit(number);
  CName path = c_name(name.substr(0, string_len_trim(name)));
  struct stat st {};
  return c != nullptr && path.error == 0 && ::stat(path.text, &st) == 0 &&
         st.st_dev == c->device && st.st_ino == c->inode;
}

void fail_open(int number, std::string_view name, std::string_view why, Where where) {
  char reason[kMaxFileName + 512];
  std::snprintf(reason, sizeof reason, "Cannot open file '%.*s': %.*s",
                static_cast<int>(name.size()), name.data(), static_cast<int>(why.size()),
                why.data());
  generate_error(where, {number, {}}, reason);
}

void st_open(int number, std::string_view name, OpenStatus status, Where where) {
  name = name.substr(0, string_len_trim(name));
  CName path = c_name(name);

  if (Connection* old = find_unit(number)) {
    struct stat st {};
    if (path.error == 0 && ::stat(path.text, &st) == 0 && st.st_dev == old->device &&
        st.st_ino == old->inode) {
      if (status == OpenStatus::unknown && old->status == OpenStatus::old_file) {
        generate_error(where, old->ref(), "Cannot change STATUS parameter in OPEN statement");
      }
      return;
    }
    if (int error = release(*old)) generate_error(where, old->ref(), std::strerror(error));
  }
  if (path.error != 0) fail_open(number, name, std::strerror(path.error), where);

  int create = status == OpenStatus::unknown ? O_CREAT : 0;
  // A FIFO is never opened for reading and writing at once: a reader that
  // held the write end itself would never see the end of the data, and a
  // writer that held the read end would lose its records when it closes, or
  // wait forever once the pipe is full. An existing file is read, so its
  // FIFO is opened read-only; any other is written, so write-only. No
  // attempt waits for the other end: a FIFO that nobody writes reads as
  // empty, and one that nobody reads cannot be opened for writing.
  bool fifo = names_fifo(path.text);
  bool to_read = status == OpenStatus::old_file;
  int no_wait = fifo ? O_NONBLOCK : 0;
  Action action = !fifo ? Action::read_write : to_read ? Action::read_only : Action::write_only;
  int access = !fifo ? O_RDWR : to_read ? O_RDONLY : O_WRONLY;
  int fd = open_retry(path.text, access | create | no_wait);
  if (fd < 0 && (lacks_permission(errno) || errno == EROFS)) {
    action = Action::read_only;
    fd = open_retry(path.text, O_RDONLY | no_wait);
    if (fd < 0 && (lacks_permission(errno) || errno == ENOENT)) {
      action = Action::write_only;
      fd = open_retry(path.text, O_WRONLY | create | no_wait);
    }
  }
  if (fd < 0) fail_open(number, name, std::strerror(errno), where);
  if (fifo) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

  // A standard stream closed at start must not be taken over by a file.
  if (fd <= 2) {
    int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    int error = errno;
    ::close(fd);
    if (high < 0) fail_open(number, name, std::strerror(error), where);
    fd = high;
  }

  Connection* c = free_slot();
  if (c == nullptr) {
    ::close(fd);
    fail_open(number, name, "too many connections", where);
  }
  record_connection(*c, number, fd, name, action, status);
}

void st_close(int number, Where where) {
  Connection* c = find_unit(number);
  if (c == nullptr) return;
  if (int error = release(*c)) generate_error(where, c->ref(), std::strerror(error));
}

void flush_all_units(Where where) {
  for (Connection& c : connection_table().units) {
    if (c.connected) unit_flush(c, where);
  }
}

void fail_access(Connection& c, Where where, bool writing) {
  generate_error(
      where, c.ref(),
      writing ? "Cannot write to file opened for READ" : "Cannot read from file opened for WRITE");
}

void unit_put_outside(Connection& c, const char* data, std::size_t length, Where where) {
  if (c.record_in_out) {
    // The record outgrows the room after the pending bytes.
    std::memcpy(c.record, c.out + c.out_pending, c.record_length);
    c.record_in_out = false;
  }
  while (length > 0) {
    if (c.record_length == kRecordCapacity) {
      // A record longer than the record buffer goes on in pieces.
      write_piece(c, c.record, c.record_length, where);
      c.record_length = 0;
    }
    std::size_t n = std::min(length, kRecordCapacity - c.record_length);
    std::memcpy(c.record + c.record_length, data, n);
    c.record_length += n;
    data += n;
    length -= n;
  }
}

void unit_put_blanks(Connection& c, std::size_t count, Where where) {
  static constexpr char kBlanks[64] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  while (count > 0) {
    std::size_t n = std::min(count, sizeof kBlanks);
    unit_put(c, kBlanks, n, where);
    count -= n;
  }
}


void unit_hand_on_outside(Connection& c, Where where) {
  if (c.record_in_out) {
    take_in_place(c, where);
  } else {
    write_piece(c, c.record, c.record_length, where);
  }
  c.record_length = 0;
  c.record_in_out = c.buffered;
}

void unit_cut(Connection& c, Where where) {
  unit_flush(c, where);
  int result;
  do {
    result = ::ftruncate(c.descriptor, static_cast<off_t>(c.position));
  } while (result != 0 && errno == EINTR);
  if (result != 0) generate_error(where, c.ref(), std::strerror(errno));
  c.at_end = true;
}

std::span<const char> unit_refill(Connection& c, Where where) {
  if (c.in_eof) return {};
  if (c.out_pending > 0) unit_flush(c, where);
  ssize_t n;
  do {
    n = ::read(c.descriptor, c.in, kBufferSize);
  } while (n < 0 && errno == EINTR);
  if (n < 0) generate_error(where, c.ref(), std::strerror(errno));
  c.in_at = 0;
  c.in_length = static_cast<std::size_t>(n);
  c.in_eof = n == 0;
  c.in_has_cr = std::memchr(c.in, '\r', c.in_length) != nullptr;
  return {c.in, c.in_length};
}

bool close_units(Where where) {
  ConnectionTable& t = connection_table();
  bool ok = true;
  for (Connection& c : t.units) {
    if (!c.connected) continue;
    if (int error = release(c)) {
      ok = false;
      if (!t.failure_reported) write_error_report(where, c.ref(), std::strerror(error));
    }
  }
  return ok;
}

void end_run(int status, Where where) {
  ConnectionTable& t = connection_table();
  if (!t.ending) {
    t.ending = true;
    if (!close_units(where) && status == 0) status = kExitFailure;
  }
  std::exit(status);
}

}  // namespace wexla

namespace wexla {
bool file_exists(std::string_view name) {
  CName path = c_name(name);
  return path.error == 0 && ::access(path.text, F_OK) == 0;
}
}  // namespace wexla
