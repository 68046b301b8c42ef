#include "bibtex/field_lines.h"

#include <gtest/gtest.h>

#include "bibtex/bibtex.h"
#include "reader/reader.h"

namespace {

class FieldLinesTest : public testing::Test {
 protected:
  void SetUp() override {
    resetReader();
    Nr2NoteFlag = false;
    attachOutputToMemory(OutputFile, written_);
  }
  // Puts NOZ on line 1 and LNR on line 2 of the current record.
  void setNoteAndNumber(const std::string& note, const std::string& number) {
    TagMap[NOZ] = 1;
    TagMap[LNR] = 2;
    EntryBuffer[1] = note;
    EntryBuffer[2] = number;
  }
  std::string take() { return std::exchange(written_, std::string()); }
  std::string written_;
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
      {"    journal     = \"", "##x", "\",", "    journal     =  #x,\r\n"},
      {"    journal     = \"", "a#b", "\",", "    journal     = \"a#b\",\r\n"},
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
    writeOptionalField(OutputFile, c.before, c.value, c.after);
    EXPECT_EQ(take(), c.line) << c.before << c.value;
  }
}

TEST_F(FieldLinesTest, LongValuesAreWrittenWhole) {
  std::string value(2000, 'v');
  writeOptionalField(OutputFile, "    journal     = \"", value, "\",");
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
      {"#jan", false, before + "\"#jan\",\r\n"},
      {"#", true, ""},
      {" 1990", false, before + "\" 1990\",\r\n"},
  };
  for (const Case& c : cases) {
    writeNumberField(before, c.value, c.optional);
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
      {true, "#Leihgabe", "", "    note        = \"#Leihgabe\",\r\n"},
      {true, "Leihgabe", "12",
       "    note        = \"Leihgabe \\\\ Database entry No: 12\",\r\n"},
  };
  for (const Case& c : cases) {
    Nr2NoteFlag = c.flag;
    setNoteAndNumber(c.note, c.number);
    writeNoteLine();
    EXPECT_EQ(take(), c.line) << c.flag << " " << c.note << " " << c.number;
  }
}

}  // namespace
