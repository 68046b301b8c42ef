#include <gtest/gtest.h>

#include "bibtex/bibtex.h"
#include "bibtex/entry_keys.h"
#include "convert/translate.h"
#include "convert/translate_expected_test.h"

namespace {

std::string keyOf(const std::string& exportValue, CodePage page = CodePage::kTable) {
  return keyOfValue(exportValue, page);
}

TEST(CitationKey, LettersGiveTheirBaseLettersAndOnlyWhatEveryReaderTakesStays) {
  struct Case {
    std::string exportValue, key;
    CodePage page = CodePage::kTable;
  };
  const std::vector<Case> cases = {
      {"Meier90", "Meier90"},
      {"M\x81ller 1990", "Muller1990"},
      {"M\xFCller 1990", "Muller1990"},
      {"Meier;Schulze", "MeierSchulze"},
      {"Ren\x82" "91", "Rene91"},
      {"\x80" "a\xE5\xC6\xF8\xDF", "CaaaAEoss"},
      {"\x87\xE7\xA4\xD1\xC5", "ccnNAA"},
      {"a,b{c}d(e)f\"g#h%i'j=k\\l~m", "abcdefghijklm"},
      {"Tab\there\x7F" "x\x9B", "Tabherex"},
      {"a:b-c_d.e/f+g!h", "a:b-c_d.e/f+gh"},
      {"c^2 1", "c21"},
      {"a|b<c>d@e$f&g!h*i;j?k[l]m", "abcdefghijklm"},
      {"", ""},
      {"#{}", ""},
      {"{\\\"u}ber", "uber"},  // typed accent command reads like the translated one
      {"{\\c{C}}a", "Ca"},
      {" ;", ""},
      {"(\x9B\x01)", ""},
      // Each code page's letters, and signs that leave no trace.
      {"Strau\xE1" "90", "Strauss90", CodePage::kCp437},
      {"Stra\xDF" "e\xB0\xE6", "Strasseae", CodePage::kLatin1},
      {"\xE6\xE0\xF8", "", CodePage::kCp437},
      {"\x8A\x9C\x96x", "Soex", CodePage::kCp1252},
      {"\xC4\x8D\xC5\x91\xC5\x82\xC5\x93\xC3\xBC", "coloeu", CodePage::kUtf8},
      {"\xC4\xA6" "al Far \xC5\xBF", "HalFars", CodePage::kUtf8},  // letters without a TeX form
      {"u\xCC\x88\xE2\x80\x93\xCE\xB1\xC3", "u", CodePage::kUtf8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keyOf(c.exportValue, c.page), c.key) << c.exportValue;
    // The first reading, before the code page is known, must not take a
    // key for certain that some code page leaves empty.
    if (c.key.empty()) {
      EXPECT_TRUE(mayGiveEmptyKey("KUR: " + c.exportValue)) << c.exportValue;
    }
  }
}

TEST(CitationKey, EveryTranslatedCodeGivesItsPlainLetters) {
  for (const ExpectedTranslation& e : kExpectedTranslations) {
    if (e.code == ';') continue;  // a name separator, no letters: gives nothing
    std::string value(1, static_cast<char>(e.code));
    EXPECT_EQ(keyOf(value), e.plain) << e.code;
  }
}

// Every key hashes alike: two keys are the same only by their text.
std::uint64_t oneHashForAll(std::string_view) { return 0x1234567800000042ull; }

struct KeyedRecord {
  std::string kur, lnr;
};

// The keys of the records' entries, read twice (as an export on disk is)
// or once (as a pipe is), and whether the second reading met another
// export than the first: `changed` replaces the records read the second time.
std::string keysOf(const std::vector<KeyedRecord>& records, bool readTwice,
                   TextSet::Hash hash = hashText, const std::vector<KeyedRecord>* changed = nullptr) {
  EntryKeys keys(hash);
  if (readTwice) {
    for (std::size_t i = 0; i < records.size(); ++i) {
      std::string kur = "KUR: " + records[i].kur, lnr = "LNR: " + records[i].lnr;
      keys.noteRecord({kur, lnr, kur.size(), lnr.size()}, i + 1);
    }
    keys.makeKeys(CodePage::kTable);
  }
  const std::vector<KeyedRecord>& second = changed != nullptr ? *changed : records;
  std::string found;
  for (std::size_t i = 0; i < second.size(); ++i) {
    std::string key;
    std::string kur = "KUR: " + second[i].kur, lnr = "LNR: " + second[i].lnr;
    if (keys.giveKey({kur, lnr, kur.size(), lnr.size()}, i + 1, key) != Rereading::kSame) {
      return found + "changed";
    }
    found += key + " ";
  }
  if (readTwice && second.size() != keys.recordsNoted()) found += "changed";
  return found;
}

TEST(EntryKeys, NeverTwiceWhetherReadOnceOrTwice) {
  struct Case {
    const char* promise;
    std::vector<KeyedRecord> records;
    std::string readTwice, readOnce;
  };
  const std::vector<Case> cases = {
      {"a repeat's suffix skips later records' keys only where they are known",
       {{"X", ""}, {"x", ""}, {"X-2", ""}}, "X x-3 X-2 ", "X x-2 X-2-2 "},
      {"an empty key takes KART and the running number, or the entry number",
       {{"", "17"}, {"#", ""}, {"KART17", ""}, {"kart2", ""}}, "KART17 KART2 KART17-2 kart2-2 ",
       "KART17 KART2 KART17-2 kart2-2 "},
      {"a running number read after the key still makes the key a later record asks for",
       {{"(", "7"}, {"Meier", ""}, {"KART7", ""}, {"meier", "1"}},
       "KART7 Meier KART7-2 meier-2 ", "KART7 Meier KART7-2 meier-2 "},
      {"a key given with a suffix is known as given when a later record asks for it",
       {{"Y", ""}, {"y", ""}, {"Y", ""}, {"Y-3", ""}, {"y-2", ""}, {"Y-02", ""}, {"Y", ""}},
       "Y y-4 Y-5 Y-3 y-2 Y-02 Y-6 ", "Y y-2 Y-3 Y-3-2 y-2-2 Y-02 Y-4 "},
      {"keys that differ only in accents or dropped characters are one key",
       {{"M\x81ller", ""}, {"M\xFCller", ""}, {"Mul{ler", ""}}, "Muller Muller-2 Muller-3 ",
       "Muller Muller-2 Muller-3 "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keysOf(c.records, true), c.readTwice) << c.promise;
    EXPECT_EQ(keysOf(c.records, false), c.readOnce) << c.promise;
    EXPECT_EQ(keysOf(c.records, true, oneHashForAll), c.readTwice) << c.promise << ", one hash for all";
    EXPECT_EQ(keysOf(c.records, false, oneHashForAll), c.readOnce) << c.promise << ", one hash for all";
  }
}

TEST(EntryKeys, AnExportChangedBetweenTheReadingsIsNoticed) {
  struct Case {
    const char* promise;
    std::vector<KeyedRecord> first, second;
  };
  const std::vector<Case> cases = {
      {"a key changed", {{"A", ""}, {"B", ""}}, {{"A", ""}, {"A", ""}}},
      {"a record added", {{"X", ""}, {"X", ""}}, {{"X", ""}, {"X", ""}, {"X-2", ""}}},
      {"a record taken away", {{"X", ""}, {"Y", ""}}, {{"X", ""}}},
      {"only the running number of an empty key changed", {{"", "1"}}, {{"", "2"}}},
      {"a key changed in letter case alone", {{"abc", ""}}, {{"ABC", ""}}},
  };
  for (const Case& c : cases) {
    std::string keys = keysOf(c.first, true, hashText, &c.second);
    EXPECT_EQ(keys.substr(keys.size() - 7), "changed") << c.promise << ": " << keys;
  }
}

}  // namespace
