#include "bibtex/safe_value.h"

#include <algorithm>
#include <array>
#include <vector>

#include "bibtex/plain_text.h"
#include "convert/translate.h"

namespace {

// What step 1 makes of each code: the code itself (`keep`), nothing, or text.
// Codes 20 and 21 are code page 437's pilcrow and section sign, which KART
// writes in every code page; every byte above 127 was translated before,
// but for the mark of a character without a TeX form, which becomes "?".
struct ByteAction {
  bool keep = true;
  std::string_view text;
};

constexpr std::array<ByteAction, 256> kByteActions = [] {
  std::array<ByteAction, 256> actions{};
  for (int c = 0; c < 32; ++c) actions[c].keep = c == '\t';
  actions[20].text = "{\\P}";
  actions[21].text = "{\\S}";
  for (int c = 127; c < 256; ++c) actions[c].keep = false;
  actions[static_cast<unsigned char>(kNoTexForm)].text = "?";
  return actions;
}();

// Every byte that the first step changes is one that is not plain text: a
// value the reader found plain needs no step.
static_assert([] {
  for (int c = 0; c < 256; ++c) {
    if (!kByteActions[c].keep && !kNotPlainText[c]) return false;
  }
  return true;
}(), "a byte that the first step changes counts as plain text");

void replaceBytes(std::string_view value, std::string& out, std::uint64_t& withoutTexForm) {
  out.clear();
  for (char c : value) {
    const ByteAction& action = kByteActions[static_cast<unsigned char>(c)];
    if (action.keep) {
      out += c;
    } else {
      out += action.text;
      withoutTexForm += c == kNoTexForm ? 1 : 0;
    }
  }
}

void replaceUnmatchedBraces(const std::string& value, std::string& out) {
  std::vector<bool> unmatched(value.size(), false);
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '{') {
      open.push_back(i);
    } else if (value[i] == '}') {
      if (open.empty()) {
        unmatched[i] = true;
      } else {
        open.pop_back();
      }
    }
  }
  for (std::size_t i : open) unmatched[i] = true;
  out.clear();
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (!unmatched[i]) {
      out += value[i];
      continue;
    }
    // "\{" was meant as a brace to print: the backslash goes with it.
    if (i > 0 && value[i - 1] == '\\') out.pop_back();
    out += value[i] == '{' ? "{\\textbraceleft}" : "{\\textbraceright}";
  }
}

// The end of what a hand-typed \" accents, starting at `i`: a brace group,
// a control word, or one character. Braces are balanced by now.
std::size_t endOfAccented(const std::string& value, std::size_t i) {
  if (i == value.size()) return i;
  if (value[i] == '{') {
    int depth = 0;
    for (std::size_t j = i; j < value.size(); ++j) {
      if (value[j] == '{') ++depth;
      if (value[j] == '}' && --depth == 0) return j + 1;
    }
    return value.size();
  }
  if (value[i] != '\\') return i + 1;
  std::size_t j = i + 1;
  while (j < value.size() && isAsciiLetter(value[j])) ++j;
  // A backslash before a non-letter is a control symbol (\&), unless that
  // is a brace, which must stay where its partner expects it.
  if (j == i + 1 && j < value.size() && value[j] != '{' && value[j] != '}') ++j;
  return j;
}

void braceQuotes(const std::string& value, std::string& out) {
  out.clear();
  int depth = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '{') ++depth;
    if (c == '}') --depth;
    if (depth > 0) {
      out += c;
    } else if (c == '\\' && i + 1 < value.size() && value[i + 1] == '"') {
      std::size_t end = endOfAccented(value, i + 2);
      out += "{\\\"";
      if (end == i + 2) {
        out += "{}";
      } else {
        out.append(value, i + 2, end - (i + 2));
      }
      out += '}';
      i = end - 1;
    } else if (c == '"') {
      out += "{\"}";
    } else {
      out += c;
    }
  }
}

void escapeSpecials(const std::string& value, std::string& out) {
  auto escaped = [&](std::size_t i) { return i > 0 && value[i - 1] == '\\'; };
  std::size_t dollars = 0;
  std::size_t lastDollar = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '$' && !escaped(i)) {
      ++dollars;
      lastDollar = i;
    }
  }
  out.clear();
  bool math = false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (escaped(i)) {
      out += c;
    } else if (c == '&' || c == '%' || c == '#') {
      out += '\\';
      out += c;
    } else if (c == '$') {
      if (dollars % 2 == 1 && i == lastDollar) {
        out += "\\$";
      } else {
        out += c;
        math = !math;
      }
    } else if (c == '_' && !math) {
      out += "\\_";
    } else if (c == '^' && !math) {
      out += "{\\textasciicircum}";
    } else {
      out += c;
    }
  }
}

}  // namespace

bool makeSafe(std::string_view value, ValueKind kind, std::string& out, std::uint64_t& withoutTexForm) {
  if (kind != ValueKind::kText) return false;
  std::string between;
  replaceBytes(value, out, withoutTexForm);
  replaceUnmatchedBraces(out, between);
  braceQuotes(between, out);
  escapeSpecials(out, between);
  out.swap(between);
  // A "$" pair or a "\&" typed with care looks like work but needs none.
  return out != value;
}
