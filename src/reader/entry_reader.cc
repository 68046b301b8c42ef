#include <algorithm>
#include <cstdint>

#include "convert/translate.h"
#include "reader/reader.h"

namespace {

// Reads lines until a non-empty one. False when the input ends first.
bool skipEmptyLines(ExportReader& r) {
  while (!atEnd(r.input)) {
    r.workLine = readLineView(r.input);
    if (!r.workLine.empty()) return true;
  }
  return false;
}

void storeValue(ExportReader& r, int line) {
  // The value is cut before it is translated. ";" separates names in the
  // author and editor fields only.
  bool names = line == r.tagMap[AUT] || line == r.tagMap[HER];
  r.plain[line] = translateInto(r.rawValue(r.workLine), r.codePage, names, r.buffer[line], r.translation);
}

void clearLine(ExportReader& r, int line) {
  r.buffer[line].clear();
  r.plain[line] = false;
}

void emptyLinesAfter(ExportReader& r, int closingLine) {
  for (int i = closingLine + 1; i <= r.highestFilledLine; ++i) clearLine(r, i);
  r.highestFilledLine = closingLine;
}

// Notes the raw KUR, LNR and QUE lines among the line just read, at line
// `line`.
void noteRawLines(ExportReader& r, int line) {
  if (line == r.tagMap[KUR]) {
    r.rawKeyLine.assign(r.workLine);
    r.rawKeyShared = r.input.keptByBytes;
  }
  if (line == r.tagMap[LNR]) {
    r.rawNumberLine.assign(r.workLine);
    r.rawNumberShared = r.input.keptByBytes;
  }
  if (line == r.tagMap[QUE]) r.rawSourceLine.assign(r.workLine);
}

void clearRawLines(ExportReader& r) {
  r.rawKeyLine.clear();
  r.rawNumberLine.clear();
  r.rawSourceLine.clear();
  r.rawKeyShared = r.rawNumberShared = 0;
}

}  // namespace

bool readFirstEntry(ExportReader& r) {
  r.lineCount = 0;
  if (!skipEmptyLines(r)) return false;
  for (;;) {
    // Stops at 256, which tells that the record ran past the buffer.
    if (r.lineCount <= kLastBufferLine) ++r.lineCount;
    bool closing = r.workLine.empty();
    // Kept as it stands: the tag analysis reads the tag from it, then cuts
    // the value and translates it, as every later record's value is.
    // Lines past the buffer's last are read and dropped.
    if (r.lineCount <= kLastBufferLine) {
      r.buffer[r.lineCount].assign(r.workLine);
      r.plain[r.lineCount] = false;
      r.firstRecordShared[r.lineCount] = static_cast<std::uint8_t>(r.input.keptByBytes);
    }
    if (closing) break;
    r.workLine = readLineView(r.input);
  }
  // Clamped: line 256 does not exist, and emptyLinesAfter notes what it gets.
  emptyLinesAfter(r, std::min<int>(r.lineCount, kLastBufferLine));
  return true;
}

bool readNextEntryKeys(ExportReader& r, bool (*needsNumber)(std::string_view keyLine)) {
  if (!skipEmptyLines(r)) return false;
  int keyLine = r.tagMap[KUR];
  int numberLine = r.tagMap[LNR];
  // A record too short to reach the line reads it empty.
  clearRawLines(r);
  // The last line looked at: KUR's, and LNR's where KUR gives no key. Both
  // are at most 255.
  int last = keyLine;
  bool decided = false;
  for (int line = 1;; ++line) {
    noteRawLines(r, line);
    if (r.workLine.empty()) return true;
    if (!decided && line >= keyLine) {
      decided = true;
      if (needsNumber(r.rawKeyLine)) last = std::max(last, numberLine);
    }
    if (decided && line >= last) break;
    r.workLine = readLineView(r.input);
  }
  // The rest of the record matters only for where it ends.
  if (skipPastEmptyLine(r.input)) return true;
  while (!r.workLine.empty()) r.workLine = readLineView(r.input);
  return true;
}

bool readNextEntry(ExportReader& r) {
  if (!skipEmptyLines(r)) return false;
  clearRawLines(r);
  int line = 1;
  for (;;) {
    noteRawLines(r, line);
    // Lines past the buffer's last are read and dropped.
    if (line <= kLastBufferLine) storeValue(r, line);
    if (r.workLine.empty()) break;
    // Stops at 256, which tells that the record ran past the buffer.
    if (line <= kLastBufferLine) ++line;
    r.workLine = readLineView(r.input);
  }
  // Essential: noting line 256 as filled makes the next record clear past the buffer.
  if (line > kLastBufferLine) line = kLastBufferLine;
  emptyLinesAfter(r, line);
  return true;
}
