#include "convert/translate.h"

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

// Replacement by code; empty for a code that passes unchanged.
constexpr std::array<std::string_view, 256> kByCode = [] {
  std::array<std::string_view, 256> byCode{};
  for (const TranslationRow& row : kRows) byCode[row.code] = row.replacement;
  return byCode;
}();

// One byte per code, so that scanning a line touches a small table.
constexpr std::array<bool, 256> kNeedsTranslation = [] {
  std::array<bool, 256> needs{};
  for (const TranslationRow& row : kRows) needs[row.code] = true;
  return needs;
}();

// Position of the first character at or after `from` that has a row.
std::size_t nextToTranslate(const std::string& line, std::size_t from) {
  const char* data = line.data();
  std::size_t size = line.size();
  while (from < size && !kNeedsTranslation[static_cast<unsigned char>(data[from])]) ++from;
  return from;
}

}  // namespace

const std::array<TranslationRow, 92> TranslationTable = kRows;

void translateLine(std::string& line) {
  std::size_t next = nextToTranslate(line, 0);
  if (next == line.size()) return;

  // Kept between calls so that translating a record allocates nothing once
  // the scratch has grown to the longest line. Unchanged stretches are
  // copied whole: accented letters are few in a line.
  static std::string scratch;
  scratch.assign(line, 0, next);
  while (next < line.size()) {
    scratch += kByCode[static_cast<unsigned char>(line[next])];
    std::size_t from = next + 1;
    next = nextToTranslate(line, from);
    scratch.append(line, from, next - from);
  }
  line.swap(scratch);
}
