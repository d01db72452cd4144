// A file replaced whole and a file copied in process: the temporary made
// exclusively, never through a link standing under its name; the old file
// kept when anything fails; the copy read from the descriptor's start, its
// permission bits those of the file it replaces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "textio/files/file_copy.hpp"
#include "textio/files/whole_file.hpp"
#include "unit_support.hpp"

namespace wexla {
namespace {

using testing_support::ScratchFolder;

// A descriptor of the scratch folder, closed at the end of the test.
struct Folder {
  explicit Folder(const ScratchFolder& dir)
      : fd(::open(dir.dir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~Folder() { ::close(fd); }
  int fd;
};

std::string first_temporary(const char* name) {
  std::string temporary(1, '.');
  temporary.append(name).append(".").append(std::to_string(::getpid())).append(".part");
  return temporary;
}

TEST(WholeFile, ATakenTemporaryNameIsNeverFollowed) {
  ScratchFolder dir;
  dir.write("decoy", "the decoy\n");
  dir.write("name", "old\n");
  // Someone has put a link where the first temporary would go.
  std::filesystem::create_symlink("decoy", dir.path(first_temporary("name")));
  Folder folder(dir);
  Replacement r;
  ASSERT_EQ(begin_replacement(r, folder.fd, "name"), 0);
  EXPECT_NE(std::string(r.temporary), first_temporary("name"));
  ASSERT_EQ(::write(r.descriptor, "new\n", 4), 4);
  ASSERT_EQ(finish_replacement(r), 0);
  EXPECT_EQ(dir.read("name"), "new\n");
  EXPECT_EQ(dir.read("decoy"), "the decoy\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path(first_temporary("name"))));
}

TEST(WholeFile, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  ScratchFolder dir;
  dir.write("name", "old\n");
  Folder folder(dir);
  Replacement r;
  ASSERT_EQ(begin_replacement(r, folder.fd, "name"), 0);
  ASSERT_EQ(::write(r.descriptor, "half", 4), 4);
  EXPECT_EQ(finish_replacement(r, ENOSPC), ENOSPC);
  EXPECT_EQ(dir.read("name"), "old\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path(r.temporary)));
}

// The source is read from its start whatever its offset; an existing file
// keeps its permission bits; a source shorter than said ends the copy.
TEST(FileCopy, ReadsFromTheStartAndKeepsTheModeOfTheFileItReplaces) {
  ScratchFolder dir;
  dir.write("source", "0123456789");
  dir.write("target", "an older and longer file\n");
  ::chmod(dir.path("target").c_str(), 0640);
  Folder folder(dir);
  int source = ::open(dir.path("source").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(source, 0);
  ASSERT_EQ(::lseek(source, 7, SEEK_SET), 7);
  EXPECT_FALSE(copy_to_name(source, 6, folder.fd, "target", {true, 0640}));
  EXPECT_EQ(dir.read("target"), "012345");
  struct stat st {};
  ASSERT_EQ(::stat(dir.path("target").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_FALSE(copy_to_name(source, 100, folder.fd, "new", {}));
  EXPECT_EQ(dir.read("new"), "0123456789");
  ::close(source);
  for (const auto& entry : std::filesystem::directory_iterator(dir.dir()))
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace wexla
