#include "convert/translate.h"

#include <gtest/gtest.h>

#include <set>

#include "convert/translate_expected_test.h"

namespace {

std::string translated(std::string line) {
  translateLine(line);
  return line;
}

TEST(TranslationTable, RowsAreSafeToApplyInOnePass) {
  std::set<unsigned char> codes;
  for (const TranslationRow& row : TranslationTable) {
    EXPECT_TRUE(codes.insert(row.code).second) << "code twice: " << int(row.code);
    EXPECT_FALSE(row.replacement.empty());
    for (char c : row.replacement) {
      EXPECT_TRUE(static_cast<unsigned char>(c) < 128 && c != ';') << int(row.code);
    }
  }
}

TEST(TranslateLine, ReplacesEachCodeWhereverItStands) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"Meier, Hans", "Meier, Hans"},
      {"Meier;Schulze", "Meier and Schulze"},
      {"a;;b", "a and  and b"},
      {"M\x81ller", "M{\\\"u}ller"},                 // code page 437
      {"M\xFCller", "M{\\\"u}ller"},                 // ISO 8859-1
      {"\x81\x81\x81", "{\\\"u}{\\\"u}{\\\"u}"},
      {"\x94 \xF6", "{\\\"o} {\\\"o}"},
      {"Ren\x82", "Ren{\\'e}"},                      // acute, not grave
      {"Ren\xE9", "Ren{\\'e}"},
      {"\x8A\xE8", "{\\`e}{\\`e}"},                  // the grave letters stay grave
      {"\xE1", "{\\'a}"},                            // not the sharp s
      {"Stra\xDF" "e", "Stra\\ss{}e"},
      {"\xA0", "{\\'a}"},
      {"\x80\xC7\x86\xE5\x92\xC6\xF8\xD8", "{\\c{C}}{\\c{C}}{\\aa}{\\aa}{\\AE}{\\AE}{\\o}{\\O}"},
      {"\xDD\xFD\xC1\xC9\xCD\xD3\xDA", "{\\'Y}{\\'y}{\\'A}{\\'E}{\\'I}{\\'O}{\\'U}"},
  };
  for (const Case& c : cases) EXPECT_EQ(translated(c.in), c.out) << c.in;
}

TEST(TranslateLine, CodesWithoutRowPassUnchanged) {
  std::string untouched;
  for (int c = 1; c < 128; ++c) {
    if (c != ';') untouched += static_cast<char>(c);
  }
  for (int c : {155, 156, 157, 158, 159, 166, 180, 191, 208, 215, 222, 240, 247, 254}) {
    untouched += static_cast<char>(c);
  }
  untouched += '\0';
  EXPECT_EQ(translated(untouched), untouched);
}

TEST(TranslateLine, EveryCodeGivesItsLetterAndTranslationIsIdempotent) {
  std::string all;
  std::string expected;
  for (const ExpectedTranslation& e : kExpectedTranslations) {
    all += static_cast<char>(e.code);
    expected += e.replacement;
  }
  std::string line = translated(all);
  EXPECT_EQ(line, expected);
  EXPECT_EQ(translated(line), line);
}

TEST(TranslateLine, LongLinesAreNeverCut) {
  // A replacement split at a length limit would leave an open brace or quote.
  EXPECT_EQ(translated(std::string(255, '\x81')).size(), 255u * 5);
  std::string line = std::string(252, 'a') + "\x81";
  EXPECT_EQ(translated(line), std::string(252, 'a') + "{\\\"u}");
}

// The line is scanned eight characters at a time: every code must be found
// at every place within a step, after other marked codes without a row, and
// translating into another string must give the same.
TEST(TranslateLine, EveryCodeAtEveryPlaceOfAScanStep) {
  std::array<std::string, 256> expected;
  for (int c = 0; c < 256; ++c) expected[c] = std::string(1, static_cast<char>(c));
  for (const ExpectedTranslation& e : kExpectedTranslations) expected[e.code] = e.replacement;
  for (const std::string& before : {std::string(), std::string("\x9B"), std::string("\xFE\x9B")}) {
    for (int c = 0; c < 256; ++c) {
      for (std::size_t lead = 0; lead < 18; ++lead) {
        std::string in = std::string(lead, 'x') + before + static_cast<char>(c) + "yz";
        std::string out = std::string(lead, 'x') + before + expected[c] + "yz";
        EXPECT_EQ(translated(in), out) << c << " " << lead;
        std::string into = "stale";
        // Plain: nothing but a code with a row, or text that BibTeX and TeX
        // read as it stands (codes 155 and 254 have no row).
        bool plainText = (c >= 32 || c == '\t') && c < 127 &&
                         std::string_view("\"#$%&\\^_{}").find(static_cast<char>(c)) == std::string_view::npos;
        bool plain = before.empty() && (plainText || expected[c].size() > 1);
        std::string scratch;
        EXPECT_EQ(translateInto(in, into, scratch), plain) << c << " " << lead;
        EXPECT_EQ(into, out);
      }
    }
  }
}

}  // namespace
