// Helpers for tests that need a file connection: a scratch folder, a
// connection opened on a file with given content, one whose writes are
// refused, and statements run to their end as a run ends.
#pragma once

#include <functional>
#include <string>

#include "scratch_folder.hpp"
#include "textio/ending/where.hpp"

namespace wexla {
struct Connection;
}

namespace wexla::testing_support {

using test_support::ScratchFolder;

// Writes `content` to a file and connects it afresh on `number` as an
// existing file. (Every test starts with the connections of a fresh run.)
void open_with_content(const ScratchFolder& dir, int number, const std::string& content);

// Opens a buffered connection `number` on the folder's file `name` and
// points its descriptor at /dev/full, so that its writes are refused as on
// a full disk. Tests calling it begin with
// SKIP_WHEN(host::why_no_full_device()).
Connection& open_on_full_disk(int number, const ScratchFolder& dir, const std::string& name);

// Runs `steps` as the program runs a run, for the death tests of its ends:
// a stop or a failure thrown on the way becomes the run's end, every
// connection is closed (a failed final write reported at `where`), and
// the process ends with the status.
[[noreturn]] void as_a_run(const std::function<void()>& steps, Where where = Where::current());

}  // namespace wexla::testing_support
