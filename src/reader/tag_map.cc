#include "reader/reader.h"

#include <algorithm>

#include "convert/translate.h"

const std::array<const char*, kTagCount> TagNames = {
    "TYP", "KUR", "AUT", "TIT", "UNT", "QUE", "ORT", "JAH",
    "SEI", "ISB", "BAN", "HER", "NOZ", "KEY", "LNR",
};

void analyseStructure(ExportReader& r) {
  // lineCount is 256 when the first record ran past the buffer, which ends at 255.
  int last = std::min<int>(r.lineCount, kLastBufferLine);
  for (int i = 1; i <= last; ++i) {
    std::string key = upperCase(std::string_view(r.buffer[i]).substr(0, 3));
    // A tag that stands on several lines keeps the last of them.
    for (int t = 0; t < kTagCount; ++t) {
      if (key == TagNames[t]) r.tagMap[t] = static_cast<std::uint8_t>(i);
    }
  }
  r.rawKeyLine.assign(r.buffer[r.tagMap[KUR]]);
  r.rawNumberLine.assign(r.buffer[r.tagMap[LNR]]);
  r.rawKeyShared = r.tagMap[KUR] == 0 ? 0 : r.firstRecordShared[r.tagMap[KUR]];
  r.rawNumberShared = r.tagMap[LNR] == 0 ? 0 : r.firstRecordShared[r.tagMap[LNR]];
  r.rawSourceLine.assign(r.buffer[r.tagMap[QUE]]);
  for (int i = 1; i <= last; ++i) {
    std::string& line = r.buffer[i];
    // The value starts at the sixth character; it is cut before it is
    // translated, as in every later record.
    line.erase(0, r.rawValue(line).data() - line.data());
    bool names = i == r.tagMap[AUT] || i == r.tagMap[HER];
    r.plain[i] = translateInto(line, r.codePage, names, line, r.translation);
  }
}
