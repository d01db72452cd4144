// Opening connections by name, and telling which file a connection holds
// or a name stands for.
#include "textio/files/opening.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "textio/connections/connection_table.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/ending/failure.hpp"
#include "textio/files/descriptors.hpp"
#include "textio/files/name_rule.hpp"
#include "textio/text/text_field.hpp"

namespace wexla {
namespace {

// True when the named file exists and is the file open on `c`: the same
// device and inode. A file the run writes as its own is looked at without
// following a link, as it is opened.
bool is_connected_file(const CName& path, const Connection& c, bool follow) {
  struct stat st {};
  if (path.error != 0) return false;
  int looked = follow ? ::stat(path.text, &st) : ::lstat(path.text, &st);
  return looked == 0 && same_file(identity_of(st), c.identity);
}

int open_retry(const char* name, int flags) {
  int fd;
  do {
    fd = ::open(name, flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool lacks_permission(int error) {
  return error == EACCES || error == EPERM;
}

bool names_fifo(const char* name) {
  struct stat st {};
  return ::stat(name, &st) == 0 && S_ISFIFO(st.st_mode);
}

// A file the run writes as its own is opened without following a link,
// without waiting for the other end of a FIFO and without taking a terminal
// as the controlling one: whatever stands under the name is opened as it
// is, or not at all, and then refused unless it is a regular file.
constexpr int kOwnFileFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

// "it is a symbolic link; remove it or run elsewhere" and the like.
[[noreturn]] void refuse_kind(int number, std::string_view name, const char* kind, Where where) {
  char why[128];
  std::snprintf(why, sizeof why, "it is %s; remove it or run elsewhere", kind);
  fail_open(number, name, why, where);
}

// An own file that could be opened must be a regular file that is none of
// the run's other files or standard streams; otherwise it is closed again
// and the opening refused.
void check_own_file(Connection& c, std::string_view name, Where where) {
  char why[kMaxFileName + 128];
  bool clash = !c.buffered || run_file_clash(c.identity, &c, why, sizeof why);
  if (!clash) return;
  const char* kind = "";
  if (!c.buffered) {
    struct stat st {};
    kind = ::fstat(c.descriptor, &st) == 0 ? kind_of_file(st.st_mode) : "not an ordinary file";
  }
  int number = c.number;
  (void)release(c);
  if (*kind != '\0') refuse_kind(number, name, kind, where);
  fail_open(number, name, why, where);
}

}  // namespace

void refuse_other_names(int number, Where where) {
  Connection* c = find_connection(number);
  if (c == nullptr || c->links <= 1) return;
  char name[kMaxFileName + 1];
  std::size_t length = c->file_name_length;
  std::memcpy(name, c->file_name, length);
  (void)release(*c);
  fail_open(number, {name, length}, kHasAnotherName, where);
}

bool names_connected_file(int number, std::string_view name) {
  Connection* c = find_connection(number);
  return c != nullptr && is_connected_file(c_name(name.substr(0, string_len_trim(name))), *c, true);
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

namespace {

void open_file(int number, std::string_view name, OpenStatus status, bool own, Where where) {
  name = name.substr(0, string_len_trim(name));
  CName path = c_name(name);

  if (Connection* old = find_connection(number)) {
    if (is_connected_file(path, *old, !own)) {
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
  // FIFO is opened read-only, and that first attempt waits for a writer:
  // read before anyone writes it, the FIFO would look empty. Any other is
  // written, so write-only, and no attempt after the first waits for the
  // other end: a FIFO that nobody reads cannot be opened for writing.
  // An own file is opened as it stands, FIFO or not, and checked after.
  int extra = own ? kOwnFileFlags : 0;
  bool fifo = !own && names_fifo(path.text);
  bool to_read = status == OpenStatus::old_file;
  int no_wait = fifo ? O_NONBLOCK : 0;
  Action action = !fifo ? Action::read_write : to_read ? Action::read_only : Action::write_only;
  int access = !fifo ? O_RDWR : to_read ? O_RDONLY : O_WRONLY;
  int first_wait = fifo && to_read ? 0 : no_wait;
  int fd = open_retry(path.text, access | create | first_wait | extra);
  if (fd < 0 && (lacks_permission(errno) || errno == EROFS)) {
    action = Action::read_only;
    fd = open_retry(path.text, O_RDONLY | no_wait | extra);
    if (fd < 0 && (lacks_permission(errno) || errno == ENOENT)) {
      action = Action::write_only;
      fd = open_retry(path.text, O_WRONLY | create | no_wait | extra);
    }
  }
  if (fd < 0) {
    int error = errno;
    // A link, a folder or a socket under an own file's name is named as
    // what it is, rather than by the system's word for the refusal.
    NameLook look = own ? look_at_name(name) : NameLook{};
    if (look.exists && !look.ordinary) refuse_kind(number, name, look.kind, where);
    fail_open(number, name, std::strerror(error), where);
  }
  if (fifo) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

  // A standard stream closed at start must not be taken over by a file.
  fd = off_the_standard_streams(fd);
  if (fd < 0) fail_open(number, name, std::strerror(errno), where);

  Connection* c = free_slot();
  if (c == nullptr) {
    ::close(fd);
    fail_open(number, name, "too many connections", where);
  }
  attach(*c, number, fd, name, action, status);
  if (own) check_own_file(*c, name, where);
}

}  // namespace

void open_connection(int number, std::string_view name, OpenStatus status, Where where) {
  open_file(number, name, status, false, where);
}

void open_own_file(int number, std::string_view name, Where where) {
  open_file(number, name, OpenStatus::unknown, true, where);
}

}  // namespace wexla
