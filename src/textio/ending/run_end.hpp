// How a run ends early: the stop on a file that is not from a normal fit,
// and a run-time failure once its report is written. Both are thrown to the
// place where the run began, which closes every connection, writes what the
// run was asked to write and ends with the status.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "textio/ending/where.hpp"

namespace wexla {

inline constexpr int kExitFailure = 2;
inline constexpr int kExitOutOfMemory = 1;

struct RunEnd {
  enum class Why : std::uint8_t {
    finished,    // the run did every step
    stop,        // the stop on a file that is not the result of a normal fit
    failure,     // a run-time failure, its report written to descriptor 2
    data_error,  // a WSS field that is not a number: a failure, or (batch) its one line
    not_found,   // the run's input is missing; it said so in one line of its own
    refused,     // refused before it began, in one line of its own: nothing to describe
  };
  static constexpr std::size_t kReasonCapacity = 4608;  // a reason that names a long path

  Why why = Why::finished;
  int status = 0;
  Where where = Where::current();  // the statement the end came from
  char reason[kReasonCapacity] = {};
  std::size_t reason_length = 0;

  std::string_view reason_text() const { return {reason, reason_length}; }
};

// An end of the run with its reason text (cut to the capacity).
inline RunEnd run_end(RunEnd::Why why, int status, std::string_view reason,
                      Where where = Where::current()) {
  RunEnd end;
  end.why = why;
  end.status = status;
  end.where = where;
  end.reason_length = std::min(reason.size(), RunEnd::kReasonCapacity);
  if (end.reason_length > 0) std::memcpy(end.reason, reason.data(), end.reason_length);
  return end;
}

}  // namespace wexla
