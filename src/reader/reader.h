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

#include "convert/translate.h"
#include "io/text_file.h"

// Lines 0 to 255. Line 0 is always empty; lines 1 to 255 hold the current
// record. Line numbers fit the 8-bit tag map; lines of a record beyond its
// 255th are read past and dropped.
inline constexpr int kLastBufferLine = 255;
using EntryBuffer = std::array<std::string, kLastBufferLine + 1>;

enum Tag { TYP, KUR, AUT, TIT, UNT, QUE, ORT, JAH, SEI, ISB, BAN, HER, NOZ, KEY, LNR, kTagCount };
extern const std::array<const char*, kTagCount> TagNames;

// Line number of each tag in every record; 0 when the first record lacks it.
using TagMap = std::array<std::uint8_t, kTagCount>;

// The export being read and what is known of its current record.
struct ExportReader {
  TextInput input;
  EntryBuffer buffer;
  TagMap tagMap{};
  // Per buffer line: its value held nothing but plain text besides
  // translated characters, so that BibTeX can take it as it stands.
  std::array<bool, kLastBufferLine + 1> plain{};
  // After readFirstEntry: the number of the first record's closing empty
  // line, or 256 when the record ran past the buffer (the tag analysis then
  // stops at line 255).
  std::uint16_t lineCount = 0;
  // How the export's bytes read (see translate.h).
  CodePage codePage = CodePage::kTable;
  // The current record's KUR, LNR and QUE lines as they stand in the export
  // (not translated): what its citation key and a crossref or web address
  // are made of. Empty where the record does not reach the line.
  std::string rawKeyLine;
  std::string rawNumberLine;
  std::string rawSourceLine;
  // How many of the KUR and LNR lines' first bytes every reading gives alike
  // (see TextInput::keptByBytes), and the same for each line of the first
  // record, whose tags are known only once it is read.
  std::size_t rawKeyShared = 0;
  std::size_t rawNumberShared = 0;
  std::array<std::uint8_t, kLastBufferLine + 1> firstRecordShared{};

  // The highest buffer line that may hold text from an earlier record.
  int highestFilledLine = 0;
  // The line just read; it lies in the input buffer and stays valid until
  // the next line is read, so reading copies each value only once.
  std::string_view workLine;
  std::string translation;  // where values are translated, kept for the next


  // The value of tag `tag` in the current record, and whether it is plain.
  const std::string& value(Tag tag) const { return buffer[tagMap[tag]]; }
  bool isPlain(Tag tag) const { return plain[tagMap[tag]]; }
  // The value of a raw line above, as it stands in the export.
  std::string_view rawValue(std::string_view line) const { return line.substr(valueStart(line, codePage)); }
};

// Reads the first record from the start of the input as whole lines, as
// they stand. Empty lines before it are skipped. False when the export holds
// no record at all.
bool readFirstEntry(ExportReader& reader);

// Notes the line number of each known tag in the first record and cuts the
// record's lines down to their values, which it then translates.
void analyseStructure(ExportReader& reader);

// Reads the next record's values (tag and separator dropped, then
// translated). Empty lines before it are skipped. False when only empty lines
// were left. Buffer lines after the record's closing empty line are emptied,
// so a field the record does not reach reads empty.
bool readNextEntry(ExportReader& reader);

// Reads the next record for a first pass over the export that collects
// citation keys: only rawKeyLine, and rawNumberLine where `needsNumber`
// says so of the KUR line, are set; the lines after those are passed over.
// The buffer is left as it was.
bool readNextEntryKeys(ExportReader& reader, bool (*needsNumber)(std::string_view keyLine));
