#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "bibtex/bibtex.h"
#include "convert/translate.h"

namespace {

// Looked up for every character of every key, so it is a table.
constexpr std::array<bool, 256> kDroppedFromKey = [] {
  std::array<bool, 256> dropped{};
  for (int c = 0; c < 256; ++c) dropped[c] = c <= 32 || c >= 127;
  for (char c : std::string_view(",{}()\"#%'=\\~")) dropped[static_cast<unsigned char>(c)] = true;
  return dropped;
}();

bool droppedFromKey(unsigned char c) { return kDroppedFromKey[c]; }

// The row whose replacement `rest` starts with, or nullptr. Every
// replacement has at least five characters; the accent and the letter (the
// third and fourth) tell most rows apart before the whole is compared.
const TranslationRow* replacementAt(std::string_view rest) {
  if (rest.size() < 5) return nullptr;
  for (const TranslationRow& row : TranslationTable) {
    std::string_view r = row.replacement;
    if (rest[2] == r[2] && rest[3] == r[3] && rest.starts_with(r)) return &row;
  }
  return nullptr;
}

// The codes that the character translation replaces.
const std::array<bool, 256> kHasRow = [] {
  std::array<bool, 256> has{};
  for (const TranslationRow& row : TranslationTable) has[row.code] = true;
  return has;
}();

}  // namespace

// A key is empty exactly when every character is one that keys drop and
// none has a row (an accent command holds letters and stands for letters;
// the " and " of a ";" too).
bool givesEmptyKey(std::string_view value) {
  for (char c : value) {
    auto code = static_cast<unsigned char>(c);
    if (kHasRow[code] || !droppedFromKey(code) || c == ';') return false;
  }
  return true;
}

bool isOwnKey(std::string_view value) {
  for (char c : value) {
    if (droppedFromKey(static_cast<unsigned char>(c)) || c == ';') return false;
  }
  return !value.empty();
}

std::string citationKey(std::string_view value) {
  // Most keys are typed as keys: nothing to drop and no accent command. The
  // characters before the first one to drop or replace stay as they are.
  std::size_t i = 0;
  while (i < value.size() && !droppedFromKey(static_cast<unsigned char>(value[i]))) ++i;
  if (i == value.size()) return std::string(value);
  // A key is never longer than its value: each replacement is longer than
  // the letters it stands for.
  std::string key(value.size(), '\0');
  char* o = std::copy(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(i), key.data());
  while (i < value.size()) {
    char c = value[i];
    const TranslationRow* match = c == '{' || c == '\\' || c == ' ' ? replacementAt(value.substr(i)) : nullptr;
    if (match != nullptr) {
      o = std::copy(match->plain.begin(), match->plain.end(), o);
      i += match->replacement.size();
      continue;
    }
    if (!droppedFromKey(static_cast<unsigned char>(c))) *o++ = c;
    ++i;
  }
  key.resize(static_cast<std::size_t>(o - key.data()));
  return key;
}
