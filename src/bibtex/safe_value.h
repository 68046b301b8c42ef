// Values as BibTeX and LaTeX can take them. A value of the export may hold
// anything its user typed: a publisher "Vandenhoeck & Ruprecht", a title in
// "quotes", "50 % mehr", a lone brace, control codes and 8-bit bytes that the
// character translation has no row for. Written as it stands, such a value
// runs into the following fields and entries or stops the LaTeX run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "io/text_file.h"

// "a" to "z" and "A" to "Z": the letters of TeX's control words and of
// BibTeX's macro names.
inline bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

enum class ValueKind {
  kText,        // every quoted or braced value
  kAsItStands,  // a cleaned citation key (crossref) or a percent-encoded web
                // address, which hold nothing that needs care
};

// Writes `value` (already translated) so that it is a valid BibTeX value that
// LaTeX can typeset, in four steps:
//  1. Bytes: codes 20 and 21 become {\P} and {\S}; other control codes (tab
//     aside) go; the translation's mark of a character without a TeX form
//     becomes "?". Afterwards only printable 7-bit characters and tabs
//     remain.
//  2. Braces: an unmatched "{" becomes {\textbraceleft}, an unmatched "}"
//     {\textbraceright}, taking the place of a backslash right before it.
//  3. Double quotes outside braces: \" with what it accents goes into braces
//     (M\"uller gives M{\"u}ller); any other " becomes {"}.
//  4. Text only: & % # get a backslash, an unpaired last $ becomes \$, and
//     outside $...$ math _ becomes \_ and ^ becomes {\textasciicircum}, each
//     unless a backslash stands before it.
// A value that is already valid is written byte for byte as it stands.
//
// Most values are a field's value that the reader found plain as it
// translated it (`plain`); those are written at once, without another look.
struct Field {
  Field(std::string_view value, bool isPlain = false) : text(value), plain(isPlain) {}
  Field(const std::string& value) : text(value) {}
  bool empty() const { return text.empty(); }
  std::string_view text;
  bool plain = false;
};
// The four steps above on `value`: false when no step would change it (it
// is written as it stands); otherwise true, with the safe value in `out`.
// Adds the characters written as "?" to `withoutTexForm`.
bool makeSafe(std::string_view value, ValueKind kind, std::string& out, std::uint64_t& withoutTexForm);
