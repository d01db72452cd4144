// Looking at what stands under a name, and whether a file is one the run
// already has.
#include "textio/files/name_rule.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "textio/connections/connection_table.hpp"
#include "textio/connections/standard_connections.hpp"
#include "textio/text/characters.hpp"
#include "textio/text/text_field.hpp"

namespace wexla {

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

const char* kind_of_file(mode_t mode) {
  if (S_ISREG(mode)) return "an ordinary file";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not an ordinary file";
}

NameLook look_at_name(std::string_view name) {
  CName path = c_name(name.substr(0, string_len_trim(name)));
  struct stat st {};
  NameLook look;
  if (path.error != 0 || ::lstat(path.text, &st) != 0) return look;
  look.exists = true;
  look.ordinary = S_ISREG(st.st_mode);
  look.link = S_ISLNK(st.st_mode);
  look.kind = kind_of_file(st.st_mode);
  look.identity = identity_of(st);
  look.size = static_cast<std::uint64_t>(st.st_size);
  look.mode = st.st_mode & 07777;
  look.links = static_cast<std::uint64_t>(st.st_nlink);
  return look;
}

FileIdentity identity_of_name(std::string_view name) {
  CName path = c_name(name.substr(0, string_len_trim(name)));
  struct stat st {};
  if (path.error != 0 || ::stat(path.text, &st) != 0) return {};
  return identity_of(st);
}

NamePlace place_of(std::string_view name) {
  NamePlace place;
  std::size_t slash = name.rfind('/');
  place.last = slash == std::string_view::npos ? name : name.substr(slash + 1);
  std::string_view folder = slash == std::string_view::npos ? std::string_view(".")
                            : slash == 0                    ? std::string_view("/")
                                                            : name.substr(0, slash);
  CName path = c_name(folder);
  struct stat st {};
  if (path.error != 0) {
    place.error = path.error;
  } else if (::stat(path.text, &st) != 0) {
    place.error = errno;
  } else if (!S_ISDIR(st.st_mode)) {
    place.error = ENOTDIR;
  } else {
    place.folder = identity_of(st);
  }
  return place;
}

bool same_place(const NamePlace& a, const NamePlace& b) {
  if (!same_file(a.folder, b.folder) || a.last.size() != b.last.size()) return false;
  for (std::size_t k = 0; k < a.last.size(); ++k) {
    if (to_lower(a.last[k]) != to_lower(b.last[k])) return false;
  }
  return true;
}

bool run_file_clash(const FileIdentity& file, const Connection* except, char* why,
                    std::size_t size) {
  const ConnectionTable& t = connection_table();
  const char* stream = nullptr;
  const Connection* other = nullptr;
  for (const Connection& c : t.slots) {
    // Standard input is only read; a file that feeds the answers harms nothing.
    if (!c.connected || &c == except || c.number == kStdinConnection) continue;
    if (same_file(file, c.identity)) other = &c;
  }
  if (other != nullptr && other->descriptor == 1) stream = "output";
  if (other != nullptr && other->descriptor == 2) stream = "error";
  if (other == nullptr && same_file(file, t.standard_error)) stream = "error";
  // Standard output holds a document once the screen has gone elsewhere.
  if (other == nullptr && stream == nullptr && same_file(file, t.standard_output))
    stream = "output";
  if (stream != nullptr) {
    std::snprintf(why, size, "it is the standard %s; send the standard %s elsewhere", stream,
                  stream);
  } else if (other != nullptr) {
    std::snprintf(why, size, "it is the same file as '%.*s'; remove one of them or run elsewhere",
                  static_cast<int>(other->file_name_length), other->file_name);
  } else {
    return false;
  }
  return true;
}

}  // namespace wexla
