#include <array>
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

}  // namespace

// An accent command holds letters and stands for letters, so a key is empty
// exactly when every character is one that keys drop.
bool givesEmptyKey(std::string_view value) {
  for (char c : value) {
    if (!droppedFromKey(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string citationKey(std::string_view value) {
  // Most keys are typed as keys: nothing to drop and no accent command.
  bool plain = true;
  for (char c : value) plain = plain && !droppedFromKey(static_cast<unsigned char>(c));
  if (plain) return std::string(value);
  std::string key;
  std::size_t i = 0;
  while (i < value.size()) {
    std::string_view rest = value.substr(i);
    const TranslationRow* match = nullptr;
    if (rest.front() == '{' || rest.front() == '\\' || rest.front() == ' ') {
      for (const TranslationRow& row : TranslationTable) {
        // The third and fourth characters (accent and letter; every
        // replacement has at least five) tell most rows apart without a
        // comparison of the whole: this runs for every header line.
        std::string_view r = row.replacement;
        if (rest.size() < r.size() || rest[3] != r[3] || rest[2] != r[2]) continue;
        if (rest.starts_with(row.replacement)) {
          match = &row;
          break;
        }
      }
    }
    if (match != nullptr) {
      key += match->plain;
      i += match->replacement.size();
      continue;
    }
    if (!droppedFromKey(static_cast<unsigned char>(value[i]))) key += value[i];
    ++i;
  }
  return key;
}
