#include <gtest/gtest.h>

#include "bibtex/bibtex.h"
#include "convert/translate.h"
#include "convert/translate_expected_test.h"

namespace {

std::string lowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string keyOf(std::string exportValue) {
  translateLine(exportValue);
  return citationKey(exportValue);
}

TEST(CitationKey, AccentCommandsBecomePlainLettersAndUnsafeCharactersGo) {
  struct Case {
    std::string exportValue, key;
  };
  const std::vector<Case> cases = {
      {"Meier90", "Meier90"},
      {"M\x81ller 1990", "Muller1990"},
      {"M\xFCller 1990", "Muller1990"},
      {"Meier;Schulze", "MeierandSchulze"},
      {"Ren\x82" "91", "Rene91"},
      {"\x80" "a\xE5\xC6\xF8\xDF", "CaaaAEoss"},
      {"\x87\xE7\xA4\xD1\xC5", "ccnNAA"},
      {"a,b{c}d(e)f\"g#h%i'j=k\\l~m", "abcdefghijklm"},
      {"Tab\there\x7F" "x\x9B", "Tabherex"},
      {"a:b-c_d.e/f+g!h", "a:b-c_d.e/f+g!h"},
      {"", ""},
      {"#{}", ""},
      {"{\\\"u}ber", "uber"},  // typed accent command reads like the translated one
      {" ;", "and"},
      {"(\x9B\x01)", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keyOf(c.exportValue), c.key) << c.exportValue;
    EXPECT_EQ(givesEmptyKey(c.exportValue), c.key.empty()) << c.exportValue;
    // The first pass reads keys from the values as they stand, where no
    // typed accent command may begin.
    std::string lower;
    bool read = lowerKeyOfExportValue(c.exportValue, lower);
    EXPECT_EQ(read, c.exportValue.find_first_of("{\\ ") == std::string::npos) << c.exportValue;
    if (read) {
      EXPECT_EQ(lower, lowerCase(c.key)) << c.exportValue;
    }
  }
}

TEST(CitationKey, EveryTranslatedCodeGivesItsPlainLetters) {
  for (const ExpectedTranslation& e : kExpectedTranslations) {
    std::string value(1, static_cast<char>(e.code));
    EXPECT_EQ(keyOf(value), e.plain) << e.code;
    std::string lower;
    EXPECT_TRUE(lowerKeyOfExportValue(value, lower)) << e.code;
    EXPECT_EQ(lower, lowerCase(e.plain)) << e.code;
    EXPECT_FALSE(givesEmptyKey(value)) << e.code;
  }
}

}  // namespace
