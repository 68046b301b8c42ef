#include "export_generator.h"

#include <array>
#include <string_view>

namespace {

// One step of a 64-bit mix (splitmix64): the record number alone decides
// every choice, so records can be made in any order and always agree.
struct Dice {
  std::uint64_t state;
  std::uint32_t roll(std::uint32_t sides) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) % sides);
  }
  template <typename List>
  std::string_view pick(const List& list) {
    return list[roll(static_cast<std::uint32_t>(list.size()))];
  }
};

// Words with umlauts are spelt with "%" codes: %a %o %u %A %O %U %s stand
// for the letter, written as the export's Encoding says (kLetters).
constexpr std::array<std::string_view, 24> kSurnames = {
    "M%uller", "Schmidt", "Sch%afer", "K%ohler", "Wei%s", "Meier", "Gro%s", "J%urgens",
    "%Ozt%urk", "Becker", "Hoffmann", "Kr%uger", "Schr%oder", "Wagner", "B%ohm", "Fischer",
    "Zimmermann", "H%ubner", "Lehmann", "M%oller", "Vogel", "Fu%s", "Wolf", "K%onig"};
constexpr std::array<std::string_view, 16> kFirstNames = {
    "Hans", "J%urgen", "Anna", "G%unter", "Ursula", "Klaus", "Bj%orn", "Monika",
    "Karl-Heinz", "Doris", "Stefan", "J%org", "Renate", "Dieter", "Br%unhilde", "Uwe"};
constexpr std::array<std::string_view, 20> kTitleWords = {
    "Grundlagen", "Geschichte", "Entwicklung", "%Uberblick", "Bibliotheken", "Sprache",
    "Kultur", "Gesellschaft", "Methoden", "Zeitschriften", "Erschlie%sung", "Wissenschaft",
    "Verfahren", "Fr%uhgeschichte", "Ordnung", "Archive", "Stra%sen", "B%ucher",
    "Katalogisierung", "Universit%aten"};
constexpr std::array<std::string_view, 10> kLinks = {
    "der", "und", "f%ur", "im", "%uber", "in der", "zur", "aus", "vor", "nach"};
constexpr std::array<std::string_view, 12> kSources = {
    "Zeitschrift f%ur Bibliothekswesen", "Springer", "Deutscher Universit%atsverlag",
    "Beck", "Historische Zeitschrift", "Suhrkamp", "Oldenbourg", "Vandenhoeck & Ruprecht",
    "Bibliotheksdienst", "Universit%at K%oln", "Carl Hanser", "Akademie-Verlag"};
constexpr std::array<std::string_view, 10> kPlaces = {
    "M%unchen", "K%oln", "Z%urich", "D%usseldorf", "Wien", "G%ottingen",
    "Berlin", "N%urnberg", "Hamburg", "Br%unn"};
constexpr std::array<std::string_view, 8> kNotes = {
    "Sonderdruck", "mit zahlreichen Abbildungen", "vergriffen", "2. Aufl. 1994",
    "Bestand: Institutsbibliothek", "Rezension in Heft 3", "gek%urzte Fassung", "Nachdruck"};
constexpr std::array<std::string_view, 8> kKeywords = {
    "Bibliothek", "Sprachgeschichte", "Methodik", "St%adtebau",
    "Archivwesen", "Bildung", "Wirtschaft", "Musikgeschichte"};
// The type values; their first three characters choose the entry.
constexpr std::array<std::string_view, 15> kTypes = {
    "Artikel", "Buch", "InBuch", "Diplomarbeit", "Dissertation", "Konferenz",
    "Proceedings", "InProceedings", "Manual", "Norm", "URL", "Bericht",
    "Typ: Forschungsbericht", "Sonstiges", "Artikel"};

// Each letter's bytes in code page 437, ISO 8859-1 and UTF-8. Code page 437
// has every letter the words hold, so none needs a stand-in there.
struct Letter {
  char code;
  std::string_view cp437, iso, utf8;
};
constexpr std::array<Letter, 7> kLetters = {{{'a', "\x84", "\xE4", "\xC3\xA4"},
                                             {'o', "\x94", "\xF6", "\xC3\xB6"},
                                             {'u', "\x81", "\xFC", "\xC3\xBC"},
                                             {'A', "\x8E", "\xC4", "\xC3\x84"},
                                             {'O', "\x99", "\xD6", "\xC3\x96"},
                                             {'U', "\x9A", "\xDC", "\xC3\x9C"},
                                             {'s', "\xE1", "\xDF", "\xC3\x9F"}}};

std::string_view bytesOf(const Letter& letter, Encoding encoding, bool iso) {
  switch (encoding) {
    case Encoding::Utf8: return letter.utf8;
    case Encoding::Cp437: return letter.cp437;
    case Encoding::Mixed: break;
  }
  return iso || letter.code == 's' ? letter.iso : letter.cp437;
}

void appendWord(std::string& out, std::string_view word, Dice& dice, Encoding encoding) {
  // Rolled in every encoding, so that all three pick the same words.
  bool iso = dice.roll(2) == 1;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '%') {
      out += word[i];
      continue;
    }
    char code = word[++i];
    for (const Letter& letter : kLetters) {
      if (letter.code == code) out += bytesOf(letter, encoding, iso);
    }
  }
}

void appendNumber(std::string& out, std::uint32_t number) { out += std::to_string(number); }

// The number in letters as spreadsheet columns count: 0 is "a", 25 "z", 26
// "aa", 701 "zz", 702 "aaa". Different numbers never give the same letters.
void appendLetters(std::string& out, std::uint32_t number) {
  char letters[8];
  std::size_t size = 0;
  std::uint64_t n = std::uint64_t{number} + 1;
  while (n > 0) {
    letters[size++] = static_cast<char>('a' + (n - 1) % 26);
    n = (n - 1) / 26;
  }
  while (size > 0) out += letters[--size];
}

void appendTitle(std::string& out, Dice& dice, Encoding encoding, int words) {
  appendWord(out, dice.pick(kTitleWords), dice, encoding);
  for (int i = 1; i < words; ++i) {
    out += ' ';
    appendWord(out, dice.pick(kLinks), dice, encoding);
    out += ' ';
    appendWord(out, dice.pick(kTitleWords), dice, encoding);
  }
}

void appendName(std::string& out, Dice& dice, Encoding encoding) {
  appendWord(out, dice.pick(kSurnames), dice, encoding);
  out += ", ";
  appendWord(out, dice.pick(kFirstNames), dice, encoding);
}

void beginLine(std::string& out, std::string_view tag) {
  out += tag;
  out += ": ";
}

void endLine(std::string& out) { out += "\r\n"; }

}  // namespace

void appendRecord(std::string& out, std::uint32_t index, Keys keys, Encoding encoding) {
  Dice dice{index * 0x2545F4914F6CDD1Dull + 1};
  std::string_view surname = dice.pick(kSurnames);
  std::uint32_t year = 1950 + dice.roll(70);

  beginLine(out, "TYP");
  out += dice.pick(kTypes);
  endLine(out);
  beginLine(out, "KUR");
  appendWord(out, surname, dice, encoding);
  appendNumber(out, year % 100);
  if (keys == Keys::Unique) {
    appendLetters(out, index);
  } else {
    out += static_cast<char>('a' + index % 26);
  }
  endLine(out);
  beginLine(out, "AUT");
  appendWord(out, surname, dice, encoding);
  out += ", ";
  appendWord(out, dice.pick(kFirstNames), dice, encoding);
  for (std::uint32_t more = 1 + dice.roll(3); more > 0; --more) {
    out += ';';
    appendName(out, dice, encoding);
  }
  endLine(out);
  beginLine(out, "TIT");
  appendTitle(out, dice, encoding, 2 + static_cast<int>(dice.roll(2)));
  endLine(out);
  beginLine(out, "UNT");
  appendTitle(out, dice, encoding, 1 + static_cast<int>(dice.roll(2)));
  endLine(out);
  beginLine(out, "QUE");
  appendWord(out, dice.pick(kSources), dice, encoding);
  endLine(out);
  beginLine(out, "ORT");
  appendWord(out, dice.pick(kPlaces), dice, encoding);
  endLine(out);
  beginLine(out, "JAH");
  if (dice.roll(20) == 0) {
    out += "o.J.";
  } else {
    appendNumber(out, year);
  }
  endLine(out);
  beginLine(out, "SEI");
  std::uint32_t page = 1 + dice.roll(400);
  appendNumber(out, page);
  out += '-';
  appendNumber(out, page + 1 + dice.roll(40));
  endLine(out);
  beginLine(out, "ISB");
  out += "3-";
  appendNumber(out, 100 + dice.roll(900));
  out += '-';
  appendNumber(out, 10000 + dice.roll(90000));
  out += '-';
  appendNumber(out, dice.roll(10));
  endLine(out);
  beginLine(out, "BAN");
  appendNumber(out, 1 + dice.roll(60));
  endLine(out);
  beginLine(out, "HER");
  if (dice.roll(3) == 0) appendName(out, dice, encoding);
  endLine(out);
  beginLine(out, "NOZ");
  if (dice.roll(2) == 0) appendWord(out, dice.pick(kNotes), dice, encoding);
  endLine(out);
  beginLine(out, "KEY");
  appendWord(out, dice.pick(kKeywords), dice, encoding);
  endLine(out);
  beginLine(out, "LNR");
  appendNumber(out, index + 1);
  endLine(out);
  endLine(out);
}
