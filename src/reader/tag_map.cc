#include "reader/reader.h"

#include <algorithm>

#include "convert/translate.h"

const std::array<const char*, kTagCount> TagNames = {
    "TYP", "KUR", "AUT", "TIT", "UNT", "QUE", "ORT", "JAH",
    "SEI", "ISB", "BAN", "HER", "NOZ", "KEY", "LNR",
};

std::array<std::uint8_t, kTagCount> TagMap{};

void analyseStructure() {
  // LineCount is 256 when the first record ran past the buffer, which ends at 255.
  int last = std::min<int>(LineCount, kLastBufferLine);
  for (int i = 1; i <= last; ++i) {
    std::string key = upperCase(std::string_view(EntryBuffer[i]).substr(0, 3));
    // A tag that stands on several lines keeps the last of them.
    for (int t = 0; t < kTagCount; ++t) {
      if (key == TagNames[t]) TagMap[t] = static_cast<std::uint8_t>(i);
    }
  }
  auto rawValue = [](int line) {
    std::string_view text = EntryBuffer[line];
    return text.size() > 5 ? text.substr(5) : std::string_view();
  };
  RawKeyValue.assign(rawValue(TagMap[KUR]));
  RawNumberValue.assign(rawValue(TagMap[LNR]));
  for (int i = 1; i <= last; ++i) {
    std::string& line = EntryBuffer[i];
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
