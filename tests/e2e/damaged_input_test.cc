// Damaged exports that a fuzzer does not reach quickly, run through the
// built program: huge lines and records, tens of thousands of records,
// binary bytes, wrong line ends. Each gives exit code 0, the console and the
// BibTeX file worked out here. Big exports are made at test time.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <unistd.h>

#include "conversion_properties.h"
#include "expected_console.h"
#include "driver/driver.h"
#include "run_program.h"

namespace fs = std::filesystem;

namespace {


std::string article(const std::string& key, const std::string& author, const std::string& title,
                    const std::string& yearLine = "") {
  return "@ARTICLE{" + key + ",\r\n    author      = \"" + author + "\",\r\n" +
         "    title       = \"" + title + "\",\r\n" + yearLine + "}\r\n\r\n";
}

std::string repeat(const std::string& text, long times) {
  std::string result;
  result.reserve(text.size() * static_cast<std::size_t>(times));
  for (long i = 0; i < times; ++i) result += text;
  return result;
}

class DamagedInputTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = freshTestFolder("damaged");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the program on `exportBytes`; checks exit code 0, nothing on
  // standard error, an unchanged export, and returns the BibTeX file.
  std::string convert(const std::string& exportBytes, std::string& consoleBytes) {
    std::string exportPath = (dir_ / "export.txt").string();
    std::string bibPath = (dir_ / "out.bib").string();
    writeFile(exportPath, exportBytes);
    ProgramResult r = runProgram({exportPath, bibPath});
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(readFile(exportPath) == exportBytes) << "the export was changed";
    consoleBytes = r.out;
    return readFile(bibPath);
  }

  void expectConversion(const std::string& exportBytes, const std::string& expectedBib,
                        std::size_t entries, std::size_t renamedKeys = 0) {
    std::string consoleBytes;
    std::string bib = convert(exportBytes, consoleBytes);
    EXPECT_EQ(consoleBytes, consoleOfRun(entries, "", renamedKeys));
    EXPECT_TRUE(bib == expectedBib) << "BibTeX file of " << bib.size() << " bytes differs from the "
                                    << expectedBib.size() << " expected:\n"
                                    << bib.substr(0, 2000);
  }

  fs::path dir_;
};

TEST_F(DamagedInputTest, TenMegabyteLineWithoutLineEndKeeps255Characters) {
  std::string bytes = "TYP: Art\r\nKUR: Lang\r\nAUT: A\r\nTIT: " + std::string(10 << 20, 'x');
  expectConversion(bytes, article("Lang", "A", std::string(250, 'x')), 1);
}

TEST_F(DamagedInputTest, ExportOfCode26BytesOnlyHasNoRecord) {
  expectConversion(std::string(4096, '\x1a'), "", 0);
}

TEST_F(DamagedInputTest, RecordOf100000LinesIsReadPastItsBuffer) {
  // Only the first 255 lines of a record are kept: the year on line 300 of
  // the first record is no field, and after each huge record the next one
  // is read from its own first line.
  auto filler = [](int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += "XXX: Zeile " + std::to_string(i) + "\r\n";
    return text;
  };
  std::string bytes = "TYP: Art\r\nKUR: Gross\r\nAUT: A\r\nTIT: T\r\n" + filler(295) +
                      "JAH: 1990\r\n" + filler(100000 - 300) + "\r\n" +
                      "TYP: Art\r\nKUR: Zwei\r\nAUT: B\r\nTIT: U\r\n" + filler(100000) + "\r\n" +
                      "TYP: Art\r\nKUR: Drei\r\nAUT: C\r\nTIT: V\r\n\r\n";
  expectConversion(bytes, article("Gross", "A", "T") + article("Zwei", "B", "U") +
                              article("Drei", "C", "V"),
                   3);
}

TEST_F(DamagedInputTest, SeventyThousandRecordsCountModulo65536) {
  // All with one key: the repeats get the suffixes -2 to -70000, and the
  // key "Nr-3" that a record asks for is never given to a repeat.
  std::string record = "TYP: Art\r\nKUR: Nr\r\nAUT: A\r\nTIT: T\r\nJAH: 1990\r\n\r\n";
  std::string taken = "TYP: Art\r\nKUR: nr-3\r\nAUT: A\r\nTIT: T\r\nJAH: 1990\r\n\r\n";
  auto entry = [](const std::string& key) {
    return article(key, "A", "T", "    year        = 1990,\r\n");
  };
  std::string expected = entry("Nr");
  for (int suffix = 2; suffix <= 70000; ++suffix) {
    expected += entry("Nr-" + std::to_string(suffix == 2 ? 2 : suffix + 1));
  }
  std::string consoleBytes;
  std::string bib = convert(repeat(record, 70000) + taken, consoleBytes);
  EXPECT_EQ(consoleBytes, consoleOfRun(70001, "", 69999));
  EXPECT_NE(consoleBytes.find("\r\n4465 Eintr\x84ge geschrieben\r\n"), std::string::npos);
  EXPECT_TRUE(bib == expected + entry("nr-3")) << bib.size() << " bytes";
}

TEST_F(DamagedInputTest, CarriageReturnsWithoutLineFeeds) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string bib;
  };
  const std::vector<Case> cases = {
      // No line feed: the whole export is one line with its CRs dropped,
      // so it is one record whose only field is the type.
      {"short export", "TYP: Art\rKUR: Meier90\rAUT: Meier, Hans\rTIT: Titel\r\rTYP: Buch\rKUR: X\r\r",
       article("KART1", "", "")},
      // CRs count towards the 255 characters: the first line is full at its
      // CR, the rest up to the next CR is dropped, then "TIT: Titel" is read.
      {"line full at a CR", "TYP: Art" + std::string(246, 'x') + "\rAUT: Meier\rTIT: Titel\r\r",
       article("KART1", "", "Titel")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    expectConversion(c.bytes, c.bib, 1, 1);
  }
}

TEST_F(DamagedInputTest, NulBytesInValuesAreDropped) {
  using namespace std::string_literals;
  std::string bytes =
      "TYP: Art\r\nKUR: Ke\0y\r\nAUT: Me\0ier\r\nTIT: T\0itel\r\n\r\n"
      "TYP: Art\r\nKUR: Zw\0ei\r\nAUT: \0\r\nTIT: \0\0\r\n"s;
  expectConversion(bytes, article("Key", "Meier", "Titel") + article("Zwei", "", ""), 2);
}

// Random bytes hold no expected file to write by hand; the independent
// reading model gives the console, the conversion's properties must hold, and
// the file run must match the in-memory run byte for byte, which shows that
// lines and line ends split across the file buffers are read correctly.
TEST_F(DamagedInputTest, RandomBinaryBytes) {
  std::mt19937 random(20240605);
  std::string noisy(4 << 20, '\0');
  for (char& c : noisy) c = static_cast<char>(random() & 0xff);
  std::string noCode26 = noisy;
  for (char& c : noCode26) {
    if (c == '\x1a') c = 'Z';
  }
  // Line feeds and empty lines often enough for many records of all sizes.
  std::string lineRich = noCode26;
  for (std::size_t i = 0; i < lineRich.size(); i += 1 + random() % 97) lineRich[i] = '\n';

  // Runs of letters of every length between all kinds of line ends, so that
  // line ends, CR LF pairs and the 255-character limit fall on the file
  // buffers' edges.
  const char* const lineEnds[] = {"\r", "\n", "\r\n", "\r\r\n", "\n\n", "\r\n\r\n"};
  std::string lineEndRich;
  while (lineEndRich.size() < (6u << 20)) {
    lineEndRich.append(random() % 600, random() % 2 ? 'A' : '\x81');
    lineEndRich += lineEnds[random() % 6];
  }

  for (const std::string* bytes : {&noisy, &noCode26, &lineRich, &lineEndRich}) {
    ExportModel model = modelExport(*bytes);
    std::string consoleBytes;
    std::string bib = convert(*bytes, consoleBytes);
    MemoryRun inMemory = convertInMemory(*bytes, false);
    // Runs of "\x81" alone are letters of code page 437 only.
    std::string codePage = bytes == &lineEndRich ? "Zeichensatz: Codepage 437\r\n" : "";
    EXPECT_TRUE(consoleBytes.starts_with(consoleOfRun(model.records.size(), "", 0, codePage)));
    EXPECT_EQ(consoleBytes, kBanner + inMemory.console);
    EXPECT_TRUE(bib == inMemory.bibtex) << "file run differs from memory run";
    EXPECT_EQ(checkConversion(*bytes), "");
  }
}

// Line ends, the 255-character limit and empty lines placed exactly on
// every multiple of 4096 bytes, where the file is split into reads whatever
// power-of-two buffer size the reader uses. The patterns change every 64
// blocks, so 256 KB and 1 MB boundaries also meet every one of them. The
// file run must match the in-memory run, which has no boundaries, and its
// two readings must count the same records.
TEST_F(DamagedInputTest, LineEndsSplitAcrossReadBuffers) {
  struct Split {
    std::string before, after;
  };
  const std::vector<Split> splits = {
      {"AUT: abc\r", "\nTIT: x\r\n"},                      // CR | LF
      {std::string(254, 'a') + "\r", "\nTIT: x\r\n"},       // CR is the 255th character
      {std::string(300, 'b') + "\r", "\nTIT: x\r\n"},       // CR in the skipped rest
      {std::string(255, 'c'), "rest\r\nTIT: x\r\n"},        // limit reached at the edge
      {"AUT: x\r\n\r", "\nTYP: Art\r\n"},                  // empty line split
      {"AUT: x\r\r", "\nTIT: x\r\n"},                       // CR CR | LF
      {"AUT: x\n", "\nTYP: Art\r\n"},                        // LF | LF
      // A record whose rest the key reading skips ends at the edge; the next
      // one asks for a key a suffix could take.
      {"AUT: x\r\n\r\n", "TYP: Art\r\nKUR: K-2\r\n"},
  };
  constexpr std::size_t kBlock = 4096;
  std::string bytes = "TYP: Art\r\nKUR: K\r\nAUT: A\r\nTIT: T\r\n\r\n";
  for (std::size_t block = 1; block <= 2048; ++block) {
    const Split& split = splits[(block / 64) % splits.size()];
    // Short lines up to the point where the split's first half must start.
    std::size_t fill = block * kBlock - split.before.size() - bytes.size();
    while (fill > 0) {
      std::size_t letters = std::min<std::size_t>(fill - 1, 99);
      bytes.append(letters, 'f');
      bytes += '\n';
      fill -= letters + 1;
    }
    bytes += split.before;
    ASSERT_EQ(bytes.size(), block * kBlock);
    bytes += split.after;
  }
  ExportModel model = modelExport(bytes);
  std::string consoleBytes;
  std::string bib = convert(bytes, consoleBytes);
  MemoryRun inMemory = convertInMemory(bytes, false);
  EXPECT_TRUE(consoleBytes.starts_with(consoleOfRun(model.records.size())));
  EXPECT_EQ(consoleBytes, kBanner + inMemory.console);
  EXPECT_TRUE(bib == inMemory.bibtex) << "file run differs from memory run";
}

}  // namespace
