// The followed results file: its gate and the looks at it between reads.
#include "scan/followed_results.hpp"

#include <sys/stat.h>

#include <cstdint>

#include "scan/fit_scan.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/ending/failure.hpp"
#include "textio/files/name_rule.hpp"

namespace wexla {

bool follow_results_file(FollowedInput& input) {
  const Connection* c = find_connection(results_connection);
  if (c == nullptr || !c->buffered) return false;
  return follow_connection(results_connection, input);
}

ResultsLook look_at_followed_file(std::string_view results_name, const FollowedInput& input) {
  const Connection* c = find_connection(results_connection);
  struct stat st {};
  if (c == nullptr || ::fstat(c->descriptor, &st) != 0) return ResultsLook::unchanged;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  // A name that is gone for a moment is no other file; one that leads to
  // another file is.
  const FileIdentity under_name = identity_of_name(results_name);
  if (size < input.taken || (under_name.known && !same_file(under_name, c->identity)))
    report_failure(Where::current(), c->ref(), "the results file was cut while it was read");
  return size > input.taken ? ResultsLook::grown : ResultsLook::unchanged;
}

}  // namespace wexla
