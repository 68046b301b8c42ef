// UTF-8 as an export saved by a current editor holds it: the one place that
// says what a well-formed sequence is, for the code page decision, the line
// limit counted in characters and the translation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Where a reading of UTF-8 stands between bytes: how many continuation bytes
// the current sequence still needs, and the range the next one must lie in.
struct Utf8State {
  std::uint8_t needed = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};

// Takes one more byte. False where it breaks the form: a continuation byte
// out of place, a lead byte that starts no sequence, a 7-bit byte in a
// sequence; the state is then ready for a new sequence. The ranges of the
// second byte rule out overlong forms, surrogates and codes above U+10FFFF.
inline bool utf8Step(Utf8State& s, unsigned char b) {
  if (s.needed > 0) {
    bool fits = b >= s.low && b <= s.high;
    s = fits ? Utf8State{static_cast<std::uint8_t>(s.needed - 1)} : Utf8State{};
    return fits;
  }
  if (b < 0x80) return true;
  if (b >= 0xC2 && b <= 0xDF) {
    s.needed = 1;
  } else if (b >= 0xE0 && b <= 0xEF) {
    s = {2, static_cast<unsigned char>(b == 0xE0 ? 0xA0 : 0x80), static_cast<unsigned char>(b == 0xED ? 0x9F : 0xBF)};
  } else if (b >= 0xF0 && b <= 0xF4) {
    s = {3, static_cast<unsigned char>(b == 0xF0 ? 0x90 : 0x80), static_cast<unsigned char>(b == 0xF4 ? 0x8F : 0xBF)};
  } else {
    return false;
  }
  return true;
}

// The length of the well-formed sequence that starts at `text[i]` (1 for a
// 7-bit character), or 0 where none starts there.
inline std::size_t utf8SequenceAt(std::string_view text, std::size_t i) {
  Utf8State s;
  std::size_t k = i;
  do {
    if (k == text.size() || !utf8Step(s, static_cast<unsigned char>(text[k]))) return 0;
    ++k;
  } while (s.needed > 0);
  return k - i;
}

// The code of the well-formed sequence of `length` bytes at `text[i]`.
inline char32_t utf8CodeAt(std::string_view text, std::size_t i, std::size_t length) {
  auto byte = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(text[i + k])); };
  if (length == 1) return byte(0);
  char32_t code = byte(0) & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) code = code << 6 | (byte(k) & 0x3F);
  return code;
}

// Lines are limited and values start by characters: in UTF-8 a character
// starts at every byte that is no continuation byte (10xxxxxx), so that a
// line can be counted piece by piece as it is read.
inline bool startsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

// The number of characters that start in `text`.
inline std::size_t utf8Characters(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += startsCharacter(c) ? 1 : 0;
  return count;
}

// The number of bytes before the character after the first `characters`
// characters of `text` (all of it where it holds no more).
inline std::size_t utf8BytesOf(std::string_view text, std::size_t characters) {
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    if (!startsCharacter(text[i])) continue;
    if (characters == 0) break;
    --characters;
  }
  return i;
}
