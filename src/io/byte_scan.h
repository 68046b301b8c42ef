// Finding the first of a few special bytes in a stretch of text, eight bytes
// at a time: export lines are mostly plain letters, and looking at each byte
// alone was the larger part of reading and translating them.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

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

// Marks the bytes of `word` of 128 and above.
inline constexpr std::uint64_t bytesHigh(std::uint64_t word) { return word & kEveryByte(0x80); }

// The first position in [p, end) whose byte is in `set`, or `end`.
// `mark(word)` looks at eight bytes at once, read in memory order, and must
// mark every byte that is in `set` as bytesBelow does; it may mark others.
template <typename Mark>
const char* findFirstOf(const char* p, const char* end, const ByteSet& set, Mark mark) {
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    std::uint64_t marked = mark(word);
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
