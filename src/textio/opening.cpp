// Opening connections and telling which file a connection holds.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "textio/connection_table.hpp"
#include "textio/failure.hpp"
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

// True when the named file exists and is the file open on `c`: the same
// device and inode.
bool is_connected_file(const CName& path, const Connection& c) {
  struct stat st {};
  return path.error == 0 && ::stat(path.text, &st) == 0 && st.st_dev == c.device &&
         st.st_ino == c.inode;
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

void attach(Connection& c, int number, int fd, std::string_view name, Action action,
            OpenStatus status) {
  struct stat st {};
  bool known = ::fstat(fd, &st) == 0;
  c.number = number;
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
  c.out.pending = 0;
  c.out.capacity = kBufferSize;
  c.out.threshold = kFlushThreshold;
  c.out.record_length = 0;
  c.out.record_in_place = c.buffered;
  c.in.at = c.in.length = 0;
  c.in.at_eof = false;
  c.in.has_cr = false;
  enter_connection(c);
}

bool names_connected_file(int number, std::string_view name) {
  Connection* c = find_connection(number);
  return c != nullptr && is_connected_file(c_name(name.substr(0, string_len_trim(name))), *c);
}

bool file_exists(std::string_view name) {
  CName path = c_name(name);
  return path.error == 0 && ::access(path.text, F_OK) == 0;
}

void fail_open(int number, std::string_view name, std::string_view why, Where where) {
  char reason[kMaxFileName + 512];
  std::snprintf(reason, sizeof reason, "Cannot open file '%.*s': %.*s",
                static_cast<int>(name.size()), name.data(), static_cast<int>(why.size()),
                why.data());
  report_failure(where, {number, {}}, reason);
}

void open_connection(int number, std::string_view name, OpenStatus status, Where where) {
  name = name.substr(0, string_len_trim(name));
  CName path = c_name(name);

  if (Connection* old = find_connection(number)) {
    if (is_connected_file(path, *old)) {
      if (status == OpenStatus::unknown && old->status == OpenStatus::old_file) {
        report_failure(where, old->ref(), "Cannot change STATUS parameter in OPEN statement");
      }
      return;
    }
    if (IoError e = release(*old)) report_failure(where, old->ref(), reason_text(e));
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
  attach(*c, number, fd, name, action, status);
}

}  // namespace wexla
