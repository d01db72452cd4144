// Wexla: reads a Kalvor results file once, prints the fit table, keeps the
// best fit's section in BEST.OUT and a parameter summary in WexlaP.OUT.
#include <span>

#include "app/run.hpp"
#include "textio/ending/end_run.hpp"

int main(int argc, char** argv) {
  std::span<char* const> arguments(argv + 1, argc > 0 ? argc - 1 : 0);
  wexla::end_process(wexla::run(arguments));
}
