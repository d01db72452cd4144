// Microbenchmarks of the pieces the scan spends its time in: the number
// reader, the general number field, the key search, and the record reader
// and writer on buffered file connections.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "textio/connections/connection_table.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/numbers/read_real.hpp"
#include "textio/numbers/write_number.hpp"
#include "textio/records/line_passage.hpp"
#include "textio/records/record.hpp"
#include "textio/text/text_field.hpp"

namespace {

using namespace wexla;

constexpr int kWriteUnit = 20;
constexpr int kReadUnit = 21;

// A scratch folder for the file connections, removed at exit.
char scratch_dir[] = "/tmp/wexla-micro.XXXXXX";

void remove_scratch() {
  char command[64];
  std::snprintf(command, sizeof command, "rm -rf %s", scratch_dir);
  if (std::system(command) != 0) std::fprintf(stderr, "could not remove %s\n", scratch_dir);
}

std::string scratch() {
  static const bool made = [] {
    if (::mkdtemp(scratch_dir) == nullptr) std::abort();
    std::atexit(remove_scratch);
    return true;
  }();
  (void)made;
  return scratch_dir;
}

// The WSS field of a "Final WSS" line, characters 14 to 27.
void BM_ReadRealField(benchmark::State& state) {
  static const std::array<std::string_view, 4> kFields = {"      1432.871", "  1.234567E+03",
                                                          "             0", "   -0.00012345"};
  std::string_view field = kFields[static_cast<std::size_t>(state.range(0))];
  float value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(read_real_field(field, 0, value));
    benchmark::DoNotOptimize(value);
  }
  state.SetLabel(std::string(field));
}
BENCHMARK(BM_ReadRealField)->DenseRange(0, 3);

// g14.6, the field of the table line and the summary heading.
void BM_GeneralField(benchmark::State& state) {
  static const std::array<float, 4> kValues = {1432.871f, 0.1f, 1e30f, 1.5e-7f};
  float value = kValues[static_cast<std::size_t>(state.range(0))];
  char out[14];
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    get_float_string(out, 14, 6, value);
    benchmark::DoNotOptimize(out);
  }
  state.SetLabel(std::string(out, sizeof out));
}
BENCHMARK(BM_GeneralField)->DenseRange(0, 3);

// The section-header key in an 80-character line that does not hold it,
// and in the header line itself.
void BM_StringIndex(benchmark::State& state) {
  TextField<80> line{
      state.range(0) == 0
          ? "    12.25       23.812      22.508         3.728    0.8936   obs flagged"
          : "1                    FINAL OUTPUT FROM Kalvor  --  estimation step 1"};
  TextField<40> key{"FINAL OUTPUT FROM Kalvor"};
  std::string_view trimmed = key.trimmed();
  for (auto _ : state) benchmark::DoNotOptimize(string_index(line.view(), trimmed));
}
BENCHMARK(BM_StringIndex)->Arg(0)->Arg(1);

// Opens the write connection afresh on the scratch file; its first record
// cuts the file, so this is kept out of the timed part.
void reopen_for_writing(benchmark::State& state) {
  state.PauseTiming();
  close_connection(kWriteUnit);
  open_connection(kWriteUnit, scratch() + "/out", OpenStatus::unknown);
  write_record(kWriteUnit, kWholeRecord, std::string_view("start"));
  state.ResumeTiming();
}

// Records written per opening: the file stays small enough for the cache.
constexpr std::int64_t kRecordsPerFile = 1 << 16;

// "(a)" with an 80-character line, as the scratch file gets every line.
void BM_WriteRecordLine(benchmark::State& state) {
  TextField<80> line{"    12.25       23.812      22.508         3.728    0.8936   obs flagged"};
  std::int64_t written = kRecordsPerFile;
  for (auto _ : state) {
    if (written++ == kRecordsPerFile) {
      reopen_for_writing(state);
      written = 0;
    }
    write_record(kWriteUnit, kWholeRecord, line.view());
  }
  close_connection(kWriteUnit);
  state.SetBytesProcessed(state.iterations() * 81);
}
BENCHMARK(BM_WriteRecordLine);

// The marked table line: an integer, two g14.6 fields and literals.
void BM_WriteTableLine(benchmark::State& state) {
  constexpr Format kMarkedLine = WEXLA_FORMAT("(1x,'The WSS(',i3,'*) is ',g14.6,',',g14.6)");
  std::int64_t written = kRecordsPerFile;
  std::int32_t n = 0;
  for (auto _ : state) {
    if (written++ == kRecordsPerFile) {
      reopen_for_writing(state);
      written = 0;
    }
    write_record(kWriteUnit, kMarkedLine, ++n % 1000, 1432.871f, 1187.9f);
  }
  close_connection(kWriteUnit);
}
BENCHMARK(BM_WriteTableLine);

// "(a)" into an 80-character line from a file of 60- to 100-character lines.
void BM_ReadRecordLine(benchmark::State& state) {
  const std::string name = scratch() + "/in.OUT";
  if (std::FILE* f = std::fopen(name.c_str(), "w")) {
    for (int i = 0; i < 1 << 14; ++i) {
      std::fprintf(f, "%*s%s\n", 60 + i % 41, "  0.25    12.156   11.215  2.688", "");
    }
    std::fclose(f);
  }
  TextField<80> line;
  open_connection(kReadUnit, name, OpenStatus::old_file);
  for (auto _ : state) {
    if (!read_record_or_end(kReadUnit, kWholeRecord, line.span())) {
      state.PauseTiming();
      close_connection(kReadUnit);
      open_connection(kReadUnit, name, OpenStatus::old_file);
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(line.chars);
  }
  close_connection(kReadUnit);
}
BENCHMARK(BM_ReadRecordLine);

// Lines passed from the read-ahead to the scratch output as the scan passes
// a residual table: 60- to 100-character lines of random lengths without
// the key byte, until 4096 bytes are pending. The input is long enough that
// the branches cannot learn the lengths. Arguments: CR LF ends (1) or LF
// (0); the passage's byte work: 0 plain, 1 the one built (SSE2 on x86-64),
// 2 AVX2 (skipped where the processor has none).
void BM_PassLines(benchmark::State& state) {
  const bool crlf = state.range(0) != 0;
  const auto path = static_cast<PassagePath>(state.range(1));
#ifdef WEXLA_AVX2_BYTES
  const bool at_hand = path != PassagePath::avx2 || avx2_at_hand();
#else
  const bool at_hand = path != PassagePath::avx2;
#endif
  if (!at_hand) {
    state.SkipWithError("no AVX2 here");
    return;
  }
  std::string input;
  std::uint32_t random = 12345;
  while (input.size() < (1u << 20)) {
    std::string row = "    1.25       3.114      2.997         0.334    0.5312   obs flagged: none";
    random = random * 1103515245u + 12345u;
    row.resize(60 + (random >> 16) % 41, ' ');
    input += row + (crlf ? "\r\n" : "\n");
  }
  static char output[kBufferSize];
  std::size_t lines = 0;
  std::size_t at = 0;
  for (auto _ : state) {
    LinePassage passage;
    passage.input = input.data();
    passage.input_at = at;
    passage.input_length = std::min(input.size(), at + kBufferSize);
    passage.input_has_cr = crlf;
    passage.output = output;
    passage.output_size = sizeof output;
    passage.pending_limit = kFlushThreshold;
    lines += pass_lines(passage, 'P', path);
    at = passage.input_at + 4096 < input.size() ? passage.input_at : 0;
    benchmark::DoNotOptimize(output);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(lines));
}
BENCHMARK(BM_PassLines)->ArgsProduct({{0, 1}, {0, 1, 2}});

}  // namespace

BENCHMARK_MAIN();
