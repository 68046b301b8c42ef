#include "bibtex/field_lines.h"

#include <gtest/gtest.h>

#include "bibtex/bibtex.h"
#include "reader/reader.h"

namespace {

class FieldLinesTest : public testing::Test {
 protected:
  void SetUp() override { attachOutputToMemory(out_, written_); }
  // Puts NOZ on line 1 and LNR on line 2 of the current record.
  void setNoteAndNumber(const std::string& note, const std::string& number) {
    record_.tagMap[NOZ] = 1;
    record_.tagMap[LNR] = 2;
    record_.buffer[1] = note;
    record_.buffer[2] = number;
  }
  std::string take() { return std::exchange(written_, std::string()); }
  std::string written_;
  TextOutput out_;
  ExportReader record_;
  EntryWriter w_{out_, record_, false, {}};
};

TEST_F(FieldLinesTest, OptionalFieldAndTheBareMark) {
  struct Case {
    std::string before, value, after, line;
  };
  const std::vector<Case> cases = {
      {"    journal     = \"", "", "\",", ""},
      {"    journal     = \"", "#", "\",", ""},
      {"    journal     = \"", "Die Zeit", "\",", "    journal     = \"Die Zeit\",\r\n"},
      {"    journal     = \"", "#jan", "\",", "    journal     =  jan,\r\n"},
      // Bare only before a number or a macro name; otherwise quoted, "#" escaped.
      {"    journal     = \"", "#12", "\",", "    journal     =  12,\r\n"},
      {"    journal     = \"", "#a_b.c:d+e/f-g1", "\",", "    journal     =  a_b.c:d+e/f-g1,\r\n"},
      {"    journal     = \"", "##x", "\",", "    journal     = \"\\#\\#x\",\r\n"},
      {"    journal     = \"", "#nomacro here", "\",", "    journal     = \"\\#nomacro here\",\r\n"},
      {"    journal     = \"", "#1a", "\",", "    journal     = \"\\#1a\",\r\n"},
      {"    journal     = \"", "a#b", "\",", "    journal     = \"a\\#b\",\r\n"},
      {"    journal     = \"", "Der \"Zauberberg\"", "\",",
       "    journal     = \"Der {\"}Zauberberg{\"}\",\r\n"},
      {"    crossref    = {", "Meyer_1990", "},", "    crossref    = {Meyer_1990},\r\n"},
      {"    note        =\"", "#feb", "\",", "    note        = feb,\r\n"},
      {"    crossref    = {", "#Key", "},", "    crossref    =  Key,\r\n"},
      {"    year        = ", "#1990", ",", "    year        = 1990,\r\n"},
      // Fixed text after the opening quote keeps its own quotes.
      {"    key         = \"aaa ", "#X", "\",", "    key         = \"aaa \" # X,\r\n"},
      {"    howpublished= \"\\url{", "#X", "}\",",
       "    howpublished= \"\\url{\" # X # \"}\",\r\n"},
      {"    key         = \"aaa ", "Titel", "\",", "    key         = \"aaa Titel\",\r\n"},
  };
  for (const Case& c : cases) {
    writeOptionalField(w_, c.before, c.value, c.after,
                       c.before.find('{') != std::string::npos ? ValueKind::kAsItStands : ValueKind::kText);
    EXPECT_EQ(take(), c.line) << c.before << c.value;
  }
}

TEST_F(FieldLinesTest, LongValuesAreWrittenWhole) {
  std::string value(2000, 'v');
  writeOptionalField(w_, "    journal     = \"", value, "\",");
  EXPECT_EQ(take(), "    journal     = \"" + value + "\",\r\n");
}

TEST_F(FieldLinesTest, YearAndEditionAreQuotedUnlessNumbers) {
  struct Case {
    std::string value;
    bool optional;
    std::string line;
  };
  const std::string before = "    year        = ";
  const std::vector<Case> cases = {
      {"1990", false, before + "1990,\r\n"},
      {"1990", true, before + "1990,\r\n"},
      {"", false, ""},
      {"", true, ""},
      {"o.J.", false, before + "\"o.J.\",\r\n"},
      {"1990/91", true, before + "\"1990/91\",\r\n"},
      {"#jan", true, before + "jan,\r\n"},
      {"#jan", false, before + "\"\\#jan\",\r\n"},
      {"#jan 1990", true, before + "\"\\#jan 1990\",\r\n"},
      {"#", true, ""},
      {"#", false, before + "\"\\#\",\r\n"},
      {" 1990", false, before + "\" 1990\",\r\n"},
  };
  for (const Case& c : cases) {
    writeNumberField(w_, before, c.value, c.optional);
    EXPECT_EQ(take(), c.line) << c.value << " optional=" << c.optional;
  }
}

TEST_F(FieldLinesTest, TheFourFormsOfTheNoteLine) {
  struct Case {
    bool flag;
    std::string note, number, line;
  };
  const std::vector<Case> cases = {
      {false, "", "12", ""},
      {false, "Leihgabe", "12", "    note        =\"Leihgabe\",\r\n"},
      {false, "#Leihgabe", "", "    note        = Leihgabe,\r\n"},
      {true, "", "", ""},
      {true, "", "12", "    note        = \"Database entry No: 12\",\r\n"},
      {true, "", "#X", "    note        = \"Database entry No: \" # X,\r\n"},
      {true, "", "#", ""},
      {true, "Leihgabe", "", "    note        = \"Leihgabe\",\r\n"},
      {true, "#Leihgabe", "", "    note        = \"\\#Leihgabe\",\r\n"},
      {true, "50 % & {mehr", "#7", "    note        = \"50 \\% \\& {\\textbraceleft}mehr \\\\ Database entry No: \\#7\",\r\n"},
      {true, "Leihgabe", "12",
       "    note        = \"Leihgabe \\\\ Database entry No: 12\",\r\n"},
  };
  for (const Case& c : cases) {
    w_.nr2note = c.flag;
    setNoteAndNumber(c.note, c.number);
    writeNoteLine(w_);
    EXPECT_EQ(take(), c.line) << c.flag << " " << c.note << " " << c.number;
  }
}

// Values the rules leave to judgement: each must still come out balanced and
// without a double quote outside braces.
TEST(SafeValue, EdgesOfTheRules) {
  struct Case {
    std::string value, written;
  };
  const std::vector<Case> cases = {
      {"M\\\"", "M{\\\"{}}"},                    // \" with nothing to accent
      {"a\\\"\\&b", "a{\\\"\\&}b"},             // \" before a control symbol
      {"a\\\"\\ss{}b", "a{\\\"\\ss}{}b"},        // \" before a control word
      {"{a{b}", "{\\textbraceleft}a{b}"},             // the outer brace is the lone one
      {"a}{b", "a{\\textbraceright}{\\textbraceleft}b"},
      {"$$ und \\\\&", "$$ und \\\\&"},             // empty math; \\ before & escapes it
      {"\x1a\x7f\t\x14", "\t{\\P}"},
      {"a\x80" "b^c", "a?b{\\textasciicircum}c"},   // a character without a TeX form
  };
  for (const Case& c : cases) {
    std::string safe;
    std::uint64_t marks = 0;
    bool changed = makeSafe(c.value, ValueKind::kText, safe, marks);
    EXPECT_EQ(changed ? safe : c.value, c.written) << c.value;
    EXPECT_EQ(changed, c.written != c.value) << c.value << ": said it changed nothing";
  }
}

}  // namespace
