// Finding the first of a few special bytes in a stretch of text, eight bytes
// at a time: export lines are mostly plain letters, and looking at each byte
// alone was the larger part of reading and translating them.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

using ByteSet = std::array<bool, 256>;

inline constexpr std::uint64_t kEveryByte(std::uint64_t byte) {
  return byte * 0x0101010101010101ull;
}

// True when one of the eight bytes of `word` is below `limit` (at most 128).
inline constexpr bool anyByteBelow(std::uint64_t word, std::uint64_t limit) {
  return ((word - kEveryByte(limit)) & ~word & kEveryByte(0x80)) != 0;
}

// True when one of the eight bytes of `word` equals `byte`.
inline constexpr bool anyByteEquals(std::uint64_t word, std::uint64_t byte) {
  return anyByteBelow(word ^ kEveryByte(byte), 1);
}

// The first position in [p, end) whose byte is in `set`, or `end`.
// `mayHold` looks at eight bytes at once and must be true whenever one of
// them is in `set`; it may be true for others too.
template <typename WordTest>
const char* findFirstOf(const char* p, const char* end, const ByteSet& set, WordTest mayHold) {
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if (mayHold(word)) {
      for (int i = 0; i < 8; ++i) {
        if (set[static_cast<unsigned char>(p[i])]) return p + i;
      }
    }
    p += 8;
  }
  while (p != end && !set[static_cast<unsigned char>(*p)]) ++p;
  return p;
}
