// The line take of line_bytes.hpp for the lines a passage passes, 32 bytes
// at a time, for x86-64 processors with AVX2, BMI and POPCNT. It is
// compiled for those instructions whatever the build's own target, and
// called only where avx2_at_hand() says the processor has them.
#pragma once

#include <cstddef>

#include "textio/text/line_bytes.hpp"

#ifdef WEXLA_AVX2_BYTES
#include <immintrin.h>

namespace wexla {

// Whether this processor runs the functions below.
inline bool avx2_at_hand() {
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("popcnt");
}

// A line that passes at once is found in two steps: first the line feeds
// of a block of input are listed (index_line_feeds_avx2), then each line
// up to the next listed line feed is taken (take_listed_line_avx2). No line
// waits for the one before it to be searched, as it would if each line's
// end were found from the bytes at its start: the lines' takes overlap.

// Lists the offsets of the line feeds among `words` 64-byte words at `from`,
// `base` added, in `to`, which has room for 64 * words + 2; returns how
// many there are.
[[gnu::target("avx2,bmi,popcnt"), gnu::always_inline]] inline std::size_t index_line_feeds_avx2(
    const char* from, std::size_t words, std::uint32_t base, std::uint32_t* to) {
  const __m256i line_feed = _mm256_set1_epi8('\n');
  std::size_t count = 0;
  for (std::size_t k = 0; k < words; ++k, from += 64, base += 64) {
    const auto* in = reinterpret_cast<const __m256i*>(from);
    std::uint64_t bits =
        static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(in), line_feed))) |
        std::uint64_t{static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(in + 1), line_feed)))}
            << 32;
    // Lines longer than 32 bytes leave at most two line feeds in 64 bytes:
    // two places are stored without a branch (any, when there are fewer),
    // more one by one.
    const auto found = static_cast<std::size_t>(std::popcount(bits));
    const std::uint64_t rest = bits & (bits - 1);
    to[count] = base + static_cast<std::uint32_t>(std::countr_zero(bits));
    to[count + 1] = base + static_cast<std::uint32_t>(std::countr_zero(rest));
    if (found > 2) [[unlikely]] {
      std::size_t at = count + 2;
      for (bits = rest & (rest - 1); bits != 0; bits &= bits - 1) {
        to[at++] = base + static_cast<std::uint32_t>(std::countr_zero(bits));
      }
    }
    count += found;
  }
  return count;
}

// What a line's text must not hold for the line to pass at once: the
// watched byte and, in input that holds any, a carriage return. Most
// watched bytes are found with the carriage returns in one table look-up
// per 32 bytes: a byte is found when it equals the table's entry at its low
// four bits, which holds the carriage return at 0xD, the watched byte at
// its own low four bits, and elsewhere a byte whose low four bits differ
// from the entry's place (which no byte equals). That needs a watched byte
// below 0x80 (the look-up gives 0 for the others) whose low four bits are
// not 0xD; any other is compared on its own (kOneTable false).
struct LineStops {
  __m256i table;    // kOneTable
  __m256i watched;  // otherwise, and for input without carriage returns
};

inline bool stops_fit_one_table(char watched) {
  const auto w = static_cast<unsigned char>(watched);
  return w < 0x80 && (w & 0xF) != ('\r' & 0xF);
}

[[gnu::target("avx2,bmi,popcnt"), gnu::always_inline]] inline LineStops line_stops(char watched) {
  alignas(16) char entries[16];
  for (int i = 0; i < 16; ++i) entries[i] = static_cast<char>(i ^ 1);
  entries['\r' & 0xF] = '\r';
  if (stops_fit_one_table(watched)) entries[watched & 0xF] = watched;
  const __m128i table = _mm_load_si128(reinterpret_cast<const __m128i*>(entries));
  return {_mm256_broadcastsi128_si256(table), _mm256_set1_epi8(watched)};
}

// The bytes among 32 that stop a line from passing at once.
template <bool kStopAtCr, bool kOneTable>
[[gnu::target("avx2,bmi,popcnt"), gnu::always_inline]] inline __m256i stops_avx2(
    __m256i bytes, const LineStops& stops) {
  if constexpr (!kStopAtCr) {
    return _mm256_cmpeq_epi8(bytes, stops.watched);
  } else if constexpr (kOneTable) {
    return _mm256_cmpeq_epi8(bytes, _mm256_shuffle_epi8(stops.table, bytes));
  } else {
    return _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\r')),
                           _mm256_cmpeq_epi8(bytes, stops.watched));
  }
}

// take_line's common case for a line whose line feed lies `length` bytes
// after its start at `from`: `to` takes the line's text cut or padded to W
// bytes, blanks in place of a carriage return right before the line feed
// (with kStopAtCr; without it the input holds none) and everything after.
// True when the line passes at once: the first 96 bytes of the text (or
// all of it) hold no watched byte and no carriage return. Otherwise the
// caller takes the line the general way (a carriage return ends a line
// where it stands, and a watched byte beyond the first W bytes does not
// count; nor do the blanks after the text's end, which a watched blank
// would find). 96 bytes at `from` must be readable, and the byte before
// the line feed; 96 are written at `to`, the first W as the text.
template <std::size_t W, bool kStopAtCr, bool kOneTable>
[[gnu::target("avx2,bmi,popcnt"), gnu::always_inline]] inline bool take_listed_line_avx2(
    char* to, const char* from, std::size_t length, const LineStops& stops) {
  static_assert(W > 64 && W <= 96, "the line's text lies in three 32-byte chunks");
  std::size_t text = length;
  if constexpr (kStopAtCr) {
    // The carriage return of a CR LF is not text. (An empty line's byte at
    // `from` is its line feed.)
    text -= from[length == 0 ? 0 : length - 1] == '\r';
  }
  // Bytes before the text's end are kept, blanks put from it on, through
  // the masks of line_bytes.hpp.
  constexpr std::size_t kKept = BlankFillMasks<W>::kKept;
  static_assert(kKept >= 96 && BlankFillMasks<W>::kCovered >= 96, "every end has its masks");
  const std::size_t end = std::min<std::size_t>(text, 96);
  // One offset into both tables, so that each chunk's masks are addressed
  // from it.
  const std::ptrdiff_t masks = static_cast<std::ptrdiff_t>(kKept - end);
  static_assert(offsetof(BlankFillMasks<W>, fill) - offsetof(BlankFillMasks<W>, keep) ==
                sizeof(BlankFillMasks<W>::keep));
  const char* keep = kBlankFill<W>.keep + masks;
  const char* fill = keep + sizeof(BlankFillMasks<W>::keep);
  __m256i found = _mm256_setzero_si256();
#pragma GCC unroll 3
  for (std::size_t k = 0; k < 96; k += 32) {
    const __m256i bytes = _mm256_or_si256(
        _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k)),
                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keep + k))),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fill + k)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + k), bytes);
    found = _mm256_or_si256(found, stops_avx2<kStopAtCr, kOneTable>(bytes, stops));
  }
  return _mm256_testz_si256(found, found);
}

}  // namespace wexla

#endif
