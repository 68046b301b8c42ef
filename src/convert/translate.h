// Character translation of export values. An export is read in one code
// page: UTF-8, code page 437 (what KART writes under DOS), ISO 8859-1,
// Windows-1252, or the mixed table that reads bytes 128 to 165 as code page
// 437 and 166 to 255 as ISO 8859-1, which is right for a file holding both.
// Every character above 127 becomes its TeX form, so the BibTeX file is
// 7-bit text; in the author and editor fields ";" becomes BibTeX's name
// separator " and ".
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "io/text_file.h"

enum class CodePage { kTable, kCp437, kLatin1, kCp1252, kUtf8 };

// The code page named `name` on the command line (cp437, latin1, cp1252,
// utf8 or table, in any letter case). False for any other name.
bool codePageNamed(std::string_view name, CodePage& page);
// How the console names a code page: "Codepage 437", "ISO 8859-1", ...
std::string_view codePageTitle(CodePage page);

// The code page of an export read whole, from its bytes up to code 26:
// UTF-8 where it began with the byte-order mark or holds well-formed UTF-8
// only; code page 437 where it holds letters that only that code page has
// and none of ISO 8859-1's; ISO 8859-1 for the other way round; Windows-1252
// for ISO 8859-1 letters with Windows' quotes and dashes; else the table.
CodePage decideCodePage(const ByteCensus& census, bool byteOrderMark);
// True once more bytes cannot change the decision: an export that holds
// bytes of both kinds and a code page 437 letter is read by the table.
bool codePageSettled(const ByteCensus& census);

// The Unicode character that byte `byte` (128 to 255) stands for in a code
// page of one byte per character; 0 where Windows-1252 leaves it undefined.
char32_t characterOfByte(CodePage page, unsigned char byte);

// What the translation writes for a character that has no TeX form. The
// BibTeX writer turns it into "?" and counts it; it is no byte of the export
// once translated, where every byte above 127 has become 7-bit text.
inline constexpr char kNoTexForm = '\x80';

// Translates `text` read in `page` into `out`, replacing its content; `text`
// may be `out` itself. Characters above 127 become their TeX form, control
// codes of UTF-8 and ISO 8859-1 (128 to 159) are dropped, and `names` turns
// each ";" into " and ". The result is built in `scratch`, which a caller
// that translates many values keeps, so that translating allocates nothing.
// True when `text` held nothing but plain text (no control code, no
// " # $ % & \\ ^ _ { }) apart from characters with a TeX form: every TeX
// form is plain TeX with balanced braces, so such a value needs no further
// care to be safe in BibTeX.
bool translateInto(std::string_view text, CodePage page, bool names, std::string& out,
                   std::string& scratch);

// `value` read in `page` as a citation key sees it, into `out`: each letter
// above 127 as its base letters, every other character above 127 left out,
// 7-bit characters as they are.
void keyLettersInto(std::string_view value, CodePage page, std::string& out);

// Where `rest` begins with the TeX form of a letter, as the translation
// writes it or as a user typed it ({\"u}, \ss{}): true, with the letters
// a key keeps of it and the form's length.
bool letterFormAt(std::string_view rest, std::string_view& letters, std::size_t& length);

// `value` read in `page` as a web address: blanks and tabs at either end
// dropped, and every character that an address cannot hold percent-encoded
// by its UTF-8 bytes (blanks, " < > \\ ^ ` { | }, control codes and every
// character above 127); "%", "#", "[" and "]" stay.
void webAddressInto(std::string_view value, CodePage page, std::string& out);

// Where the value of a line of the export starts: at its sixth character,
// counted in characters of UTF-8 for a UTF-8 export.
inline std::size_t valueStart(std::string_view line, CodePage page) {
  if (page != CodePage::kUtf8 || line.size() <= 5) return std::min<std::size_t>(line.size(), 5);
  // Mostly five 7-bit characters, and a character starting after them.
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(line[i]); };
  bool ascii = ((byte(0) | byte(1) | byte(2) | byte(3) | byte(4)) & 0x80) == 0;
  return ascii && startsCharacter(line[5]) ? 5 : utf8BytesOf(line, 5);
}
// A line as a reading in `page` keeps it: its first 255 characters.
inline std::string_view cutLine(std::string_view line, CodePage page) {
  if (line.size() <= kMaxLineLength) return line;
  return line.substr(0, page == CodePage::kUtf8 ? utf8BytesOf(line, kMaxLineLength) : kMaxLineLength);
}

// Appends the UTF-8 form of `code`.
void appendUtf8(std::string& out, char32_t code);

// "A" to "Z" for "a" to "z"; every other character unchanged. The export's
// tags and the command line's option are matched in any letter case.
std::string upperCase(std::string_view text);
