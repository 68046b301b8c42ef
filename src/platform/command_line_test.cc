#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::wstring>;

struct SplitCase {
  const wchar_t* line;
  Words words;
};

TEST(SplitCommandLine, SeparatorsQuotesAndEmptyWords) {
  const SplitCase cases[] = {
      {L"", {}},
      {L"k a.txt b.bib", {L"k", L"a.txt", L"b.bib"}},
      {L"  k   a.txt  ", {L"k", L"a.txt"}},
      // Every control character from 1 to 31 separates words, like a blank.
      {L"k\ta.txt\x01" L"b.bib\x1f\r\nNr2Note", {L"k", L"a.txt", L"b.bib", L"Nr2Note"}},
      // Code 127 and letters above 127 are part of a word.
      {L"k a\x7f\x00e4\x20ac", {L"k", L"a\x7f\x00e4\x20ac"}},
      {L"\"C:\\Program Files\\kartconv.exe\" \"my export.txt\" out.bib",
       {L"C:\\Program Files\\kartconv.exe", L"my export.txt", L"out.bib"}},
      // Quotes inside a word group too and are removed.
      {L"k ex\"port file\".txt o\"\"ut", {L"k", L"export file.txt", L"out"}},
      // A quoted part that is never closed runs to the end of the line.
      {L"k \"a.txt b.bib", {L"k", L"a.txt b.bib"}},
      // Empty quotes standing alone are no word, wherever they stand.
      {L"k \"\" a.txt \"\"\"\" b.bib \"", {L"k", L"a.txt", L"b.bib"}},
      // A backslash does not escape a quote: the word ends at the quote.
      {L"k \"C:\\Daten\\\" b.bib", {L"k", L"C:\\Daten\\", L"b.bib"}},
      {L"k a\\\"b c\"", {L"k", L"a\\b c"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(platform::splitCommandLine(c.line), c.words) << testing::PrintToString(std::wstring(c.line));
  }
}

}  // namespace
