// The two byte searches every line of a results file goes through: the head
// of the line copied into a fixed-width text with its end found on the way,
// and whether a fixed-width text holds a byte at all. Each has a plain
// version, built everywhere, and a 16-bytes-at-a-time version where the
// processor has SSE2 (every x86-64); both give the same bytes. The choice is
// made at build time: WEXLA_PORTABLE_BYTES forces the plain one.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(WEXLA_PORTABLE_BYTES)
#define WEXLA_SSE2_BYTES 1
#include <emmintrin.h>
#endif

namespace wexla {

// What copy_line_head found: the offset of the line's end, or W when none
// of the W bytes is one; and whether the W bytes written hold the watched
// byte (the caller's, such as a byte its keys share).
struct LineHead {
  std::size_t end;
  bool holds_watched;
};

// Copies the first W bytes at `from` into `to`, with blanks in place of the
// line's end and everything after it. The line ends at its first line feed,
// or at its first carriage return when `stop_at_cr`. All W bytes at `from`
// must be readable.
template <std::size_t W>
LineHead copy_line_head_plain(char* to, const char* from, bool stop_at_cr, char watched) {
  std::size_t end = W;
  if (const void* lf = std::memchr(from, '\n', W))
    end = static_cast<std::size_t>(static_cast<const char*>(lf) - from);
  if (stop_at_cr) {
    if (const void* cr = std::memchr(from, '\r', end))
      end = static_cast<std::size_t>(static_cast<const char*>(cr) - from);
  }
  std::memcpy(to, from, end);
  std::memset(to + end, ' ', W - end);
  return {end, std::memchr(to, watched, W) != nullptr};
}

template <std::size_t W>
bool holds_byte_plain(const char* text, char byte) {
  return std::memchr(text, byte, W) != nullptr;
}

// Offset of the first `byte` among the `length` bytes at `text`; `length`
// when there is none.
inline std::size_t find_byte_plain(const char* text, std::size_t length, char byte) {
  const void* found = std::memchr(text, byte, length);
  return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text) : length;
}

#ifdef WEXLA_SSE2_BYTES
// The same, without a branch per byte or per line length: one compare per
// 16 bytes finds the line ends, and a second pass keeps the bytes before
// the first one, puts blanks over the rest and looks for the watched byte.
template <std::size_t W>
[[gnu::always_inline]] inline LineHead copy_line_head_sse2(char* to, const char* from,
                                                           bool stop_at_cr, char watched) {
  static_assert(W % 16 == 0 && W <= 112, "offsets must fit a signed byte");
  constexpr std::size_t kChunks = W / 16;
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  __m128i chunk[kChunks];
  std::uint64_t ends[2] = {0, 0};  // one bit per byte: bytes 0-63, then 64 on
  // Unrolled, so that the chunks stay in registers between the two passes;
  // input without carriage returns is not compared with them.
  if (stop_at_cr) {
#pragma GCC unroll 8
    for (std::size_t k = 0; k < kChunks; ++k) {
      chunk[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * k));
      __m128i stop = _mm_or_si128(_mm_cmpeq_epi8(chunk[k], lf), _mm_cmpeq_epi8(chunk[k], cr));
      auto bits = static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(stop)));
      ends[k / 4] |= bits << (16 * (k % 4));
    }
  } else {
#pragma GCC unroll 8
    for (std::size_t k = 0; k < kChunks; ++k) {
      chunk[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * k));
      auto bits = static_cast<std::uint64_t>(
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk[k], lf))));
      ends[k / 4] |= bits << (16 * (k % 4));
    }
  }
  // countr_zero of 0 is 64: with no end at all, `end` is cut back to W.
  std::size_t end = ends[0] != 0 ? static_cast<std::size_t>(std::countr_zero(ends[0]))
                                 : 64 + static_cast<std::size_t>(std::countr_zero(ends[1]));
  end = std::min(end, W);
  const __m128i blanks = _mm_set1_epi8(' ');
  const __m128i wanted = _mm_set1_epi8(watched);
  __m128i found = _mm_setzero_si128();
  const __m128i limit = _mm_set1_epi8(static_cast<char>(end));
  __m128i offset = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
#pragma GCC unroll 8
  for (std::size_t k = 0; k < kChunks; ++k) {
    // Bytes before the end are kept; the rest become blanks: (c ^ b) & 0 ^ b.
    __m128i keep = _mm_cmplt_epi8(offset, limit);
    __m128i bytes = _mm_xor_si128(_mm_and_si128(_mm_xor_si128(chunk[k], blanks), keep), blanks);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16 * k), bytes);
    found = _mm_or_si128(found, _mm_cmpeq_epi8(bytes, wanted));
    offset = _mm_add_epi8(offset, _mm_set1_epi8(16));
  }
  return {end, _mm_movemask_epi8(found) != 0};
}

template <std::size_t W>
[[gnu::always_inline]] inline bool holds_byte_sse2(const char* text, char byte) {
  static_assert(W % 16 == 0);
  const __m128i wanted = _mm_set1_epi8(byte);
  __m128i found = _mm_setzero_si128();
#pragma GCC unroll 8
  for (std::size_t k = 0; k < W / 16; ++k) {
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * k));
    found = _mm_or_si128(found, _mm_cmpeq_epi8(chunk, wanted));
  }
  return _mm_movemask_epi8(found) != 0;
}

// Short searches are the common case (the rest of a line a little longer
// than 80 characters), too short to be worth a call.
inline std::size_t find_byte_sse2(const char* text, std::size_t length, char byte) {
  const __m128i wanted = _mm_set1_epi8(byte);
  std::size_t at = 0;
  for (; at + 16 <= length; at += 16) {
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
    if (int bits = _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted)))
      return at + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(bits)));
  }
  for (; at < length; ++at) {
    if (text[at] == byte) return at;
  }
  return length;
}
#endif

template <std::size_t W>
[[gnu::always_inline]] inline LineHead copy_line_head(char* to, const char* from, bool stop_at_cr,
                                                      char watched) {
#ifdef WEXLA_SSE2_BYTES
  return copy_line_head_sse2<W>(to, from, stop_at_cr, watched);
#else
  return copy_line_head_plain<W>(to, from, stop_at_cr, watched);
#endif
}

inline std::size_t find_byte(const char* text, std::size_t length, char byte) {
#ifdef WEXLA_SSE2_BYTES
  return find_byte_sse2(text, length, byte);
#else
  return find_byte_plain(text, length, byte);
#endif
}

// Whether the W bytes of `text` hold `byte`.
template <std::size_t W>
[[gnu::always_inline]] inline bool holds_byte(const char* text, char byte) {
#ifdef WEXLA_SSE2_BYTES
  return holds_byte_sse2<W>(text, byte);
#else
  return holds_byte_plain<W>(text, byte);
#endif
}

}  // namespace wexla
