// Which file a descriptor or a name stands for: its device and inode. Two
// names, or a name and a descriptor, are the same file exactly when both
// are known and their device and inode agree, which also holds for two
// hard links.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

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

}  // namespace wexla
