// The export reader: reads one record at a time into the entry buffer and
// builds the tag map from the first record.
//
// A record is a block of lines closed by an empty line. Every line begins
// with a three-letter tag and two separator characters; the value starts at
// the sixth character. The first record's tags tell which line of every
// record holds which field; later records are read by position alone.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/text_file.h"

// Lines 0 to 255. Line 0 is always empty; lines 1 to 255 hold the current
// record. Line numbers fit the 8-bit tag map; lines of a record beyond its
// 255th are read past and dropped.
inline constexpr int kLastBufferLine = 255;
extern std::array<std::string, kLastBufferLine + 1> EntryBuffer;

// After readFirstEntry: the number of the first record's closing empty line,
// or 256 when the record ran past the buffer (the tag analysis then stops at
// line 255).
extern std::uint16_t LineCount;

enum Tag { TYP, KUR, AUT, TIT, UNT, QUE, ORT, JAH, SEI, ISB, BAN, HER, NOZ, KEY, LNR, kTagCount };
extern const std::array<const char*, kTagCount> TagNames;

// Line number of each tag in every record; 0 when the first record lacks it.
extern std::array<std::uint8_t, kTagCount> TagMap;

// The export being read.
extern TextInput InputFile;

// Empties the buffer and the tag map.
void resetReader();

// Reads the first record from the start of InputFile as whole lines, as
// they stand. Empty lines before it are skipped. False when the export holds
// no record at all.
bool readFirstEntry();

// Notes the line number of each known tag in the first record and cuts the
// record's lines down to their values, which it then translates.
void analyseStructure();

// Reads the next record's values (tag and separator dropped, then
// translated). Empty lines before it are skipped. False when only empty lines
// were left. Buffer lines after the record's closing empty line are emptied,
// so a field the record does not reach reads empty.
bool readNextEntry();

// The current record's KUR and LNR values as they stand in the export (tag
// and separator dropped, not translated): what its citation key is made of.
// Empty where the record does not reach the line.
extern std::string RawKeyValue;
extern std::string RawNumberValue;

// Reads the next record for a first pass over the export that collects
// citation keys: only RawKeyValue, and RawNumberValue where `needsNumber`
// says so of the KUR value, are set; the lines after those are passed over.
// The buffer is left as it was.
bool readNextEntryKeys(bool (*needsNumber)(std::string_view keyValue));

// True when `value` is the whole of a field's buffer line (the very string,
// not a copy) whose value held nothing but plain text besides translated
// characters, so that BibTeX can take it as it stands.
bool isPlainBufferLine(std::string_view value);

// The value of tag `tag` in the current record.
inline const std::string& fieldValue(Tag tag) { return EntryBuffer[TagMap[tag]]; }
