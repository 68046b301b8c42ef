// Makes realistic KART exports of any size for timing the converter: all
// fifteen tags in every record, German titles and names with umlauts in
// both code page 437 and ISO 8859-1, several authors separated by ";",
// every record type, about 300 bytes a record. The same count always gives
// the same bytes.
#pragma once

#include <cstdint>
#include <string>

// Appends record number `index` (0-based) with its CR LF line ends and the
// closing empty line.
void appendRecord(std::string& out, std::uint32_t index);
