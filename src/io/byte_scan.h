// Finding the bytes of a small set in a stretch of text, sixteen bytes at a
// time where the processor has SSE2 (every x86-64, and the 32-bit Windows
// program, which is built for it): export lines are mostly plain letters, and
// looking at each byte alone was the larger part of reading and translating
// them (25 to 35 % of a run's time). Elsewhere one byte at a time.
//
// A set is a table of 256 flags. Its sixteen-byte form is a few ranges of
// bytes that hold every byte of the set (and may hold others, which a look
// at the table sorts out); ranges are compared with a few instructions, and
// coversSet checks them against the table when the program is compiled.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#define KARTCONV_SCAN_SIXTEEN 1
#endif

using ByteSet = std::array<bool, 256>;

struct ByteRange {
  unsigned char first, last;
};

// True when every byte of `set` lies in one of `ranges`.
template <std::size_t N>
constexpr bool coversSet(const std::array<ByteRange, N>& ranges, const ByteSet& set) {
  for (int c = 0; c < 256; ++c) {
    bool covered = false;
    for (const ByteRange& r : ranges) covered = covered || (c >= r.first && c <= r.last);
    if (set[c] && !covered) return false;
  }
  return true;
}

// The control codes, line feed, carriage return and code 26 among them.
inline constexpr std::array<ByteRange, 1> kControlRanges = {{{0, 31}}};

#if KARTCONV_SCAN_SIXTEEN
// The bytes of block `v` that lie in range `I` of `Ranges`, each as 0xFF,
// in as few instructions as the range's shape allows.
template <const auto& Ranges, std::size_t I>
__m128i markRange(__m128i v) {
  constexpr ByteRange r = Ranges[I];
  constexpr unsigned width = r.last - r.first + 1u;
  if constexpr ((width & (width - 1)) == 0 && r.first % width == 0) {
    // An aligned block of 1, 2, 4, ... bytes: the bits below its width go.
    __m128i low = _mm_and_si128(v, _mm_set1_epi8(static_cast<char>(~(width - 1))));
    return _mm_cmpeq_epi8(low, _mm_set1_epi8(static_cast<char>(r.first)));
  } else if constexpr (r.first == 0) {
    return _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(static_cast<char>(r.last))), v);
  } else if constexpr (r.last == 255) {
    return _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(r.first))), v);
  } else {
    __m128i offset = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(r.first)));
    return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(static_cast<char>(r.last - r.first))), offset);
  }
}

template <const auto& Ranges, std::size_t... I>
unsigned markRanges(__m128i v, std::index_sequence<I...>) {
  __m128i marked = _mm_setzero_si128();
  ((marked = _mm_or_si128(marked, markRange<Ranges, I>(v))), ...);
  return static_cast<unsigned>(_mm_movemask_epi8(marked));
}

// One bit per byte of a sixteen-byte block (bit i for byte i), set for the
// bytes that lie in one of `Ranges`.
template <const auto& Ranges>
unsigned markRanges(__m128i v) {
  return markRanges<Ranges>(v, std::make_index_sequence<Ranges.size()>());
}
#endif

// The first position in [p, end) whose byte is in `set`, or `end`. `Ranges`
// must cover `set`.
template <const auto& Ranges>
const char* findFirstOf(const char* p, const char* end, const ByteSet& set) {
#if KARTCONV_SCAN_SIXTEEN
  while (end - p >= 16) {
    unsigned marked = markRanges<Ranges>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    for (; marked != 0; marked &= marked - 1) {
      const char* candidate = p + std::countr_zero(marked);
      if (set[static_cast<unsigned char>(*candidate)]) return candidate;
    }
    p += 16;
  }
#endif
  while (p != end && !set[static_cast<unsigned char>(*p)]) ++p;
  return p;
}

// Calls `visit(at)` for every position in [p, end) whose byte is in `set`,
// in order. Sixteen bytes are marked at once and every byte of the block is
// visited from that one mark: lines of German text hold many accented
// letters close together.
template <const auto& Ranges, typename Visit>
void forEachOf(const char* p, const char* end, const ByteSet& set, Visit visit) {
#if KARTCONV_SCAN_SIXTEEN
  if (end - p >= 16) {
    // The last block overlaps the one before it; its bytes already visited
    // are masked out.
    const char* last = end - 16;
    const char* visited = p;
    for (;;) {
      unsigned marked = markRanges<Ranges>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
      marked &= ~0u << (visited - p);
      for (; marked != 0; marked &= marked - 1) {
        const char* at = p + std::countr_zero(marked);
        if (set[static_cast<unsigned char>(*at)]) visit(at);
      }
      if (p == last) return;
      visited = p + 16;
      p = last - p > 16 ? p + 16 : last;
    }
  }
#endif
  // Short values (a year, a page range) and processors without SSE2.
  for (; p != end; ++p) {
    if (set[static_cast<unsigned char>(*p)]) visit(p);
  }
}
