#include "platform/command_line.h"

namespace platform {
namespace {

bool isSeparator(wchar_t c) { return c >= 1 && c <= 32; }

}  // namespace

std::vector<std::wstring> splitCommandLine(std::wstring_view line) {
  std::vector<std::wstring> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (isSeparator(line[i])) {
      ++i;
      continue;
    }
    std::wstring word;
    while (i < line.size() && !isSeparator(line[i])) {
      if (line[i] != L'"') {
        word += line[i++];
        continue;
      }
      std::size_t close = line.find(L'"', i + 1);
      if (close == std::wstring_view::npos) close = line.size();
      word.append(line.substr(i + 1, close - i - 1));
      i = close < line.size() ? close + 1 : close;
    }
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

}  // namespace platform
