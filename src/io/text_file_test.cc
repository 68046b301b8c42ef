#include "io/text_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

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

TEST(FindFirstOf, AgreesWithALookAtEachByte) {
  ByteSet set{};
  set['\n'] = set['\r'] = set[26] = set[';'] = set[0xE4] = true;
  auto mark = [](std::uint64_t word) {
    return bytesBelow(word, ' ') | bytesEqual(word, ';') | bytesHigh(word);
  };
  // Marked bytes that are not in the set stand before the one that is.
  const std::string decoys[] = {"", "\t", "\x9B", "\t\x01\x9B", std::string(9, '\x7F')};
  const std::string specials[] = {"\n", "\r", "\x1A", ";", "\xE4"};
  for (const std::string& decoy : decoys) {
    for (const std::string& special : specials) {
      for (std::size_t before = 0; before < 20; ++before) {
        for (std::size_t after = 0; after < 10; ++after) {
          std::string text = std::string(before, 'x') + decoy + special + std::string(after, 'y');
          const char* found = findFirstOf(text.data(), text.data() + text.size(), set, mark);
          EXPECT_EQ(static_cast<std::size_t>(found - text.data()), before + decoy.size())
              << before << " " << after;
          std::string plain = std::string(before, 'x') + decoy;
          EXPECT_EQ(findFirstOf(plain.data(), plain.data() + plain.size(), set, mark),
                    plain.data() + plain.size());
        }
      }
    }
  }
}

}  // namespace
