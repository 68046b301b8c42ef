// Character translation of export lines: ";" becomes the BibTeX name
// separator " and ", and every accented letter of code page 437 (codes 128
// to 165) or ISO 8859-1 (codes 192 to 255) becomes a TeX accent command, so
// the BibTeX file is 7-bit text.
#pragma once

#include <array>
#include <string>
#include <string_view>

struct TranslationRow {
  unsigned char code;
  std::string_view replacement;  // 7-bit text without ";", never empty
  std::string_view plain;        // the letters the replacement stands for
};

// 92 rows; each code has one row. Codes without a row pass unchanged.
extern const std::array<TranslationRow, 92> TranslationTable;

// Rewrites `line` in place: every character that has a row becomes its
// replacement, in one left-to-right pass. The result is never cut, so a
// replacement is never split. Translating a translated line changes nothing.
void translateLine(std::string& line);

// The same translation of `text` written into `out`, replacing its content;
// `text` may be `out` itself. Lets the reader translate a value straight
// from the input into the entry buffer. The result is built in `scratch`,
// which a caller that translates many values keeps, so that translating
// allocates nothing. True when `text` held nothing but plain text (no
// control or 8-bit code, no " # $ % & \\ ^ _ { }) apart from characters with
// a row: every replacement is plain TeX with balanced braces, so such a
// value needs no further care to be safe in BibTeX.
bool translateInto(std::string_view text, std::string& out, std::string& scratch);

// "A" to "Z" for "a" to "z"; every other character unchanged. The export's
// tags and the command line's option are matched in any letter case.
std::string upperCase(std::string_view text);
