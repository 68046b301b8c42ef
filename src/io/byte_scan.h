// Finding the first of a few special bytes in a stretch of text, sixteen
// bytes at a time where the processor has SSE2 (every x86-64), else eight
// bytes at a time: export lines are mostly plain letters, and looking at each
// byte alone was the larger part of reading and translating them.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define KARTCONV_SCAN_SIXTEEN 1
#endif

using ByteSet = std::array<bool, 256>;

inline constexpr std::uint64_t kEveryByte(std::uint64_t byte) {
  return byte * 0x0101010101010101ull;
}

// The high bit of a byte of the result is set for the bytes of `word` below
// `limit` (at most 128). Only the lowest marked byte is sure to be one: a
// borrow may also mark bytes above it.
inline constexpr std::uint64_t bytesBelow(std::uint64_t word, std::uint64_t limit) {
  return (word - kEveryByte(limit)) & ~word & kEveryByte(0x80);
}

// Marks the bytes of `word` equal to `byte`, in the same way.
inline constexpr std::uint64_t bytesEqual(std::uint64_t word, std::uint64_t byte) {
  return bytesBelow(word ^ kEveryByte(byte), 1);
}

// Marks the bytes of `word` above `low` and below `high` (at most 128),
// each exactly: no carry crosses from one byte to the next.
inline constexpr std::uint64_t bytesBetween(std::uint64_t word, std::uint64_t low,
                                            std::uint64_t high) {
  std::uint64_t low7 = word & kEveryByte(0x7f);
  return (kEveryByte(127 + high) - low7) & ~word & (low7 + kEveryByte(127 - low)) &
         kEveryByte(0x80);
}

// Marks the bytes of `word` that BibTeX or TeX may read otherwise than as
// plain text, and others: control and 8-bit codes; " # $ % &; \ ] ^ _ `;
// { | } ~ DEL.
inline constexpr std::uint64_t bytesNotPlain(std::uint64_t word) {
  return bytesBelow(word, 32) | (word & kEveryByte(0x80)) | bytesBetween(word, 33, 39) |
         bytesBetween(word, 91, 97) | bytesBetween(word, 122, 128);
}

// The bytes that BibTeX or TeX may read otherwise than as plain text: control
// codes but the tab, DEL, the 8-bit codes, and " # $ % & \\ ^ _ { }.
inline constexpr ByteSet kNotPlainText = [] {
  ByteSet set{};
  for (int c = 0; c < 256; ++c) set[c] = (c < 32 && c != '\t') || c >= 127;
  for (unsigned char c : {'"', '#', '$', '%', '&', '\\', '^', '_', '{', '}'}) set[c] = true;
  return set;
}();

#if KARTCONV_SCAN_SIXTEEN
// The sixteen-byte marks: one bit per byte of `v` (bit i for byte i), set
// exactly for the bytes asked for.
inline unsigned vectorMask(__m128i marked) {
  return static_cast<unsigned>(_mm_movemask_epi8(marked));
}
// Bytes from `low` to `low + span` (unsigned, no wrap past 255).
inline __m128i vectorBetween(__m128i v, char low, char span) {
  __m128i offset = _mm_sub_epi8(v, _mm_set1_epi8(low));
  return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(span)), offset);
}
inline __m128i vectorBelow(__m128i v, char limit) { return vectorBetween(v, 0, static_cast<char>(limit - 1)); }
inline __m128i vectorEqual(__m128i v, char byte) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(byte)); }
#endif

// The marks findFirstOf looks with: a struct with
//   static std::uint64_t word(std::uint64_t)  marking as bytesBelow does,
//   static unsigned vector(__m128i)            (with SSE2) a bit per byte,
// both marking every byte of the set; they may mark others.

// Line feed, carriage return and code 26: all below a blank.
struct ControlMarks {
  static std::uint64_t word(std::uint64_t w) { return bytesBelow(w, ' '); }
#if KARTCONV_SCAN_SIXTEEN
  static unsigned vector(__m128i v) { return vectorMask(vectorBelow(v, ' ')); }
#endif
};

// The bytes that are not plain text, and a few plain ones that share their
// ranges (! ] | ~), looked at once more against the set.
struct NotPlainMarks {
  static std::uint64_t word(std::uint64_t w) { return bytesNotPlain(w); }
#if KARTCONV_SCAN_SIXTEEN
  // Signed, codes 128 to 255 are below 0: below "'" but for the blank marks
  // control and 8-bit codes and ! " # $ % &; 92 to 95 are \ ] ^ _; above "z"
  // are { | } ~ DEL.
  static __m128i marks(__m128i v) {
    __m128i marked = _mm_andnot_si128(vectorEqual(v, ' '), _mm_cmplt_epi8(v, _mm_set1_epi8('\'')));
    marked = _mm_or_si128(marked, vectorEqual(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xFC))), '\\'));
    return _mm_or_si128(marked, _mm_cmpgt_epi8(v, _mm_set1_epi8('z')));
  }
  static unsigned vector(__m128i v) { return vectorMask(marks(v)); }
#endif
};

// NotPlainMarks and ";".
struct NotPlainOrSemicolonMarks {
  static std::uint64_t word(std::uint64_t w) { return bytesNotPlain(w) | bytesEqual(w, ';'); }
#if KARTCONV_SCAN_SIXTEEN
  static unsigned vector(__m128i v) {
    return vectorMask(_mm_or_si128(NotPlainMarks::marks(v), vectorEqual(v, ';')));
  }
#endif
};

// The first position in [p, end) whose byte is in `set`, or `end`. `Marks`
// must mark every byte that is in `set`.
template <typename Marks>
const char* findFirstOf(const char* p, const char* end, const ByteSet& set) {
#if KARTCONV_SCAN_SIXTEEN
  while (end - p >= 16) {
    unsigned marked = Marks::vector(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    for (; marked != 0; marked &= marked - 1) {
      const char* candidate = p + std::countr_zero(marked);
      if (set[static_cast<unsigned char>(*candidate)]) return candidate;
    }
    p += 16;
  }
#endif
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    std::uint64_t marked = Marks::word(word);
    if (marked == 0) {
      p += 8;
      continue;
    }
    if constexpr (std::endian::native == std::endian::little) {
      // The lowest marked byte is the first in memory, and it is exact.
      const char* first = p + std::countr_zero(marked) / 8;
      if (set[static_cast<unsigned char>(*first)]) return first;
      p = first + 1;
    } else {
      for (int i = 0; i < 8; ++i) {
        if (set[static_cast<unsigned char>(p[i])]) return p + i;
      }
      p += 8;
    }
  }
  while (p != end && !set[static_cast<unsigned char>(*p)]) ++p;
  return p;
}

// Calls `visit(at)` for every position in [p, end) whose byte is in `set`,
// in order. Sixteen bytes are marked at once and every byte of the block is
// visited from that one mark: lines of German text hold many accented
// letters close together.
template <typename Marks, typename Visit>
void forEachOf(const char* p, const char* end, const ByteSet& set, Visit visit) {
#if KARTCONV_SCAN_SIXTEEN
  if (end - p < 16) {
    // A short value (a year, a page range) is marked as one block made of
    // two overlapping loads: cheaper than eight bytes and then one byte at a
    // time, and than a copy, which the block's load would wait for.
    auto size = static_cast<unsigned>(end - p);
    unsigned marked = 0;
    if (size >= 8) {
      std::uint64_t low, high;
      std::memcpy(&low, p, 8);
      std::memcpy(&high, end - 8, 8);
      unsigned m = Marks::vector(_mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low)));
      marked = (m & 0xffu) | (m >> 8 << (size - 8));
    } else if (size >= 4) {
      std::uint32_t low, high;
      std::memcpy(&low, p, 4);
      std::memcpy(&high, end - 4, 4);
      unsigned m = Marks::vector(_mm_set_epi64x(0, static_cast<long long>(low | std::uint64_t{high} << 32)));
      marked = (m & 0xfu) | ((m >> 4 & 0xfu) << (size - 4));
    } else {
      for (unsigned i = 0; i < size; ++i) marked |= unsigned{set[static_cast<unsigned char>(p[i])]} << i;
    }
    for (; marked != 0; marked &= marked - 1) {
      const char* at = p + std::countr_zero(marked);
      if (set[static_cast<unsigned char>(*at)]) visit(at);
    }
    return;
  }
  {
    // The last block overlaps the one before it; its bytes already visited
    // are masked out.
    const char* last = end - 16;
    const char* visited = p;
    for (;;) {
      unsigned marked = Marks::vector(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
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
  for (const char* at = findFirstOf<Marks>(p, end, set); at != end;
       at = findFirstOf<Marks>(at + 1, end, set)) {
    visit(at);
  }
}
