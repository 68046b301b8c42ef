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

// The value of the line just read: it starts at the sixth character.
std::string_view workLineValue(const ExportReader& r) {
  return r.workLine.size() > 5 ? r.workLine.substr(5) : std::string_view();
}

void storeValue(ExportReader& r, int line) {
  // The value is cut before it is translated.
  r.plain[line] = translateInto(workLineValue(r), r.buffer[line], r.translation);
}

void clearLine(ExportReader& r, int line) {
  r.buffer[line].clear();
  r.plain[line] = false;
}

void emptyLinesAfter(ExportReader& r, int closingLine) {
  for (int i = closingLine + 1; i <= r.highestFilledLine; ++i) clearLine(r, i);
  r.highestFilledLine = closingLine;
}

// Notes the raw KUR and LNR values of the line just read, at line `line`.
void noteRawValues(ExportReader& r, int line) {
  if (line == r.tagMap[KUR]) r.rawKeyValue.assign(workLineValue(r));
  if (line == r.tagMap[LNR]) r.rawNumberValue.assign(workLineValue(r));
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
    }
    if (closing) break;
    r.workLine = readLineView(r.input);
  }
  // Clamped: line 256 does not exist, and emptyLinesAfter notes what it gets.
  emptyLinesAfter(r, std::min<int>(r.lineCount, kLastBufferLine));
  return true;
}

bool readNextEntryKeys(ExportReader& r, bool (*needsNumber)(std::string_view keyValue)) {
  if (!skipEmptyLines(r)) return false;
  int keyLine = r.tagMap[KUR];
  int numberLine = r.tagMap[LNR];
  // A record too short to reach the line reads it empty.
  r.rawKeyValue.clear();
  r.rawNumberValue.clear();
  // The last line looked at: KUR's, and LNR's where KUR gives no key. Both
  // are at most 255.
  int last = keyLine;
  bool decided = false;
  for (int line = 1;; ++line) {
    noteRawValues(r, line);
    if (r.workLine.empty()) return true;
    if (!decided && line >= keyLine) {
      decided = true;
      if (needsNumber(r.rawKeyValue)) last = std::max(last, numberLine);
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
  r.rawKeyValue.clear();
  r.rawNumberValue.clear();
  int line = 1;
  for (;;) {
    noteRawValues(r, line);
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
