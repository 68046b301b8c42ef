#include "reader/reader.h"

#include "convert/translate.h"

std::array<std::string, kLastBufferLine + 1> EntryBuffer;
std::uint16_t LineCount = 0;
TextInput InputFile;

namespace {

// The highest buffer line that may hold text from an earlier record.
int HighestFilledLine = 0;

// Reused for every line so that reading allocates nothing per record.
std::string WorkLine;

// Reads lines until a non-empty one. False when the input ends first.
bool skipEmptyLines() {
  while (!atEnd(InputFile)) {
    readLine(InputFile, WorkLine);
    if (!WorkLine.empty()) return true;
  }
  return false;
}

void storeValue(int line) {
  std::string& stored = EntryBuffer[line];
  if (WorkLine.size() > 5) {
    stored.assign(WorkLine, 5);
  } else {
    stored.clear();
  }
  translateLine(stored);
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
    if (LineCount <= kLastBufferLine) ++LineCount;
    bool closing = WorkLine.empty();
    if (LineCount <= kLastBufferLine) {
      EntryBuffer[LineCount] = WorkLine;
      translateLine(EntryBuffer[LineCount]);
    }
    if (closing) break;
    readLine(InputFile, WorkLine);
  }
  emptyLinesAfter(std::min<int>(LineCount, kLastBufferLine));
  return true;
}

bool readNextEntry() {
  if (!skipEmptyLines()) return false;
  int line = 1;
  for (;;) {
    if (line <= kLastBufferLine) storeValue(line);
    if (WorkLine.empty()) break;
    if (line <= kLastBufferLine) ++line;
    readLine(InputFile, WorkLine);
  }
  if (line > kLastBufferLine) line = kLastBufferLine;
  emptyLinesAfter(line);
  return true;
}
