// What BibTeX and TeX read as plain text. A value made only of plain text
// (and of what the character translation writes) can be written as it
// stands; every other byte asks the safe-value steps to look.
#pragma once

#include <array>

#include "io/byte_scan.h"

// The bytes that BibTeX or TeX may read otherwise than as plain text: control
// codes but the tab, DEL, the 8-bit codes, and " # $ % & \\ ^ _ { }.
inline constexpr ByteSet kNotPlainText = [] {
  ByteSet set{};
  for (int c = 0; c < 256; ++c) set[c] = (c < 32 && c != '\t') || c >= 127;
  for (unsigned char c : {'"', '#', '$', '%', '&', '\\', '^', '_', '{', '}'}) set[c] = true;
  return set;
}();

// The same and ";", which the character translation replaces.
inline constexpr ByteSet kNotPlainOrSemicolon = [] {
  ByteSet set = kNotPlainText;
  set[';'] = true;
  return set;
}();

// Ranges that hold those bytes, for looking at sixteen at once; they also
// hold the tab and ! ' ] | ~, which a look at the table sorts out.
inline constexpr std::array<ByteRange, 4> kNotPlainRanges = {{{0, 31}, {33, 38}, {92, 95}, {123, 255}}};
inline constexpr std::array<ByteRange, 5> kNotPlainOrSemicolonRanges = {
    {{0, 31}, {33, 38}, {59, 59}, {92, 95}, {123, 255}}};
static_assert(coversSet(kNotPlainRanges, kNotPlainText));
static_assert(coversSet(kNotPlainOrSemicolonRanges, kNotPlainOrSemicolon));
