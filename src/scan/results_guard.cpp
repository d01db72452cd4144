// The refusal of an output name that is the results file being read.
#include "scan/results_guard.hpp"

#include "scan/fit_scan.hpp"
#include "textio/files/opening.hpp"
#include "textio/text/text_field.hpp"

namespace wexla {

void refuse_the_results_file(int connection, std::string_view name, Where where) {
  if (names_connected_file(results_connection, name)) {
    fail_open(connection, name.substr(0, string_len_trim(name)),
              "it is the results file being read", where);
  }
}

}  // namespace wexla
