// The byte work every line of a results file goes through: a line taken
// into a fixed-width text (cut or blank-padded, its end found on the way),
// whether a fixed-width text holds a byte, and a short search. Each has a
// plain version, built everywhere, and a 16-bytes-at-a-time version where
// the processor has SSE2 (every x86-64); both give the same bytes. The
// choice is made at build time: WEXLA_PORTABLE_BYTES forces the plain one.
// On x86-64 the passage of lines also has a 32-bytes-at-a-time version
// (line_bytes_avx2.hpp), chosen at run time where the processor has AVX2.
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
// Functions compiled for a processor of their own (g++ and clang on x86-64).
#if defined(WEXLA_SSE2_BYTES) && defined(__x86_64__) && defined(__GNUC__)
#define WEXLA_AVX2_BYTES 1
#endif

namespace wexla {

// What copy_line_head_plain found: the offset of the line's end, or W when none
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

// What a line take found: the count of bytes the line takes up to and with
// its line end, 0 when the line cannot be taken there; and whether the W
// bytes written hold the watched byte (the caller's, such as a byte its
// keys share).
struct LineTaken {
  std::size_t consumed;
  bool holds_watched;
};

// The common case of reading a line into a text of width W: more than W
// bytes are at hand, and the line ends within them or its line feed is among
// them. The text takes the line cut or blank-padded; the line takes up to its
// end: a carriage return among the first W bytes ends it (with the line feed
// right after it, if there is one) when `stop_at_cr`, and the rest of a
// longer line goes to its line feed, carriage returns and all. `consumed` is
// 0 when the case does not apply; `to` may then hold anything.
template <std::size_t W>
LineTaken take_line_plain(char* to, const char* from, std::size_t available, bool stop_at_cr,
                          char watched) {
  if (available <= W) return {0, false};
  LineHead head = copy_line_head_plain<W>(to, from, stop_at_cr, watched);
  if (head.end == W) {
    std::size_t lf = find_byte_plain(from + W, available - W, '\n');
    if (lf == available - W) return {0, false};
    return {W + lf + 1, head.holds_watched};
  }
  // `end` < W < available, so the byte after it is at hand too.
  std::size_t end = head.end;
  return {end + (from[end] == '\r' && from[end + 1] == '\n' ? 2 : 1), head.holds_watched};
}

#ifdef WEXLA_SSE2_BYTES
// Masks that keep the bytes of a W-character text before a line's end and
// put blanks from the end on, loaded at offset kKept - end for an end from
// 0 to kKept: the bytes before the end come from the part that keeps
// (0xff in `keep`, 0 in `fill`), the rest from the part that blanks (0 in
// `keep`, a blank in `fill`). An end beyond W keeps all W bytes, so the
// end needs no cutting back to W first. The masks reach as far as the
// vector takes look for an end (W + 16 bytes with SSE2, 128 with AVX2) and
// cover the W bytes of the text and the 16 after them that the AVX2 take
// stores too.
template <std::size_t W>
struct BlankFillMasks {
  static constexpr std::size_t kKept = 128;
  static constexpr std::size_t kCovered = W + 16;
  alignas(16) char keep[kKept + kCovered];
  alignas(16) char fill[kKept + kCovered];
};
template <std::size_t W>
inline constexpr BlankFillMasks<W> kBlankFill = [] {
  BlankFillMasks<W> masks{};
  for (std::size_t i = 0; i < BlankFillMasks<W>::kKept; ++i)
    masks.keep[i] = static_cast<char>(0xff);
  for (std::size_t i = 0; i < BlankFillMasks<W>::kCovered; ++i)
    masks.fill[BlankFillMasks<W>::kKept + i] = ' ';
  return masks;
}();

// The offset of the lowest bit set in the 128 bits `low`, then `high`.
inline std::size_t lowest_bit(std::uint64_t low, std::uint64_t high) {
  return low != 0 ? static_cast<std::size_t>(std::countr_zero(low))
                  : 64 + static_cast<std::size_t>(std::countr_zero(high));
}

// The same as take_line_plain, without a branch per byte or per line
// length for lines shorter than W + 16: their W + 16 bytes are compared
// with the line ends 16 at a time, and the first W are stored with blanks
// from the end on through the masks above.
template <std::size_t W>
[[gnu::always_inline]] inline LineTaken take_line_sse2(char* to, const char* from,
                                                       std::size_t available, bool stop_at_cr,
                                                       char watched) {
  static_assert(W % 16 == 0 && W >= 16 && W <= 96, "the scanned bytes fit 128 bits");
  constexpr std::size_t kChunks = W / 16;
  constexpr std::size_t kScannedChunks = kChunks + 1;
  constexpr std::size_t kScanned = 16 * kScannedChunks;
  // The bytes just after the scanned ones are looked at below.
  if (available < kScanned + 2) return take_line_plain<W>(to, from, available, stop_at_cr, watched);
  __m128i chunk[kScannedChunks];
  // One bit per byte scanned: bytes 0-63, then 64 on. A line feed counts
  // anywhere, a carriage return among the first W bytes only; the bit just
  // after the scanned bytes stands for "no end among them".
  std::uint64_t stops[2] = {0, 0};
  stops[kScanned / 64] |= std::uint64_t{1} << (kScanned % 64);
  // Unrolled, so that the chunks stay in registers until they are stored.
#pragma GCC unroll 8
  for (std::size_t k = 0; k < kScannedChunks; ++k) {
    chunk[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * k));
    __m128i ends = _mm_cmpeq_epi8(chunk[k], _mm_set1_epi8('\n'));
    if (stop_at_cr && k < kChunks) {
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(chunk[k], _mm_set1_epi8('\r')));
    }
    auto bits = static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(ends)));
    stops[k / 4] |= bits << (16 * (k % 4));
  }
  const std::size_t stop = lowest_bit(stops[0], stops[1]);
  std::size_t consumed = stop + 1;
  if (stop_at_cr) {
    // A carriage return that ended the line takes the line feed right
    // after it along. Without a branch: lines on either side of W chars
    // come in any order.
    consumed +=
        static_cast<std::size_t>((stop < W) & (from[stop] == '\r') & (from[stop + 1] == '\n'));
  }
  if (stop == kScanned) {
    // A long line: its line feed lies further on, if it was read ahead.
    std::size_t lf = find_byte_sse2(from + kScanned, available - kScanned, '\n');
    if (lf == available - kScanned) return {0, false};
    consumed = kScanned + lf + 1;
  }
  constexpr std::size_t kKept = BlankFillMasks<W>::kKept;
  static_assert(kScanned <= kKept, "every end found has its masks");
  const auto* keep = reinterpret_cast<const __m128i*>(&kBlankFill<W>.keep[kKept] - stop);
  const auto* fill = reinterpret_cast<const __m128i*>(&kBlankFill<W>.fill[kKept] - stop);
  const __m128i wanted = _mm_set1_epi8(watched);
  __m128i found = _mm_setzero_si128();
#pragma GCC unroll 8
  for (std::size_t k = 0; k < kChunks; ++k) {
    __m128i bytes =
        _mm_or_si128(_mm_and_si128(chunk[k], _mm_loadu_si128(keep + k)), _mm_loadu_si128(fill + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16 * k), bytes);
    found = _mm_or_si128(found, _mm_cmpeq_epi8(bytes, wanted));
  }
  return {consumed, _mm_movemask_epi8(found) != 0};
}
#endif

// Whether the W bytes of `text` hold `byte`.
template <std::size_t W>
[[gnu::always_inline]] inline bool holds_byte(const char* text, char byte) {
#ifdef WEXLA_SSE2_BYTES
  return holds_byte_sse2<W>(text, byte);
#else
  return holds_byte_plain<W>(text, byte);
#endif
}

template <std::size_t W>
[[gnu::always_inline]] inline LineTaken take_line(char* to, const char* from, std::size_t available,
                                                  bool stop_at_cr, char watched) {
#ifdef WEXLA_SSE2_BYTES
  return take_line_sse2<W>(to, from, available, stop_at_cr, watched);
#else
  return take_line_plain<W>(to, from, available, stop_at_cr, watched);
#endif
}

}  // namespace wexla
