// Makes realistic KART exports of any size for timing the converter: all
// fifteen tags in every record, German titles and names with umlauts in
// both code page 437 and ISO 8859-1, several authors separated by ";",
// every record type, about 300 bytes a record. The same count always gives
// the same bytes.
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

// Appends record number `index` (0-based) with its CR LF line ends and the
// closing empty line.
void appendRecord(std::string& out, std::uint32_t index, Keys keys = Keys::Repeating);
