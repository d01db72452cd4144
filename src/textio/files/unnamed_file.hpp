// A scratch file with no name: made under a dot-name in a folder,
// exclusively and without following a link, and unlinked at once, so that
// no name is left behind and nothing is written outside the folder. It
// lives as long as its descriptor.
#pragma once

#include <string_view>

namespace wexla {

// Opens such a file for reading and writing in `folder` (a descriptor, or
// AT_FDCWD), its name ".<stem>.<pid>.<n>" while it exists. Returns the
// descriptor, or -1 when none could be made.
int open_unnamed_file(int folder, std::string_view stem);

}  // namespace wexla
