#include "convert/translate.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "bibtex/plain_text.h"
#include "convert/characters.h"
#include "io/byte_scan.h"

namespace {

// The characters of code page 437 from byte 128 on.
constexpr char16_t kCodePage437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 128
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 144
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // 160
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // 176
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // 192
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // 208
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // 224
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // 240
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Windows-1252's bytes 128 to 159; 0 where it defines none.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 128
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 144
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

constexpr char32_t characterOf(CodePage page, unsigned char byte) {
  if (byte < 128) return byte;
  switch (page) {
    case CodePage::kCp437:
      return kCodePage437[byte - 128];
    case CodePage::kCp1252:
      return byte < 160 ? kWindows1252[byte - 128] : byte;
    case CodePage::kTable:
      // Code page 437's letters where ISO 8859-1 has control codes and
      // no-break space to yen, ISO 8859-1 from there on.
      return byte <= 165 ? kCodePage437[byte - 128] : byte;
    default:
      return byte;
  }
}

constexpr std::string_view kNoTexFormText(&kNoTexForm, 1);

// The rows of the characters up to U+017F by their code, for UTF-8, whose
// letters mostly lie there: 0 for none, else the row's place plus one.
constexpr char32_t kDirectCodes = 0x180;
constexpr std::array<std::uint16_t, kDirectCodes> kRowByCode = [] {
  std::array<std::uint16_t, kDirectCodes> rows{};
  for (std::size_t i = 0; i < TranslationTable.size(); ++i) {
    if (TranslationTable[i].code < kDirectCodes) rows[TranslationTable[i].code] = static_cast<std::uint16_t>(i + 1);
  }
  return rows;
}();

// The place of character `code`'s row, or -1. (A place, not a pointer: a
// pointer compared in a constant expression is not one under
// UndefinedBehaviorSanitizer.)
constexpr int rowOf(char32_t code) {
  if (code < kDirectCodes) return kRowByCode[code] - 1;
  auto row = std::lower_bound(TranslationTable.begin(), TranslationTable.end(), code,
                              [](const Character& c, char32_t wanted) { return c.code < wanted; });
  return row != TranslationTable.end() && row->code == code ? static_cast<int>(row - TranslationTable.begin()) : -1;
}

// The TeX form of character `code` above 127: its row's, a blank for
// box-drawing and block characters, nothing for a control code, and the
// mark of a character without one (undefined bytes, 0, included).
constexpr std::string_view texOf(char32_t code) {
  if (code >= 0x80 && code <= 0x9F) return {};
  if (code >= 0x2500 && code <= 0x259F) return " ";
  int row = rowOf(code);
  return row >= 0 && !TranslationTable[row].tex.empty() ? TranslationTable[row].tex : kNoTexFormText;
}

constexpr std::string_view lettersOf(char32_t code) {
  int row = rowOf(code);
  return row >= 0 ? TranslationTable[row].letters : std::string_view();
}

constexpr bool isCombiningAccent(char32_t code) { return code >= 0x300 && code <= 0x36F; }

// The 7-bit letters with which Unicode composes each combining accent into
// one letter (most of them letters without a TeX form here, such as ẍ).
struct Composing {
  char32_t accent;
  std::string_view letters;
};
constexpr Composing kComposing[] = {
    {0x0300, "AEINOUWYaeinouwy"},                         // grave
    {0x0301, "ACEGIKLMNOPRSUWYZacegiklmnoprsuwyz"},       // acute
    {0x0302, "ACEGHIJOSUWYZaceghijosuwyz"},               // circumflex
    {0x0303, "AEINOUVYaeinouvy"},                         // tilde
    {0x0304, "AEGIOUYaegiouy"},                           // macron
    {0x0306, "AEGIOUaegiou"},                             // breve
    {0x0307, "ABCDEFGHIMNOPRSTWXYZabcdefghmnoprstwxyz"},  // dot above
    {0x0308, "AEHIOUWXYaehiotuwxy"},                      // diaeresis
    {0x0309, "AEIOUYaeiouy"},                             // hook above
    {0x030A, "AUauwy"},                                   // ring above
    {0x030B, "OUou"},                                     // double acute
    {0x030C, "ACDEGHIKLNORSTUZacdeghijklnorstuz"},        // caron
    {0x030F, "AEIORUaeioru"},                             // double grave
    {0x0311, "AEIORUaeioru"},                             // inverted breve
    {0x031B, "OUou"},                                     // horn
    {0x0323, "ABDEHIKLMNORSTUVWYZabdehiklmnorstuvwyz"},   // dot below
    {0x0324, "Uu"},                                       // diaeresis below
    {0x0325, "Aa"},                                       // ring below
    {0x0326, "STst"},                                     // comma below
    {0x0327, "CDEGHKLNRSTcdeghklnrst"},                   // cedilla
    {0x0328, "AEIOUaeiou"},                               // ogonek
    {0x032D, "DELNTUdelntu"},                             // circumflex below
    {0x032E, "Hh"},                                       // breve below
    {0x0330, "EIUeiu"},                                   // tilde below
    {0x0331, "BDKLNRTZbdhklnrtz"},                        // macron below
};

// What `base` with combining accent `accent` makes: the TeX form of the
// one letter Unicode composes from them, the mark where that letter has
// none, or an empty view where they make no letter.
std::string_view composed(char base, char32_t accent) {
  for (const Character& c : TranslationTable) {
    if (c.accent == accent && c.letters.front() == base) return c.tex;
  }
  for (const Composing& c : kComposing) {
    if (c.accent == accent && c.letters.find(base) != std::string_view::npos) return kNoTexFormText;
  }
  return {};
}

constexpr std::size_t kLongestForm = [] {
  std::size_t longest = 5;  // " and "
  for (const Character& c : TranslationTable) longest = std::max(longest, c.tex.size());
  return longest;
}();

// The reader takes a translated value that held only plain text besides
// translated characters as safe for BibTeX: so every TeX form must be, with
// balanced braces, any `"` within braces, and # $ % & ^ _ only after a
// backslash (as in the accent command {\^a}).
static_assert(std::all_of(TranslationTable.begin(), TranslationTable.end(),
                          [](const Character& row) {
                            int depth = 0;
                            char before = 0;
                            for (char c : row.tex) {
                              if (static_cast<unsigned char>(c) >= 128 || c == ';') return false;
                              if (c == '{') ++depth;
                              if (c == '}' && --depth < 0) return false;
                              if (c == '"' && depth == 0) return false;
                              bool special = std::string_view("#$%&^_").find(c) != std::string_view::npos;
                              if (special && before != '\\') return false;
                              before = c;
                            }
                            return depth == 0 && (!row.tex.empty() || !row.letters.empty());
                          }),
              "a TeX form is not safe in BibTeX as it stands");
static_assert(std::is_sorted(TranslationTable.begin(), TranslationTable.end(),
                             [](const Character& a, const Character& b) { return a.code < b.code; }));

// What the translation does with a byte, in one code page and one kind of
// field (names or not): nothing; mark the value as not plain text; replace
// the byte by its TeX form; or, in UTF-8, read the character it starts.
enum class ByteAction : std::uint8_t { kKeep, kNotPlain, kReplace, kDecode };

// A byte's TeX form, padded so that a short one is copied with one
// fixed-size move.
struct ByteForm {
  char padded[16];
  const char* text;  // the whole form
  std::uint8_t size;
  ByteAction action;
  bool marked;  // the form is the mark of a character without one
};
using ByteForms = std::array<ByteForm, 256>;

constexpr ByteForm formOf(std::string_view tex) {
  ByteForm form{};
  form.text = tex.data();
  form.size = static_cast<std::uint8_t>(tex.size());
  form.action = ByteAction::kReplace;
  form.marked = tex == kNoTexFormText;
  for (std::size_t i = 0; i < tex.size() && i < sizeof form.padded; ++i) form.padded[i] = tex[i];
  return form;
}

constexpr ByteForms formsOf(CodePage page, bool names) {
  ByteForms forms{};
  for (int b = 0; b < 256; ++b) {
    if (b < 128) {
      forms[b].action = kNotPlainText[b] ? ByteAction::kNotPlain : ByteAction::kKeep;
    } else if (page == CodePage::kUtf8) {
      forms[b].action = ByteAction::kDecode;
    } else {
      char32_t code = characterOf(page, static_cast<unsigned char>(b));
      forms[b] = formOf(code == 0 ? kNoTexFormText : texOf(code));
    }
  }
  if (names) forms[';'] = formOf(" and ");
  return forms;
}

constexpr std::array<std::array<ByteForms, 2>, 5> kByteForms = [] {
  std::array<std::array<ByteForms, 2>, 5> all{};
  for (CodePage page : {CodePage::kTable, CodePage::kCp437, CodePage::kLatin1, CodePage::kCp1252, CodePage::kUtf8}) {
    for (bool names : {false, true}) all[static_cast<int>(page)][names] = formsOf(page, names);
  }
  return all;
}();

constexpr ByteForm kMarkForm = formOf(kNoTexFormText);

// The forms of the characters up to U+017F, for UTF-8.
constexpr std::array<ByteForm, kDirectCodes> kFormByCode = [] {
  std::array<ByteForm, kDirectCodes> forms{};
  for (char32_t code = 0x80; code < kDirectCodes; ++code) forms[code] = formOf(texOf(code));
  return forms;
}();

// The letters a key keeps of each byte above 127, per code page of one byte
// per character.
using ByteLetters = std::array<std::string_view, 256>;
constexpr std::array<ByteLetters, 4> kByteLetters = [] {
  std::array<ByteLetters, 4> all{};
  for (CodePage page : {CodePage::kTable, CodePage::kCp437, CodePage::kLatin1, CodePage::kCp1252}) {
    for (int b = 128; b < 256; ++b) {
      all[static_cast<int>(page)][b] = lettersOf(characterOf(page, static_cast<unsigned char>(b)));
    }
  }
  return all;
}();

// Every byte that is not plain text, ";" and every byte above 127.
constexpr ByteSet kStopsWhilePlain = kNotPlainOrSemicolon;

// The character of UTF-8 that starts at `at` in `text`: from where its form
// replaces the text (the letter before it, where a combining accent makes
// one letter with it), how many bytes it replaces, and its form. `copied`
// is where the text not yet replaced starts.
struct Decoded {
  const char* start;
  std::size_t length;
  ByteForm form;
};
Decoded decodeAt(std::string_view text, const char* at, const char* copied) {
  auto i = static_cast<std::size_t>(at - text.data());
  // Most letters take two bytes.
  auto lead = static_cast<unsigned char>(*at);
  bool two = lead >= 0xC2 && lead <= 0xDF && i + 1 < text.size() && !startsCharacter(at[1]);
  std::size_t length = two ? 2 : utf8SequenceAt(text, i);
  if (length == 0) return {at, 1, kMarkForm};
  char32_t code = utf8CodeAt(text, i, length);
  if (!isCombiningAccent(code)) {
    return {at, length, code < kDirectCodes ? kFormByCode[code] : formOf(texOf(code))};
  }
  // A 7-bit letter before a combining accent, not yet replaced, is one
  // letter with it where Unicode composes one.
  std::string_view letter = at > copied ? composed(at[-1], code) : std::string_view();
  if (!letter.empty()) return {at - 1, length + 1, formOf(letter)};
  return {at, length, kMarkForm};
}

}  // namespace

bool codePageNamed(std::string_view name, CodePage& page) {
  struct Named {
    std::string_view name;
    CodePage page;
  };
  constexpr Named kNames[] = {{"CP437", CodePage::kCp437}, {"LATIN1", CodePage::kLatin1},
                              {"CP1252", CodePage::kCp1252}, {"UTF8", CodePage::kUtf8},
                              {"TABLE", CodePage::kTable}};
  std::string upper = upperCase(name);
  for (const Named& n : kNames) {
    if (upper == n.name) {
      page = n.page;
      return true;
    }
  }
  return false;
}

std::string_view codePageTitle(CodePage page) {
  switch (page) {
    case CodePage::kCp437:
      return "Codepage 437";
    case CodePage::kLatin1:
      return "ISO 8859-1";
    case CodePage::kCp1252:
      return "Windows-1252";
    case CodePage::kUtf8:
      return "UTF-8";
    default:
      return "Tabelle";
  }
}

namespace {

// Windows-1252's quotes, dashes, euro sign and the like among 128 to 159;
// code page 437 has letters there.
bool isWindowsSign(int c) {
  return c == 128 || c == 130 || c == 132 || c == 133 || c == 139 || (c >= 145 && c <= 151) || c == 153 ||
         c == 155;
}

// Letters that ISO 8859-1 has and code page 437 has not at the same code:
// À to ß, and à â ä ç è é ê ë î ï ô ö û ü.
bool holdsLatin1Letter(const ByteCensus& census) {
  const auto& seen = census.seen;
  bool found = std::any_of(seen.begin() + 192, seen.begin() + 224, [](bool b) { return b; });
  for (int c : {224, 226, 228, 231, 232, 233, 234, 235, 238, 239, 244, 246, 251, 252}) found = found || seen[c];
  return found;
}

}  // namespace

bool codePageSettled(const ByteCensus& census) {
  bool dosLetter = false;
  for (int c = 128; c < 160; ++c) dosLetter = dosLetter || (census.seen[c] && !isWindowsSign(c));
  return !census.wellFormedUtf8 && dosLetter && holdsLatin1Letter(census);
}

CodePage decideCodePage(const ByteCensus& census, bool byteOrderMark) {
  const auto& seen = census.seen;
  bool anyHigh = std::any_of(seen.begin() + 128, seen.end(), [](bool b) { return b; });
  if (byteOrderMark || (census.wellFormedUtf8 && anyHigh)) return CodePage::kUtf8;
  bool latin1Letter = holdsLatin1Letter(census);
  bool dosOnly = std::any_of(seen.begin() + 128, seen.begin() + 160, [](bool b) { return b; });
  if (dosOnly && !latin1Letter) return CodePage::kCp437;
  if (!dosOnly && latin1Letter) return CodePage::kLatin1;
  if (latin1Letter) {
    // Code page 437's ü, ì, Å, É and ¥ (129, 141, 143, 144, 157), and its
    // other letters there, are no sign of Windows-1252.
    bool windowsSignsOnly = true;
    for (int c = 128; c < 160; ++c) windowsSignsOnly = windowsSignsOnly && (isWindowsSign(c) || !seen[c]);
    if (windowsSignsOnly) return CodePage::kCp1252;
  }
  return CodePage::kTable;
}

char32_t characterOfByte(CodePage page, unsigned char byte) { return characterOf(page, byte); }

bool translateInto(std::string_view text, CodePage page, bool names, std::string& out,
                   std::string& scratch) {
  const ByteForms& forms = kByteForms[static_cast<int>(page)][names];
  char* o = nullptr;
  const char* copied = text.data();
  bool plain = true;
  // Writes `form` in place of the `length` bytes at `at`, after the bytes
  // before them that stay as they are.
  auto replace = [&](const char* at, std::size_t length, const ByteForm& form) {
    if (o == nullptr) {
      // Room for the longest form of every byte and one padded copy; the
      // scratch area only grows, so that it is filled with zeros once.
      std::size_t room = text.size() * kLongestForm + 16;
      if (scratch.size() < room) scratch.resize(room);
      o = scratch.data();
    }
    std::memcpy(o, copied, static_cast<std::size_t>(at - copied));
    o += at - copied;
    if (form.size <= sizeof form.padded) {
      std::memcpy(o, form.padded, sizeof form.padded);
    } else {
      std::memcpy(o, form.text, form.size);
    }
    o += form.size;
    copied = at + length;
    plain = plain && !form.marked;
  };
  // One scan finds the characters to replace and the bytes that are not
  // plain. Unchanged stretches are copied whole.
  forEachOf<kNotPlainOrSemicolonRanges>(text.data(), text.data() + text.size(), kStopsWhilePlain,
                                        [&](const char* at) {
    const ByteForm& form = forms[static_cast<unsigned char>(*at)];
    switch (form.action) {
      case ByteAction::kKeep:
        return;
      case ByteAction::kNotPlain:
        plain = false;
        return;
      case ByteAction::kReplace:
        replace(at, 1, form);
        return;
      case ByteAction::kDecode:
        // The later bytes of a sequence already translated.
        if (at >= copied) {
          Decoded character = decodeAt(text, at, copied);
          replace(character.start, character.length, character.form);
        }
        return;
    }
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

void keyLettersInto(std::string_view value, CodePage page, std::string& out) {
  out.clear();
  const ByteLetters& letters = kByteLetters[page == CodePage::kUtf8 ? 0 : static_cast<int>(page)];
  for (std::size_t i = 0; i < value.size();) {
    auto byte = static_cast<unsigned char>(value[i]);
    if (byte < 128) {
      std::size_t start = i;
      while (i < value.size() && static_cast<unsigned char>(value[i]) < 128) ++i;
      out.append(value.substr(start, i - start));
    } else if (page != CodePage::kUtf8) {
      out += letters[byte];
      ++i;
    } else {
      std::size_t length = utf8SequenceAt(value, i);
      if (length != 0) out += lettersOf(utf8CodeAt(value, i, length));
      i += length == 0 ? 1 : length;
    }
  }
}

bool letterFormAt(std::string_view rest, std::string_view& letters, std::size_t& length) {
  for (const Character& c : TranslationTable) {
    if (!c.letters.empty() && !c.tex.empty() && rest.starts_with(c.tex)) {
      letters = c.letters;
      length = c.tex.size();
      return true;
    }
  }
  return false;
}

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
    return;
  }
  int continuations = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[continuations] | (code >> (6 * continuations)));
  for (int k = continuations - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F));
}

void webAddressInto(std::string_view value, CodePage page, std::string& out) {
  out.clear();
  std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return;
  value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
  auto percent = [&](unsigned char byte) {
    constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  };
  std::string bytes;
  for (char c : value) {
    auto byte = static_cast<unsigned char>(c);
    char32_t code = page == CodePage::kUtf8 ? 0 : characterOf(page, byte);
    if (byte >= 128 && code != 0) {
      // A character of a one-byte code page: its UTF-8 bytes. In UTF-8 each
      // byte is its own, in a broken sequence too.
      bytes.clear();
      appendUtf8(bytes, code);
      for (char b : bytes) percent(static_cast<unsigned char>(b));
    } else if (byte < 33 || byte >= 127 || std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos) {
      percent(byte);
    } else {
      out += c;
    }
  }
}

std::string upperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}
