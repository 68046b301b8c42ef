// The fuzzer's properties on fixed inputs: the byte-by-byte reading model
// against counts worked out by hand, and every property on the fuzzer's
// seeds (the sample export and the golden exports), so a broken property
// shows in every test run and not only when the fuzzer happens to run.
#include "conversion_properties.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "bibtex/bibtex.h"
#include "driver/driver.h"
#include "reader/reader.h"

namespace fs = std::filesystem;

namespace {

std::string repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

TEST(ConversionProperties, ModelCountsRecordsByTheReadingRules) {
  struct Case {
    const char* what;
    std::string bytes;
    std::size_t records;
    bool lnr;
  };
  const std::vector<Case> cases = {
      {"empty export", "", 0, false},
      {"only code 26", std::string(50, '\x1a'), 0, false},
      {"only line ends", "\r\n\n\r\r\n\n", 0, false},
      {"one record without closing line", "TYP: Art", 1, false},
      {"empty lines around and between", "\n\nA\nLNR: 1\n\n\n\nB\n\n\n", 2, true},
      {"LNR in a later record only", "A\n\nLNR: 1\n", 2, false},
      {"lnr in small letters", "lnr: 1\n", 1, true},
      {"code 26 ends a record", "A\nB\x1a\nC\n\nD\n", 1, false},
      {"line of blanks is a field line", "   \n\n \n", 2, false},
      {"lone CR lines are empty", "A\n\r\nB\n\r\r\r\nC", 3, false},
      // CRs count towards the 255 characters: the first 255 of 300 CRs make
      // an empty line that ends at the next CR; the other 44 and "X" make
      // the line "X".
      {"CRs fill the line limit", std::string(300, '\r') + "X\n", 1, false},
      {"CRs fill the line limit before a field", std::string(255, '\r') + "X\n", 0, false},
      // 254 characters and a CR fill the line; "B" up to the next CR is
      // skipped, so the empty line after it closes the record and "C" is a
      // second record.
      {"rest of a long line ends at CR", std::string(254, 'A') + "\rB\r\nLNR\r\n\r\nC\n", 2, true},
      {"LNR beyond line 255 of the first record",
       repeat("X\n", 255) + "LNR: 1\n", 1, false},
      {"LNR on line 255 of the first record", repeat("X\n", 254) + "LNR: 1\n", 1, true},
      {"translated tag does not match", "L;R\nLN\x81: 1\n", 1, false},
  };
  for (const Case& c : cases) {
    ExportModel model = modelExport(c.bytes);
    EXPECT_EQ(model.records.size(), c.records) << c.what;
    EXPECT_EQ(model.firstRecordHasLnr, c.lnr) << c.what;
    EXPECT_EQ(checkConversion(c.bytes), "") << c.what;
  }
}

TEST(ConversionProperties, HoldOnHostileBytes) {
  std::string allBytes;
  for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
  const std::vector<std::string> exports = {
      allBytes,
      std::string("TYP: Art\0\nKUR: \0\n\0\n\nAUT: \0", 26),
      "TYP: #\nKUR: #\nAUT: #\nTIT: #\nJAH: #\nQUE: #\nNOZ: #\nLNR: #\n",
      "TYP: URL\nQUE: #\nKEY: #\n\nTYP: Nor\nQUE: #x\nKEY: #y\n",
      repeat("TYP: Typ: ;;;\nKUR: \xe4\xe4\nJAH: 19;9\n\n", 20),
      repeat(";\x81\xff", 200) + "\n" + repeat("\x84", 600),
      // A lone carriage return past the 255th byte, after bytes that would
      // not count as characters of UTF-8; keys whose suffixes depend on
      // whether the export is read twice.
      "TYP: Art\nKUR: X\nTIT: " + repeat("\x8A", 300) + "\rY\n\nTYP: Art\nKUR: x\n\nTYP: Art\nKUR: X-2\n",
      // A key line that a reading by bytes cuts after 255 bytes, carriage
      // returns counted, where one by characters of UTF-8 keeps it whole.
      "TYP: A\nKUR: X\n\nTYP: A\nKUR: " + repeat("\x8A", 100) + "\r\r\r\r" + repeat("b", 200) + "\n",
      // A byte-order mark before the first record's running number.
      "\xEF\xBB\xBFLNR: 1\nKUR: \xC3\xBC\n",
      // Characters without a TeX form, a key given anew, Nr2Note: every
      // line of the summary.
      "TYP: x\nKUR: A\nTIT: \xD0\x9C\xD0\xB8\nLNR: 1\n\nTYP: x\nKUR: a\n",
  };
  for (const std::string& bytes : exports) EXPECT_EQ(checkConversion(bytes), "") << bytes;
}

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The fuzzer's seeds: the sample export and every golden case's export.
TEST(ConversionProperties, HoldOnSampleAndGoldenExports) {
  const fs::path source = KARTCONV_SOURCE_DIR;
  std::vector<fs::path> files = {source / "examples" / "literatur.txt"};
  for (const auto& e : fs::directory_iterator(source / "tests" / "golden")) {
    if (fs::exists(e.path() / "export.txt")) files.push_back(e.path() / "export.txt");
  }
  ASSERT_GE(files.size(), 10u) << "golden exports missing";
  for (const fs::path& file : files) {
    ASSERT_TRUE(fs::exists(file)) << file;
    EXPECT_EQ(checkConversion(readBytes(file)), "") << file;
  }
}

}  // namespace
