#include "convert/translate.h"

#include <algorithm>
#include <cstring>

#include "bibtex/plain_text.h"

namespace {

// The code page 437 rows come first (128 to 165), then ISO 8859-1 (192 to
// 255). A letter present in both sets has the same replacement in both.
constexpr std::array<TranslationRow, 92> kRows = {{
    {59, " and ", "and"},
    {128, "{\\c{C}}", "C"},
    {129, "{\\\"u}", "u"},
    {130, "{\\'e}", "e"},
    {131, "{\\^a}", "a"},
    {132, "{\\\"a}", "a"},
    {133, "{\\`a}", "a"},
    {134, "{\\aa}", "aa"},
    {135, "{\\c{c}}", "c"},
    {136, "{\\^e}", "e"},
    {137, "{\\\"e}", "e"},
    {138, "{\\`e}", "e"},
    {139, "{\\\"i}", "i"},
    {140, "{\\^i}", "i"},
    {141, "{\\`i}", "i"},
    {142, "{\\\"A}", "A"},
    {143, "{\\AA}", "AA"},
    {144, "{\\'E}", "E"},
    {145, "{\\ae}", "ae"},
    {146, "{\\AE}", "AE"},
    {147, "{\\^o}", "o"},
    {148, "{\\\"o}", "o"},
    {149, "{\\`o}", "o"},
    {150, "{\\^u}", "u"},
    {151, "{\\`u}", "u"},
    {152, "{\\\"y}", "y"},
    {153, "{\\\"O}", "O"},
    {154, "{\\\"U}", "U"},
    {160, "{\\'a}", "a"},
    {161, "{\\'i}", "i"},
    {162, "{\\'o}", "o"},
    {163, "{\\'u}", "u"},
    {164, "{\\~n}", "n"},
    {165, "{\\~N}", "N"},
    {192, "{\\`A}", "A"},
    {193, "{\\'A}", "A"},
    {194, "{\\^A}", "A"},
    {195, "{\\~A}", "A"},
    {196, "{\\\"A}", "A"},
    {197, "{\\AA}", "AA"},
    {198, "{\\AE}", "AE"},
    {199, "{\\c{C}}", "C"},
    {200, "{\\`E}", "E"},
    {201, "{\\'E}", "E"},
    {202, "{\\^E}", "E"},
    {203, "{\\\"E}", "E"},
    {204, "{\\`I}", "I"},
    {205, "{\\'I}", "I"},
    {206, "{\\^I}", "I"},
    {207, "{\\\"I}", "I"},
    {209, "{\\~N}", "N"},
    {210, "{\\`O}", "O"},
    {211, "{\\'O}", "O"},
    {212, "{\\^O}", "O"},
    {213, "{\\~O}", "O"},
    {214, "{\\\"O}", "O"},
    {216, "{\\O}", "O"},
    {217, "{\\`U}", "U"},
    {218, "{\\'U}", "U"},
    {219, "{\\^U}", "U"},
    {220, "{\\\"U}", "U"},
    {221, "{\\'Y}", "Y"},
    {223, "\\ss{}", "ss"},
    {224, "{\\`a}", "a"},
    {225, "{\\'a}", "a"},
    {226, "{\\^a}", "a"},
    {227, "{\\~a}", "a"},
    {228, "{\\\"a}", "a"},
    {229, "{\\aa}", "aa"},
    {230, "{\\ae}", "ae"},
    {231, "{\\c{c}}", "c"},
    {232, "{\\`e}", "e"},
    {233, "{\\'e}", "e"},
    {234, "{\\^e}", "e"},
    {235, "{\\\"e}", "e"},
    {236, "{\\`i}", "i"},
    {237, "{\\'i}", "i"},
    {238, "{\\^i}", "i"},
    {239, "{\\\"i}", "i"},
    {241, "{\\~n}", "n"},
    {242, "{\\`o}", "o"},
    {243, "{\\'o}", "o"},
    {244, "{\\^o}", "o"},
    {245, "{\\~o}", "o"},
    {246, "{\\\"o}", "o"},
    {248, "{\\o}", "o"},
    {249, "{\\`u}", "u"},
    {250, "{\\'u}", "u"},
    {251, "{\\^u}", "u"},
    {252, "{\\\"u}", "u"},
    {253, "{\\'y}", "y"},
    {255, "{\\\"y}", "y"},
}};

constexpr std::size_t kLongestReplacement = [] {
  std::size_t longest = 0;
  for (const TranslationRow& row : kRows) longest = std::max(longest, row.replacement.size());
  return longest;
}();

// The reader takes a translated value that held only plain text besides
// translated characters as safe for BibTeX: so every replacement must be,
// with balanced braces, any `"` within braces, and # $ % & ^ _ only after a
// backslash (as in the accent command {\^a}).
static_assert(std::all_of(kRows.begin(), kRows.end(),
                          [](const TranslationRow& row) {
                            int depth = 0;
                            char before = 0;
                            for (char c : row.replacement) {
                              if (c == '{') ++depth;
                              if (c == '}' && --depth < 0) return false;
                              if (c == '"' && depth == 0) return false;
                              bool special = std::string_view("#$%&^_").find(c) != std::string_view::npos;
                              if (special && before != '\\') return false;
                              before = c;
                            }
                            return depth == 0;
                          }),
              "a replacement is not safe in BibTeX as it stands");

// The replacement of each code, padded to a whole number of eight-byte words
// so that it is copied with one fixed-size move; `size` is 0 for a code that
// passes unchanged.
struct PaddedReplacement {
  char text[(kLongestReplacement + 7) / 8 * 8];
  unsigned char size;
};
static_assert(std::all_of(kRows.begin(), kRows.end(),
                          [](const TranslationRow& row) {
                            return row.replacement.size() <= sizeof(PaddedReplacement::text);
                          }),
              "a replacement is longer than its padded copy");

constexpr std::array<PaddedReplacement, 256> kByCode = [] {
  std::array<PaddedReplacement, 256> byCode{};
  for (const TranslationRow& row : kRows) {
    PaddedReplacement& padded = byCode[row.code];
    for (std::size_t i = 0; i < row.replacement.size(); ++i) padded.text[i] = row.replacement[i];
    padded.size = static_cast<unsigned char>(row.replacement.size());
  }
  return byCode;
}();

// One byte per code, so that scanning a line touches a small table.
constexpr ByteSet kNeedsTranslation = [] {
  ByteSet needs{};
  for (const TranslationRow& row : kRows) needs[row.code] = true;
  return needs;
}();

// Every code with a row, and every byte that is not plain text.
constexpr ByteSet kStopsWhilePlain = [] {
  ByteSet stops = kNeedsTranslation;
  for (int c = 0; c < 256; ++c) stops[c] = stops[c] || kNotPlainText[c];
  return stops;
}();
static_assert(coversSet(kNotPlainOrSemicolonRanges, kStopsWhilePlain));

}  // namespace

const std::array<TranslationRow, 92> TranslationTable = kRows;

bool translateInto(std::string_view text, std::string& out, std::string& scratch) {
  char* o = nullptr;
  const char* copied = text.data();
  bool plain = true;
  // One scan finds the codes with a row and the bytes that are not plain.
  // Unchanged stretches are copied whole.
  forEachOf<kNotPlainOrSemicolonRanges>(text.data(), text.data() + text.size(), kStopsWhilePlain,
                                        [&](const char* at) {
    const PaddedReplacement& replacement = kByCode[static_cast<unsigned char>(*at)];
    if (replacement.size == 0) {
      plain = false;
      return;
    }
    if (o == nullptr) {
      // Room for the longest replacement of every byte and one padded copy;
      // the scratch area only grows, so that it is filled with zeros once.
      std::size_t room = text.size() * kLongestReplacement + sizeof(PaddedReplacement::text);
      if (scratch.size() < room) scratch.resize(room);
      o = scratch.data();
    }
    std::memcpy(o, copied, static_cast<std::size_t>(at - copied));
    o += at - copied;
    std::memcpy(o, replacement.text, sizeof replacement.text);
    o += replacement.size;
    copied = at + 1;
  });
  std::string_view result = text;
  if (copied != text.data()) {
    const char* end = text.data() + text.size();
    std::memcpy(o, copied, static_cast<std::size_t>(end - copied));
    o += end - copied;
    result = {scratch.data(), static_cast<std::size_t>(o - scratch.data())};
  }
  // Appending to an emptied string costs less than the general assign,
  // which must allow for `text` being `out` (a line translated in place).
  if (text.data() != out.data()) {
    out.clear();
    out.append(result);
  } else if (result.data() != out.data()) {
    out.assign(result);
  }
  return plain;
}

void translateLine(std::string& line) {
  std::string scratch;
  translateInto(line, line, scratch);
}

std::string upperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}
