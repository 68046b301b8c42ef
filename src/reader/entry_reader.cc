#include "reader/reader.h"

#include "convert/translate.h"

std::array<std::string, kLastBufferLine + 1> EntryBuffer;
std::uint16_t LineCount = 0;
TextInput InputFile;

namespace {

// The highest buffer line that may hold text from an earlier record.
int HighestFilledLine = 0;

// The line just read; it lies in the input buffer and stays valid until
// the next line is read, so reading copies each value only once, into the
// entry buffer.
std::string_view WorkLine;

// Reads lines until a non-empty one. False when the input ends first.
bool skipEmptyLines() {
  while (!atEnd(InputFile)) {
    WorkLine = readLineView(InputFile);
    if (!WorkLine.empty()) return true;
  }
  return false;
}

void storeValue(int line) {
  // The value starts at the sixth character; it is cut before it is
  // translated.
  translateInto(WorkLine.size() > 5 ? WorkLine.substr(5) : std::string_view(), EntryBuffer[line]);
}

void emptyLinesAfter(int closingLine) {
  for (int i = closingLine + 1; i <= HighestFilledLine; ++i) EntryBuffer[i].clear();
  HighestFilledLine = closingLine;
}

}  // namespace

void resetReader() {
  for (std::string& line : EntryBuffer) line.clear();
  TagMap.fill(0);
  LineCount = 0;
  HighestFilledLine = 0;
}

bool readFirstEntry() {
  LineCount = 0;
  if (!skipEmptyLines()) return false;
  for (;;) {
    // Stops at 256, which tells that the record ran past the buffer.
    if (LineCount <= kLastBufferLine) ++LineCount;
    bool closing = WorkLine.empty();
    // Kept as it stands: the tag analysis reads the tag from it, then cuts
    // the value and translates it, as every later record's value is.
    // Lines past the buffer's last are read and dropped.
    if (LineCount <= kLastBufferLine) EntryBuffer[LineCount].assign(WorkLine);
    if (closing) break;
    WorkLine = readLineView(InputFile);
  }
  // Clamped: line 256 does not exist, and emptyLinesAfter notes what it gets.
  emptyLinesAfter(std::min<int>(LineCount, kLastBufferLine));
  return true;
}

bool readNextEntryKeys() {
  if (!skipEmptyLines()) return false;
  int keyLine = TagMap[KUR];
  int numberLine = TagMap[LNR];
  // A record too short to reach the line reads it empty.
  EntryBuffer[keyLine].clear();
  EntryBuffer[numberLine].clear();
  int line = 1;
  for (;;) {
    if (line == keyLine || line == numberLine) storeValue(line);
    if (WorkLine.empty()) break;
    // Stops at 256, past every tag's line, however long the record.
    if (line <= kLastBufferLine) ++line;
    WorkLine = readLineView(InputFile);
  }
  return true;
}

bool readNextEntry() {
  if (!skipEmptyLines()) return false;
  int line = 1;
  for (;;) {
    // Lines past the buffer's last are read and dropped.
    if (line <= kLastBufferLine) storeValue(line);
    if (WorkLine.empty()) break;
    // Stops at 256, which tells that the record ran past the buffer.
    if (line <= kLastBufferLine) ++line;
    WorkLine = readLineView(InputFile);
  }
  // Essential: noting line 256 as filled makes the next record clear past the buffer.
  if (line > kLastBufferLine) line = kLastBufferLine;
  emptyLinesAfter(line);
  return true;
}
