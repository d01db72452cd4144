// A document put on standard output or replacing its name whole, and the
// targets that may never take one.
#include "documents/document_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "documents/join_text.hpp"
#include "scan/run_files.hpp"
#include "textio/files/descriptors.hpp"
#include "textio/files/name_rule.hpp"

namespace wexla {
namespace {

// The names the run reads or writes besides the results file.
constexpr const char* kRunFiles[] = {WEXLA_SCRATCH_FILE, WEXLA_BEST_FILE, WEXLA_SUMMARY_FILE};

std::string system_text(int error) {
  return std::strerror(error);
}

// The document's folder and last component. A name in the current folder
// is placed relative to it (the process's own folder, which nothing can
// swap under the run); another folder is opened once, so that the
// temporary and the rename stay in the folder that was looked at.
int open_folder_of(std::string_view name, std::string_view& last, int& error) {
  std::size_t slash = name.rfind('/');
  last = slash == std::string_view::npos ? name : name.substr(slash + 1);
  if (slash == std::string_view::npos) return AT_FDCWD;
  std::string folder(slash == 0 ? std::string_view("/") : name.substr(0, slash));
  int fd;
  do {
    fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  fd = off_the_standard_streams(fd);
  if (fd < 0) error = errno;
  return fd;
}

// Whether a document that stands at `place` (and as `target` when it
// exists) is the file named `other`.
bool same_file_by_name(const NamePlace& place, const NameLook& target, std::string_view other) {
  if (same_place(place, place_of(other))) return true;
  return target.exists && same_file(target.identity, identity_of_name(other));
}

}  // namespace

std::string document_target_problem(std::string_view name, std::string_view results_name) {
  const NamePlace place = place_of(name);
  if (place.error != 0) return system_text(place.error);
  const NameLook target = look_at_name(name);
  if (target.exists && !target.ordinary)
    return target.link ? "it is a symbolic link" : "it is not a regular file";
  // A name of the run's is its file whether or not the file is there yet;
  // the results file is often a link into a data folder, and its target
  // counts too.
  if (!results_name.empty() && same_file_by_name(place, target, results_name))
    return "it is the results file";
  for (const char* run_file : kRunFiles) {
    if (same_file_by_name(place, target, run_file)) return join({"it is ", run_file});
  }
  return {};
}

bool same_document_file(std::string_view a, std::string_view b) {
  const NamePlace place = place_of(a);
  return place.error == 0 && same_file_by_name(place, look_at_name(a), b);
}

std::string open_document(DocumentFile& document, std::string_view name,
                          std::string_view results_name) {
  if (name == kStandardOutputName) {
    document.on_standard_output = true;
    document.out.descriptor = 1;
    return {};
  }
  if (std::string problem = document_target_problem(name, results_name); !problem.empty())
    return problem;
  std::string_view last;
  int error = 0;
  int folder = open_folder_of(name, last, error);
  if (folder == -1) return system_text(error);
  if (folder != AT_FDCWD) document.folder = folder;
  if (int e = begin_replacement(document.replacement, folder, last); e != 0) {
    if (document.folder >= 0) ::close(document.folder);
    document.folder = -1;
    return system_text(e);
  }
  document.replacing = true;
  document.out.descriptor = document.replacement.descriptor;
  return {};
}

std::string close_document(DocumentFile& document) {
  write_out(document.out, true);
  int error = document.out.error;
  if (document.replacing) {
    error = finish_replacement(document.replacement, error);
    document.replacing = false;
  }
  if (document.folder >= 0) ::close(document.folder);
  document.folder = -1;
  document.out.descriptor = -1;
  return error == 0 ? std::string() : system_text(error);
}

}  // namespace wexla
