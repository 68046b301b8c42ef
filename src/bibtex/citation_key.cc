#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "bibtex/bibtex.h"
#include "convert/translate.h"

namespace {

// What every BibTeX reader takes in a key: ASCII letters, digits and
// - _ : . / +. Looked up for every character of every key.
constexpr std::array<bool, 256> kKeptInKey = [] {
  std::array<bool, 256> kept{};
  for (int c = 0; c < 256; ++c) {
    kept[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  }
  for (char c : std::string_view("-_:./+")) kept[static_cast<unsigned char>(c)] = true;
  return kept;
}();

bool keptInKey(char c) { return kKeptInKey[static_cast<unsigned char>(c)]; }

// A key is certainly not empty, in every code page, where the value holds a
// character that keys keep. Only bytes that lie in the value however the
// line is read count: from the sixth character of UTF-8 on (never before the
// sixth byte) up to the 255th byte.
bool holdsKeptCharacter(std::string_view line) {
  auto ascii = [](char c) { return static_cast<unsigned char>(c) < 128; };
  std::size_t start = line.size() > 5 && std::all_of(line.begin(), line.begin() + 5, ascii) ? 5 : utf8BytesOf(line, 5);
  std::size_t end = std::min<std::size_t>(line.size(), kMaxLineLength);
  return start < end && std::any_of(line.begin() + static_cast<std::ptrdiff_t>(start),
                                    line.begin() + static_cast<std::ptrdiff_t>(end), keptInKey);
}

}  // namespace

void keyOfValueInto(std::string_view value, CodePage page, std::string& key, std::string& letters) {
  keyLettersInto(value, page, letters);
  key.clear();
  // Most keys are typed as keys: nothing to drop and no accent command.
  if (std::all_of(letters.begin(), letters.end(), keptInKey)) {
    key.append(letters);
    return;
  }
  for (std::size_t i = 0; i < letters.size();) {
    char c = letters[i];
    std::string_view plain;
    std::size_t length = 0;
    // An accent command typed in the export stands for its letters.
    if ((c == '{' || c == '\\') && letterFormAt(std::string_view(letters).substr(i), plain, length)) {
      key += plain;
      i += length;
      continue;
    }
    if (keptInKey(c)) key += c;
    ++i;
  }
}

std::string keyOfValue(std::string_view value, CodePage page) {
  std::string key, letters;
  keyOfValueInto(value, page, key, letters);
  return key;
}

bool mayGiveEmptyKey(std::string_view line) { return !holdsKeptCharacter(line); }

bool isOwnKeyLine(std::string_view line) {
  if (line.size() <= 5 || line.size() > kMaxLineLength) return false;
  auto ascii = [](char c) { return static_cast<unsigned char>(c) < 128; };
  return std::all_of(line.begin(), line.begin() + 5, ascii) &&
         std::all_of(line.begin() + 5, line.end(), keptInKey);
}
