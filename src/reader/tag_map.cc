#include "reader/reader.h"

#include <algorithm>

#include "convert/translate.h"

const std::array<const char*, kTagCount> TagNames = {
    "TYP", "KUR", "AUT", "TIT", "UNT", "QUE", "ORT", "JAH",
    "SEI", "ISB", "BAN", "HER", "NOZ", "KEY", "LNR",
};

std::array<std::uint8_t, kTagCount> TagMap{};

namespace {

// The first three characters of a line with "a" to "z" in capitals.
std::string tagKey(const std::string& line) {
  std::string key = line.substr(0, 3);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

}  // namespace

void analyseStructure() {
  int last = std::min<int>(LineCount, kLastBufferLine);
  for (int i = 1; i <= last; ++i) {
    std::string& line = EntryBuffer[i];
    std::string key = tagKey(line);
    // A tag that stands on several lines keeps the last of them.
    for (int t = 0; t < kTagCount; ++t) {
      if (key == TagNames[t]) TagMap[t] = static_cast<std::uint8_t>(i);
    }
    // The value starts at the sixth character; it is cut before it is
    // translated, as in every later record.
    if (line.size() > 5) {
      line.erase(0, 5);
      translateLine(line);
    } else {
      line.clear();
    }
  }
}
