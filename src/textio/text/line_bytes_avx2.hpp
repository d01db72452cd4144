// The line take of line_bytes.hpp for a line that passes, 32 bytes at a
// time, for x86-64 processors with AVX2 and BMI. It is compiled for those
// instructions whatever the build's own target, and called only where
// avx2_at_hand() says the processor has them.
#pragma once

#include "textio/text/line_bytes.hpp"

#ifdef WEXLA_AVX2_BYTES
#include <immintrin.h>

namespace wexla {

// Whether this processor runs the functions below.
inline bool avx2_at_hand() {
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
}

// The bytes a line take stops at: line feeds, carriage returns and the
// watched byte. Most watched bytes are found with the line ends in one
// table look-up per 32 bytes: a byte stops when it equals the table's
// entry at its low four bits, which holds the line feed at 0xA, the
// carriage return at 0xD, the watched byte at its own low four bits, and
// elsewhere a byte whose low four bits differ from the entry's place (which
// no byte equals). That needs a watched byte below 0x80 (the look-up gives
// 0 for the others) whose low four bits are neither 0xA nor 0xD; any other
// is compared on its own (kOneTable false).
struct LineStops {
  __m256i table;    // kOneTable
  __m256i watched;  // otherwise
};

inline bool stops_fit_one_table(char watched) {
  const auto w = static_cast<unsigned char>(watched);
  return w < 0x80 && (w & 0xF) != ('\n' & 0xF) && (w & 0xF) != ('\r' & 0xF);
}

[[gnu::target("avx2,bmi"), gnu::always_inline]] inline LineStops line_stops(char watched) {
  alignas(16) char entries[16];
  for (int i = 0; i < 16; ++i) entries[i] = static_cast<char>(i ^ 1);
  entries['\n' & 0xF] = '\n';
  entries['\r' & 0xF] = '\r';
  if (stops_fit_one_table(watched)) entries[watched & 0xF] = watched;
  const __m128i table = _mm_load_si128(reinterpret_cast<const __m128i*>(entries));
  return {_mm256_broadcastsi128_si256(table), _mm256_set1_epi8(watched)};
}

// One bit per stop among 32 bytes. Without kStopAtCr the bytes hold no
// carriage return, and the one-table look-up may find them all the same.
template <bool kStopAtCr, bool kOneTable>
[[gnu::target("avx2,bmi"), gnu::always_inline]] inline std::uint32_t stops_avx2(
    __m256i bytes, const LineStops& stops) {
  __m256i found;
  if constexpr (kOneTable) {
    found = _mm256_cmpeq_epi8(bytes, _mm256_shuffle_epi8(stops.table, bytes));
  } else {
    found = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n')),
                            _mm256_cmpeq_epi8(bytes, stops.watched));
    if constexpr (kStopAtCr) {
      found = _mm256_or_si256(found, _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\r')));
    }
  }
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(found));
}

// take_line's common case for a line that does not hold the watched byte:
// the first stop among the 128 bytes at `from`, or the byte just after
// them, is the line's end (a line feed; a carriage return followed by one;
// a lone carriage return among the first W bytes). Then `to` takes the line
// as take_line gives it, and the count of bytes the line takes is returned;
// otherwise 0, and the caller takes the line the general way. The watched
// byte must not be a blank (the blanks put after a line's end would hold
// it). 130 bytes at `from` must be readable; 96 are written at `to`, the
// first W as the line's text.
template <std::size_t W, bool kStopAtCr, bool kOneTable>
[[gnu::target("avx2,bmi"), gnu::always_inline]] inline std::size_t pass_line_avx2(
    char* to, const char* from, const LineStops& stops) {
  static_assert(W > 64 && W <= 96, "the line's text lies in three 32-byte chunks");
  const auto* in = reinterpret_cast<const __m256i*>(from);
  const __m256i chunk0 = _mm256_loadu_si256(in);
  const __m256i chunk1 = _mm256_loadu_si256(in + 1);
  const __m256i chunk2 = _mm256_loadu_si256(in + 2);
  const __m256i chunk3 = _mm256_loadu_si256(in + 3);
  // One bit per byte: bytes 0-63, then 64-127.
  const std::uint64_t low = stops_avx2<kStopAtCr, kOneTable>(chunk0, stops) |
                            std::uint64_t{stops_avx2<kStopAtCr, kOneTable>(chunk1, stops)} << 32;
  const std::uint64_t high = stops_avx2<kStopAtCr, kOneTable>(chunk2, stops) |
                             std::uint64_t{stops_avx2<kStopAtCr, kOneTable>(chunk3, stops)} << 32;
  // The offset of the first stop, 128 when there is none; without a
  // branch, since lines on either side of 64 bytes come in any order.
  std::size_t stop = static_cast<std::size_t>(std::countr_zero(low));
  stop += static_cast<std::size_t>(std::countr_zero(high)) & (0 - (stop >> 6));
  const char at_stop = from[stop];
  std::size_t consumed = stop + 1;
  if constexpr (kStopAtCr) {
    const bool cr_lf = (at_stop == '\r') & (from[stop + 1] == '\n');
    if (!((at_stop == '\n') | cr_lf | ((at_stop == '\r') & (stop < W)))) return 0;
    consumed += cr_lf;
  } else {
    if (at_stop != '\n') return 0;
  }
  // Bytes before the stop are kept, blanks put from it on: a byte is kept
  // where its offset is below the stop. Both are compared 128 lower, so
  // that a stop of 128 fits a signed byte.
  const __m256i end = _mm256_set1_epi8(static_cast<char>(stop ^ 0x80));
  const __m256i blanks = _mm256_set1_epi8(' ');
  const __m256i offsets0 =
      _mm256_setr_epi8(-128, -127, -126, -125, -124, -123, -122, -121, -120, -119, -118, -117, -116,
                       -115, -114, -113, -112, -111, -110, -109, -108, -107, -106, -105, -104, -103,
                       -102, -101, -100, -99, -98, -97);
  const __m256i offsets1 = _mm256_add_epi8(offsets0, _mm256_set1_epi8(32));
  const __m256i offsets2 = _mm256_add_epi8(offsets0, _mm256_set1_epi8(64));
  auto* out = reinterpret_cast<__m256i*>(to);
  _mm256_storeu_si256(out, _mm256_blendv_epi8(blanks, chunk0, _mm256_cmpgt_epi8(end, offsets0)));
  _mm256_storeu_si256(out + 1,
                      _mm256_blendv_epi8(blanks, chunk1, _mm256_cmpgt_epi8(end, offsets1)));
  _mm256_storeu_si256(out + 2,
                      _mm256_blendv_epi8(blanks, chunk2, _mm256_cmpgt_epi8(end, offsets2)));
  return consumed;
}

}  // namespace wexla

#endif
