#include "reader/reader.h"

#include <gtest/gtest.h>

namespace {

// Reads a whole export held in memory the way a run does and returns, per
// record, the values of the given tags.
class ReaderTest : public testing::Test {
 protected:
  void open(const std::string& bytes) {
    bytes_ = bytes;
    r_ = ExportReader{};
    openInputFromMemory(r_.input, bytes_);
  }
  bool first() {
    bool found = readFirstEntry(r_);
    analyseStructure(r_);
    return found;
  }
  bool next() { return readNextEntry(r_); }
  const std::string& fieldValue(Tag tag) const { return r_.value(tag); }
  std::string bytes_;
  ExportReader r_;
};

TEST_F(ReaderTest, LineEndsOfAllKindsGiveTheSameRecords) {
  const std::vector<std::string> exports = {
      "TYP: Art\nAUT: A\n\nTYP: Buc\nAUT: B\n",
      "TYP: Art\r\nAUT: A\r\n\r\nTYP: Buc\r\nAUT: B\r\n",
      "TYP: Art\r\nAUT: A\r\n\r\nTYP: Buc\r\nAUT: B\r\n\r\n\x1A garbage\r\n",
      "\r\n\r\nTYP: Art\nAUT: A\n\n\n\n\nTYP: Buc\nAUT: B\n\n\n",
  };
  for (const std::string& bytes : exports) {
    open(bytes);
    ASSERT_TRUE(first());
    EXPECT_EQ(fieldValue(TYP), "Art");
    EXPECT_EQ(fieldValue(AUT), "A");
    ASSERT_FALSE(atEnd(r_.input));
    ASSERT_TRUE(next());
    EXPECT_EQ(fieldValue(TYP), "Buc");
    EXPECT_EQ(fieldValue(AUT), "B");
    while (!atEnd(r_.input)) EXPECT_FALSE(next()) << "an empty record was counted";
  }
}

TEST_F(ReaderTest, LongLinesKeep255CharactersAndTheNextLineIsIntact) {
  std::string longValue(400, 'x');
  open("TYP: Art\r\nTIT: " + longValue + "\r\nAUT: A\r\n\r\nTYP: Art\r\nTIT: " + longValue +
       "\r\nAUT: B\r\n");
  first();
  EXPECT_EQ(fieldValue(TIT), std::string(250, 'x'));
  EXPECT_EQ(fieldValue(AUT), "A");
  next();
  EXPECT_EQ(fieldValue(TIT), std::string(250, 'x'));
  EXPECT_EQ(fieldValue(AUT), "B");
}

TEST_F(ReaderTest, CarriageReturnsAreTakenButNotKept) {
  // Without line feeds the carriage returns vanish and 255 characters are
  // taken; the rest of that stretch, up to the next carriage return, is dropped.
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes += "AUT: abcdefghij\r";
  open(bytes);
  first();
  std::string expected;
  for (int i = 0; i < 16; ++i) expected += "AUT: abcdefghij";
  EXPECT_EQ(r_.buffer[1], expected.substr(5));
  EXPECT_EQ(r_.tagMap[AUT], 7);  // 100 stretches give six full lines and a seventh
}

TEST_F(ReaderTest, FieldsTheRecordDoesNotReachReadEmpty) {
  open("TYP: Art\nAUT: A\nTIT: T\nJAH: 1990\n\nTYP: Buc\nAUT: B\n\nTYP: Dis\n");
  first();
  next();
  EXPECT_EQ(fieldValue(AUT), "B");
  EXPECT_EQ(fieldValue(TIT), "");
  EXPECT_EQ(fieldValue(JAH), "");
  next();
  EXPECT_EQ(fieldValue(TYP), "Dis");
  EXPECT_EQ(fieldValue(AUT), "");
}

TEST_F(ReaderTest, LaterRecordsAreReadByPosition) {
  open("TYP: Art\nAUT: A\nTIT: T\n\nTYP: Buc\nTIT: Zwei\nAUT: B\nXXX: extra\n\n");
  first();
  next();
  EXPECT_EQ(fieldValue(AUT), "Zwei");
  EXPECT_EQ(fieldValue(TIT), "B");
}

TEST_F(ReaderTest, TagMapFromFirstRecord) {
  open("typ: Art\nKur: K\nAUT: erster\nAUTOR Z\nAUT: letzter\nX\n;UT: y\n\n");
  first();
  EXPECT_EQ(r_.tagMap[TYP], 1);
  EXPECT_EQ(r_.tagMap[KUR], 2);
  EXPECT_EQ(r_.tagMap[AUT], 5);  // the last line with the tag wins
  EXPECT_EQ(r_.tagMap[ISB], 0);
  EXPECT_EQ(fieldValue(ISB), "");
  EXPECT_EQ(r_.buffer[4], " Z");
  EXPECT_EQ(r_.buffer[6], "");
  EXPECT_EQ(r_.lineCount, 8);
}

TEST_F(ReaderTest, FirstRecordIsCutBeforeItIsTranslatedLikeLaterRecords) {
  // Tag and separator are dropped before the translation in every record,
  // so characters to translate among them never shift the value.
  open("AUT: M\x81ller;Meier\nTI;: abc\nTIT\x81\x81Titel\n\n"
       "AUT: M\x81ller;Meier\nTI;: abc\nTIT\x81\x81Titel\n");
  first();
  EXPECT_EQ(fieldValue(AUT), "M{\\\"u}ller and Meier");
  EXPECT_EQ(r_.buffer[2], "abc");
  EXPECT_EQ(fieldValue(TIT), "Titel");
  next();
  EXPECT_EQ(fieldValue(AUT), "M{\\\"u}ller and Meier");
  EXPECT_EQ(r_.buffer[2], "abc");
  EXPECT_EQ(fieldValue(TIT), "Titel");
}

TEST_F(ReaderTest, RecordsBeyondTheBufferAreReadPastSafely) {
  std::string big;
  for (int i = 0; i < 1000; ++i) big += "NOZ: zeile " + std::to_string(i) + "\n";
  open("TYP: Art\nAUT: A\n" + big + "LNR: 1\n\nTYP: Buc\nAUT: B\n" + big + "\nTYP: Dis\nAUT: C\n");
  first();
  EXPECT_EQ(r_.tagMap[LNR], 0);  // stood beyond line 255
  EXPECT_EQ(r_.tagMap[NOZ], 255);
  EXPECT_EQ(fieldValue(NOZ), "zeile 252");
  ASSERT_TRUE(next());
  EXPECT_EQ(fieldValue(AUT), "B");
  ASSERT_TRUE(next());
  EXPECT_EQ(fieldValue(TYP), "Dis");
  EXPECT_EQ(fieldValue(NOZ), "");
  EXPECT_TRUE(atEnd(r_.input));
}

TEST_F(ReaderTest, BlankAndShortLinesAreFieldLines) {
  open("TYP: Art\nAUT: A\n   \nTIT: T\n\nTYP: Buc\nAU\n      \nTIT: U\n");
  first();
  EXPECT_EQ(fieldValue(TIT), "T");
  next();
  EXPECT_EQ(fieldValue(AUT), "");
  EXPECT_EQ(r_.buffer[3], " ");
  EXPECT_EQ(fieldValue(TIT), "U");
}

TEST_F(ReaderTest, ExportWithoutRecords) {
  for (std::string bytes : {"", "\n\n\r\n", "\x1A" "TYP: Art\n"}) {
    open(bytes);
    EXPECT_FALSE(first());
    for (auto line : r_.tagMap) EXPECT_EQ(line, 0);
    EXPECT_TRUE(atEnd(r_.input));
  }
}

}  // namespace
