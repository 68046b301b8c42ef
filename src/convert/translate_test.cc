#include "convert/translate.h"

#include <gtest/gtest.h>


#include "convert/translate_expected_test.h"

namespace {

std::string translated(const std::string& line, CodePage page = CodePage::kTable, bool names = true) {
  std::string out, scratch;
  translateInto(line, page, names, out, scratch);
  return out;
}

TEST(TranslateLine, ReplacesEachCodeWhereverItStands) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"Meier, Hans", "Meier, Hans"},
      {"Meier;Schulze", "Meier and Schulze"},  // in names
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

TEST(TranslateLine, SevenBitCodesPassUnchanged) {
  std::string untouched;
  for (int c = 1; c < 128; ++c) {
    if (c != ';') untouched += static_cast<char>(c);
  }
  untouched += '\0';
  for (CodePage page : {CodePage::kTable, CodePage::kCp437, CodePage::kLatin1, CodePage::kCp1252, CodePage::kUtf8}) {
    EXPECT_EQ(translated(untouched, page), untouched);
  }
  EXPECT_EQ(translated("Krieg; Frieden", CodePage::kTable, false), "Krieg; Frieden");
}

TEST(TranslateLine, EachCodePageReadsItsOwnCharacters) {
  const std::string mark(1, kNoTexForm);
  struct Case {
    CodePage page;
    std::string in, out;
  };
  const std::vector<Case> cases = {
      // Code page 437: the sharp s, signs, Greek as math, drawing as a blank.
      {CodePage::kCp437, "Stra\xE1" "e \xE6\xF8\xF1\xFD\xAB\xA6\xA7\xA9\xAD",
       "Stra\\ss{}e {\\textmu}{\\textdegree}{\\textpm}{\\texttwosuperior}{\\textonehalf}"
       "{\\textordfeminine}{\\textordmasculine}{\\textlnot}{\\textexclamdown}"},
      {CodePage::kCp437, "\xE0\xF9\xF6\xFC\xFF\xC4\xB3\xFE",
       "{\\ensuremath{\\alpha}}{\\ensuremath{\\cdot}}{\\textdiv}{\\textsuperscript{n}}~   "},
      // ISO 8859-1: its own signs at 160 to 165, control codes at 128 to 159.
      {CodePage::kLatin1, "\xA0\xA1\xA2\xA3\xA4\xA5\x81\x9F\xE1",
       "~{\\textexclamdown}{\\textcent}{\\pounds}{\\textcurrency}{\\textyen}{\\'a}"},
      // Windows-1252: quotes, dashes and letters; undefined bytes marked.
      {CodePage::kCp1252, "\x84" "a\x93\x96\x97\x80\x85\x8A\x9C\x81",
       "{\\quotedblbase}a``-----{\\texteuro}{\\dots}{\\v{S}}{\\oe}" + mark},
      // UTF-8: letters of Latin Extended-A, a combining accent after its
      // letter, signs, a control code dropped, what has no form marked.
      {CodePage::kUtf8, "\xC4\x8D\xC5\x91\xC5\x82\xC2\xA7u\xCC\x88\xE2\x80\x9E\xC2\x85",
       "{\\v{c}}{\\H{o}}{\\l}{\\S}{\\\"u}{\\quotedblbase}"},
      {CodePage::kUtf8, "\xD0\x9C\xCC\x88q\xCC\x88x\xCC\x88\xE2\x94\x82\xFC\xE2\x80",
       mark + mark + "q" + mark + mark + " " + mark + mark + mark},  // x and the accent: one letter
  };
  for (const Case& c : cases) EXPECT_EQ(translated(c.in, c.page), c.out) << c.in;
}

TEST(CodePage, DecidedFromTheBytesOfTheWholeExport) {
  struct Case {
    std::string bytes;
    bool byteOrderMark;
    CodePage page;
  };
  const std::vector<Case> cases = {
      {"M\xC3\xBCller", false, CodePage::kUtf8},
      {"Meier", true, CodePage::kUtf8},
      {"Meier", false, CodePage::kTable},  // nothing to tell
      {"M\x81ller \xE1", false, CodePage::kCp437},
      {"M\xFCller \xA3", false, CodePage::kLatin1},
      {"M\xFCller \x84zitat\x93 \x96", false, CodePage::kCp1252},
      {"M\xFCller \x81", false, CodePage::kTable},  // both kinds of letters
      {"\xE1\xE6\xF8", false, CodePage::kTable},   // no letter of either kind
      {"M\xC3\xBC\xC3", false, CodePage::kLatin1},  // a sequence cut short: not UTF-8
      {"\xED\xA0\x80", false, CodePage::kCp437},   // a surrogate is no UTF-8
      {"M\x81ller\x1A\xFC", false, CodePage::kCp437},  // nothing counts after code 26
  };
  for (const Case& c : cases) {
    TextInput in;
    openInputFromMemory(in, c.bytes);
    ByteCensus census;
    startCensus(in, census);
    endCensus(in);
    EXPECT_EQ(decideCodePage(census, c.byteOrderMark), c.page) << c.bytes;
  }
}

TEST(WebAddress, PercentEncodedByItsUtf8Bytes) {
  struct Case {
    CodePage page;
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {CodePage::kTable, " \thttp://x.org/a b\t ", "http://x.org/a%20b"},
      {CodePage::kTable, "x\"<>\\^`{|}%#[]~\x14\x01", "x%22%3C%3E%5C%5E%60%7B%7C%7D%#[]~%14%01"},
      {CodePage::kCp437, "\x81\xB3", "%C3%BC%E2%94%82"},
      {CodePage::kLatin1, "\xFC\x85", "%C3%BC%C2%85"},
      {CodePage::kCp1252, "\x80\x81", "%E2%82%AC%81"},
      {CodePage::kUtf8, "\xC3\xBC\xFC", "%C3%BC%FC"},
      {CodePage::kTable, " \t ", ""},
  };
  for (const Case& c : cases) {
    std::string out;
    webAddressInto(c.in, c.page, out);
    EXPECT_EQ(out, c.out) << c.in;
  }
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

// The line is scanned sixteen characters at a time: every code must be
// found at every place within a step, after other bytes the scan marks, and
// translating into another string must give the same.
TEST(TranslateLine, EveryCodeAtEveryPlaceOfAScanStep) {
  std::array<std::string, 256> expected;
  for (int c = 0; c < 256; ++c) expected[c] = std::string(1, static_cast<char>(c));
  for (const ExpectedTranslation& e : kExpectedTranslations) expected[e.code] = e.replacement;
  for (const std::string& before : {std::string(), std::string("{"), std::string("\\{")}) {
    for (int c = 0; c < 256; ++c) {
      // The signs above 127 have forms of their own, checked by the golden
      // cases.
      if (c >= 128 && expected[c].size() == 1) continue;
      for (std::size_t lead = 0; lead < 18; ++lead) {
        std::string in = std::string(lead, 'x') + before + static_cast<char>(c) + "yz";
        std::string out = std::string(lead, 'x') + before + expected[c] + "yz";
        EXPECT_EQ(translated(in), out) << c << " " << lead;
        std::string into = "stale";
        // Plain: nothing but a code with a form, or text that BibTeX and TeX
        // read as it stands.
        bool plainText = (c >= 32 || c == '\t') && c < 127 &&
                         std::string_view("\"#$%&\\^_{}").find(static_cast<char>(c)) == std::string_view::npos;
        bool plain = before.empty() && (plainText || expected[c].size() > 1);
        std::string scratch;
        EXPECT_EQ(translateInto(in, CodePage::kTable, true, into, scratch), plain) << c << " " << lead;
        EXPECT_EQ(into, out);
      }
    }
  }
}

}  // namespace
