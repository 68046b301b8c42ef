#include "io/text_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <unistd.h>
#include <vector>

#include "bibtex/plain_text.h"
#include "io/byte_scan.h"

namespace {

// Every line of `in` read with readLine.
std::vector<std::string> linesByCopy(TextInput& in) {
  std::vector<std::string> lines;
  std::string line;
  while (!atEnd(in)) {
    readLine(in, line);
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> linesByView(TextInput& in) {
  std::vector<std::string> lines;
  while (!atEnd(in)) lines.emplace_back(readLineView(in));
  return lines;
}

// Lines of every length around the 255-character limit and the eight-byte
// steps of the scan, with every way a line can end.
std::string awkwardExport() {
  const std::vector<std::string> ends = {"\n", "\r\n", "\r", "\r\r\n", "\n\r"};
  std::string bytes;
  int n = 0;
  for (std::size_t length : {0, 1, 5, 7, 8, 9, 15, 16, 17, 250, 253, 254, 255, 256, 257, 300}) {
    for (const std::string& end : ends) {
      std::string line(length, 'a' + n % 26);
      if (length > 3) line[length / 2] = '\r';  // a carriage return inside
      if (n % 3 == 0 && length > 0) line[0] = '\t';
      bytes += line + end;
      bytes += std::string(length, 'b') + end;
      ++n;
    }
  }
  return bytes;
}

TEST(ReadLineView, GivesTheSameLinesAsReadLine) {
  const std::vector<std::string> exports = {
      "",
      "TYP: Art\r\nAUT: A\r\n\r\n",
      "no line end",
      "ends in CR\r",
      "x\x1A" "after the end\r\n",
      "\x1A",
      std::string(600, 'x') + "\r\nnext\r\n",
      awkwardExport(),
  };
  for (const std::string& bytes : exports) {
    TextInput byCopy, byView;
    openInputFromMemory(byCopy, bytes);
    openInputFromMemory(byView, bytes);
    EXPECT_EQ(linesByView(byView), linesByCopy(byCopy)) << bytes.substr(0, 40);
  }
}

// A file is read through a buffer of its own; lines that run across the end
// of one buffer load must come out whole.
// Lines are limited by characters: read in UTF-8, the same text gives the
// same lines as read a byte a character, however its lines end.
TEST(ReadLineView, LinesOfUtf8EndWhereThoseOfOneByteCharactersDo) {
  std::string bytes = awkwardExport();
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    if (bytes[i] >= 'a') bytes[i] = '\x81';
  }
  auto inUtf8 = [](const std::string& text) {
    std::string utf8;
    for (char c : text) utf8 += c == '\x81' ? std::string("\xC3\xBC") : std::string(1, c);
    return utf8;
  };
  std::string utf8 = inUtf8(bytes);
  TextInput byBytes;
  TextInput byCharacters;
  openInputFromMemory(byBytes, bytes);
  openInputFromMemory(byCharacters, utf8);
  byCharacters.countsCharacters = true;
  std::vector<std::string> expected = linesByView(byBytes);
  for (std::string& line : expected) line = inUtf8(line);
  EXPECT_EQ(linesByView(byCharacters), expected);
}

TEST(ReadLineView, LinesAcrossBufferLoadsOfAFile) {
  std::string bytes;
  while (bytes.size() < 1200 * 1024) bytes += awkwardExport();
  std::string path = (std::filesystem::temp_directory_path() /
                      ("kartconv_text_file_test_" + std::to_string(::getpid())))
                         .string();
  std::ofstream(path, std::ios::binary) << bytes;
  TextInput fromFile, fromMemory;
  openInput(fromFile, path);
  openInputFromMemory(fromMemory, bytes);
  EXPECT_EQ(linesByView(fromFile), linesByCopy(fromMemory));
  closeInput(fromFile);
  std::remove(path.c_str());
}

// Where the rest of a record lies whole in the buffer, skipping it ends where
// reading it line by line up to its closing empty line ends; where it
// cannot tell, it moves nothing. Random bytes from a few that matter: line
// ends of every kind, code 26, and long stretches without a line end.
TEST(SkipPastEmptyLine, EndsWhereReadingLineByLineEnds) {
  std::mt19937 random(26);
  const std::string pieces[] = {"a", "KUR: x", "\n", "\n", "\r\n", "\r", "\x1A", std::string(260, 'z')};
  int skipped = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    for (std::size_t n = random() % 40; n > 0; --n) bytes += pieces[random() % std::size(pieces)];
    TextInput fast, slow;
    openInputFromMemory(fast, bytes);
    openInputFromMemory(slow, bytes);
    if (!skipPastEmptyLine(fast)) {
      EXPECT_EQ(fast.pos, bytes.data());
      continue;
    }
    ++skipped;
    while (!atEnd(slow) && !readLineView(slow).empty()) {
    }
    ASSERT_EQ(fast.pos - bytes.data(), slow.pos - bytes.data()) << testing::PrintToString(bytes);
  }
  EXPECT_GT(skipped, 5000);
}

// Every byte of `set`, after any run of the bytes outside it, is found where
// it stands: whether the sixteen-byte or the byte-by-byte look reaches it.
template <const auto& Ranges>
void expectFindsEachByteOf(const ByteSet& set, const char* name) {
  std::string others;
  for (int c = 0; c < 256; ++c) {
    if (!set[c]) others += static_cast<char>(c);
  }
  for (int special = 0; special < 256; ++special) {
    if (!set[special]) continue;
    for (std::size_t before = 0; before < 40; ++before) {
      // Bytes outside the set, some of them marked, stand before it.
      std::string text = others.substr((before * 7) % others.size()) + others;
      text = text.substr(0, before) + static_cast<char>(special) + std::string(17, 'y');
      const char* found = findFirstOf<Ranges>(text.data(), text.data() + text.size(), set);
      EXPECT_EQ(static_cast<std::size_t>(found - text.data()), before) << name << " " << special;
      EXPECT_EQ(findFirstOf<Ranges>(text.data(), text.data() + before, set), text.data() + before)
          << name << " " << special;
    }
  }
}

ByteSet setOf(std::string_view bytes, int from = 256, int to = 256) {
  ByteSet set{};
  for (char c : bytes) set[static_cast<unsigned char>(c)] = true;
  for (int c = from; c < to; ++c) set[c] = true;
  return set;
}

TEST(FindFirstOf, FindsEveryByteOfTheSetAfterAnyOther) {
  expectFindsEachByteOf<kControlRanges>(setOf(std::string_view("\n\r\x1A\t\0", 5)), "control");
  expectFindsEachByteOf<kNotPlainOrSemicolonRanges>(kNotPlainOrSemicolon, "not plain or ;");
  expectFindsEachByteOf<kNotPlainRanges>(kNotPlainText, "not plain");
}

}  // namespace
