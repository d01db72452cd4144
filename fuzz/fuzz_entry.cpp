// libFuzzer entry point shared by every target: WEXLA_FUZZ_CHECK names the
// check this target runs. A broken invariant is reported and aborts, which
// libFuzzer records as a crash with the input that caused it.
#include <cstdio>
#include <cstdlib>

#include "checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string why = wexla::fuzz::WEXLA_FUZZ_CHECK(data, size);
  if (!why.empty()) {
    std::fprintf(stderr, "\n%s: %s\n", WEXLA_FUZZ_NAME, why.c_str());
    std::abort();
  }
  return 0;
}
