// Which file a descriptor or a name stands for: its device and inode, and
// what kind of file it is. Two names, or a name and a descriptor, are the
// same file exactly when both are known and their device and inode agree,
// which also holds for two hard links.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string_view>

namespace wexla {

struct FileIdentity {
  bool known = false;
  dev_t device = 0;
  ino_t inode = 0;
};

inline FileIdentity identity_of(const struct stat& st) {
  return {true, st.st_dev, st.st_ino};
}

inline bool same_file(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

// What stands under a name, looked at without following a symbolic link.
struct NameLook {
  bool exists = false;
  bool ordinary = false;     // a regular file
  const char* kind = "";     // "a symbolic link", "a folder", ... when not ordinary
  FileIdentity identity;
  std::uint64_t size = 0;
};

// The kind of a file that is not a regular one, as a reason names it.
const char* kind_of_file(mode_t mode);

// Looks at `name` (trailing blanks removed) without following a link. A
// name that cannot be looked at (absent, or in a folder that cannot be
// searched) does not exist for this purpose.
NameLook look_at_name(std::string_view name);

}  // namespace wexla
