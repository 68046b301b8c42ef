// Makes realistic KART exports of any size for timing the converter: all
// fifteen tags in every record, German titles and names with umlauts,
// several authors separated by ";", every record type, about 300 bytes a
// record. The same count always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>

// How the records' keys (KUR) are made. Both are a surname, the year's last
// two digits and letters:
// - Repeating: one letter from the record number, so keys are drawn from
//   some 50,000 names and years and most of them repeat an earlier one;
// - Unique: the record number written in letters (a to z, then aa, ab, ...),
//   so every record has a key of its own, as in most real databases. It
//   never ends in "-" and digits, which would look like a repeat's suffix.
// Every other byte of a record is the same in both.
enum class Keys { Repeating, Unique };

// How the letters ä ö ü Ä Ö Ü ß are written:
// - Mixed: the umlauts of each word in code page 437 or in ISO 8859-1,
//   chosen per word, and ß always in ISO 8859-1 (223), as KART's own table
//   reads both; the bytes the speed figures are measured on;
// - Utf8: every letter in UTF-8 (two bytes, no byte-order mark);
// - Cp437: every letter in its code page 437 byte (ß 225), so the export
//   holds bytes 128-159 and no ISO 8859-1 letter byte.
// The text is the same in all three: only its letters' bytes differ.
enum class Encoding { Mixed, Utf8, Cp437 };

// Appends record number `index` (0-based) with its CR LF line ends and the
// closing empty line.
void appendRecord(std::string& out, std::uint32_t index, Keys keys = Keys::Repeating,
                  Encoding encoding = Encoding::Mixed);
