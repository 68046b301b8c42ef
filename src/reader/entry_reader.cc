#include "reader/reader.h"

#include <algorithm>
#include <cstdint>

#include "convert/translate.h"

std::array<std::string, kLastBufferLine + 1> EntryBuffer;
std::uint16_t LineCount = 0;
TextInput InputFile;
std::string RawKeyValue;
std::string RawNumberValue;

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

// Per buffer line: its value was stored by storeValue and held only plain
// text besides translated characters. Everything else that changes a line
// clears its mark.
std::array<bool, kLastBufferLine + 1> PlainLine{};

// Which line a plain value's bytes may belong to, by the address of its
// first byte: the writer asks of every value, and a look here costs less than
// one at every field's line. Only a hint: the line's own mark decides.
// Each address has two slots, so that two lines whose addresses share one
// slot (the lines keep their memory from record to record, so such a pair
// would meet in every record) do not send a value the slow way each time.
std::array<std::uint8_t, 64> LineByAddress{};
std::size_t firstSlot(const char* data) {
  return (reinterpret_cast<std::uintptr_t>(data) >> 4) % LineByAddress.size();
}
std::size_t secondSlot(const char* data) {
  return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(data) * 0x9E3779B97F4A7C15ull) >> 58);
}
static_assert(sizeof LineByAddress == 64, "secondSlot gives six bits");

// True when the slot's line is a plain one that the slot belongs to.
bool holdsPlainLine(std::size_t slot) {
  std::uint8_t line = LineByAddress[slot];
  if (line == 0 || !PlainLine[line]) return false;
  const char* data = EntryBuffer[line].data();
  return firstSlot(data) == slot || secondSlot(data) == slot;
}

bool isPlainLineAt(std::size_t slot, std::string_view value) {
  std::uint8_t line = LineByAddress[slot];
  return PlainLine[line] && EntryBuffer[line].data() == value.data() &&
         EntryBuffer[line].size() == value.size();
}

// The value of the line just read: it starts at the sixth character.
std::string_view workLineValue() { return WorkLine.size() > 5 ? WorkLine.substr(5) : std::string_view(); }

void storeValue(int line) {
  // The value is cut before it is translated.
  std::string& value = EntryBuffer[line];
  PlainLine[line] = translateInto(workLineValue(), value);
  if (!PlainLine[line]) return;
  std::size_t slot = firstSlot(value.data());
  if (LineByAddress[slot] != line && holdsPlainLine(slot)) slot = secondSlot(value.data());
  LineByAddress[slot] = static_cast<std::uint8_t>(line);
}

void clearLine(int line) {
  EntryBuffer[line].clear();
  PlainLine[line] = false;
}

void emptyLinesAfter(int closingLine) {
  for (int i = closingLine + 1; i <= HighestFilledLine; ++i) clearLine(i);
  HighestFilledLine = closingLine;
}

}  // namespace

bool isPlainBufferLine(std::string_view value) {
  return isPlainLineAt(firstSlot(value.data()), value) || isPlainLineAt(secondSlot(value.data()), value);
}

void resetReader() {
  for (std::string& line : EntryBuffer) line.clear();
  PlainLine.fill(false);
  TagMap.fill(0);
  LineCount = 0;
  HighestFilledLine = 0;
  RawKeyValue.clear();
  RawNumberValue.clear();
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
    if (LineCount <= kLastBufferLine) {
      EntryBuffer[LineCount].assign(WorkLine);
      PlainLine[LineCount] = false;
    }
    if (closing) break;
    WorkLine = readLineView(InputFile);
  }
  // Clamped: line 256 does not exist, and emptyLinesAfter notes what it gets.
  emptyLinesAfter(std::min<int>(LineCount, kLastBufferLine));
  return true;
}

bool readNextEntryKeys(bool (*needsNumber)(std::string_view keyValue)) {
  if (!skipEmptyLines()) return false;
  int keyLine = TagMap[KUR];
  int numberLine = TagMap[LNR];
  // A record too short to reach the line reads it empty.
  RawKeyValue.clear();
  RawNumberValue.clear();
  // The last line looked at: KUR's, and LNR's where KUR gives no key. Both
  // are at most 255.
  int last = keyLine;
  bool decided = false;
  for (int line = 1;; ++line) {
    if (line == keyLine) RawKeyValue.assign(workLineValue());
    if (line == numberLine) RawNumberValue.assign(workLineValue());
    if (WorkLine.empty()) return true;
    if (!decided && line >= keyLine) {
      decided = true;
      if (needsNumber(RawKeyValue)) last = std::max(last, numberLine);
    }
    if (decided && line >= last) break;
    WorkLine = readLineView(InputFile);
  }
  // The rest of the record matters only for where it ends.
  if (skipPastEmptyLine(InputFile)) return true;
  while (!WorkLine.empty()) WorkLine = readLineView(InputFile);
  return true;
}

bool readNextEntry() {
  if (!skipEmptyLines()) return false;
  RawKeyValue.clear();
  RawNumberValue.clear();
  int keyLine = TagMap[KUR];
  int numberLine = TagMap[LNR];
  int line = 1;
  for (;;) {
    if (line == keyLine) RawKeyValue.assign(workLineValue());
    if (line == numberLine) RawNumberValue.assign(workLineValue());
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
