#include "conversion_properties.h"

#include <algorithm>
#include <set>

#include "convert/translate.h"
#include "driver/driver.h"

namespace {

constexpr char kEndOfInput = 26;
constexpr std::size_t kKeptPerLine = 255;
constexpr std::size_t kBufferLines = 255;  // lines of a record the tag analysis sees

struct Cursor {
  std::string_view bytes;
  std::size_t pos = 0;
};

bool atEnd(const Cursor& c) { return c.pos >= c.bytes.size() || c.bytes[c.pos] == kEndOfInput; }

// One line as the reader keeps it: 255 characters, bytes or (in an export
// read as UTF-8) characters of UTF-8, each of which starts at a byte that is
// no continuation byte. A carriage return counts but is not kept. At the end
// of the input the line is empty.
std::string nextLine(Cursor& c, bool utf8) {
  std::string line;
  std::size_t taken = 0;
  while (c.pos < c.bytes.size()) {
    char ch = c.bytes[c.pos];
    if (ch == '\n' || ch == kEndOfInput) break;
    bool starts = !utf8 || (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
    if (starts && taken == kKeptPerLine) break;
    ++c.pos;
    taken += starts ? 1 : 0;
    if (ch != '\r') line += ch;
  }
  // Past the line end; in the skipped rest a carriage return ends it too.
  while (c.pos < c.bytes.size()) {
    char ch = c.bytes[c.pos];
    if (ch == kEndOfInput) break;
    ++c.pos;
    if (ch == '\n') break;
    if (ch == '\r') {
      if (c.pos < c.bytes.size() && c.bytes[c.pos] == '\n') ++c.pos;
      break;
    }
  }
  return line;
}

bool isLnrTag(const std::string& line) {
  if (line.size() < 3) return false;
  std::string key = line.substr(0, 3);
  for (char& ch : key) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return key == "LNR";
}

std::vector<std::string> splitCrLf(const std::string& text, std::string& failure) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      failure = "text does not end in CR LF";
      return lines;
    }
    std::string line = text.substr(start, end - start);
    if (line.find_first_of("\r\n") != std::string::npos) {
      failure = "a line holds a lone CR or LF: " + line;
      return lines;
    }
    lines.push_back(std::move(line));
    start = end + 2;
  }
  return lines;
}

// The entries of a BibTeX file, each with its lines and the empty line after
// it; on a fault in the file's form, `failure` says what is wrong.
std::vector<std::string> splitEntries(const std::string& bibtex, std::string& failure) {
  std::vector<std::string> lines = splitCrLf(bibtex, failure);
  std::vector<std::string> entries;
  std::size_t i = 0;
  while (failure.empty() && i < lines.size()) {
    std::string entry;
    if (!lines[i].starts_with("@")) {
      failure = "entry does not begin with \"@\": " + lines[i];
      break;
    }
    entry += lines[i++] + "\r\n";
    while (i < lines.size() && lines[i] != "}") {
      if (!lines[i].starts_with("    ")) {
        failure = "line inside an entry is no field line: " + lines[i];
        break;
      }
      entry += lines[i++] + "\r\n";
    }
    if (!failure.empty()) break;
    if (i + 1 >= lines.size() || !lines[i + 1].empty()) {
      failure = "entry not closed by \"}\" and one empty line";
      break;
    }
    i += 2;
    entries.push_back(entry + "}\r\n\r\n");
  }
  return entries;
}

// A line of the console that counts something: a number, then `tail`. It
// may only stand there when the count is at least 1, and never count more
// than `most`; "?" where it does.
std::string countLine(const std::string& console, const std::string& tail, std::size_t most) {
  std::size_t end = console.find(tail);
  if (end == std::string::npos) return "";
  std::size_t start = console.rfind("\r\n", end);
  start = start == std::string::npos ? 0 : start + 2;
  std::string count = console.substr(start, end - start);
  if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos ||
      count.size() > 20 || std::stoull(count) == 0 || std::stoull(count) > most) {
    return "?";
  }
  return count + tail;
}

// The line that counts the keys given anew: never more than the entries.
std::string renamedKeysLine(const std::string& console, std::size_t entries) {
  return countLine(console, " Schl\x81ssel neu vergeben (leer oder doppelt)\r\n", entries);
}

// The line naming the code page after "Analysiere Struktur...", where the
// console has one of the names.
std::string codePageLine(const std::string& console) {
  const std::string head = "Analysiere Struktur...\r\n";
  std::size_t start = console.find(head);
  if (start == std::string::npos) return "";
  start += head.size();
  std::string line = console.substr(start, console.find("\r\n", start) + 2 - start);
  for (const char* title : {"Codepage 437", "ISO 8859-1", "Windows-1252", "UTF-8"}) {
    if (line == "Zeichensatz: " + std::string(title) + "\r\n") return line;
  }
  return "";
}

// The line that counts the characters written as "?": at most as many as
// the BibTeX file holds.
std::string withoutTexFormLine(const std::string& console, const std::string& bibtex) {
  auto marks = static_cast<std::size_t>(std::count(bibtex.begin(), bibtex.end(), '?'));
  return countLine(console, " Zeichen ohne TeX-Form als ? geschrieben\r\n", marks);
}

std::string expectedConsole(const ExportModel& model, bool nr2note, const std::string& renamed,
                            const MemoryRun& run) {
  std::string console = "Lese ersten Eintrag...\r\nAnalysiere Struktur...\r\n";
  console += codePageLine(run.console);
  console += "Schreibe Eintraege ";
  console += std::string(model.records.size(), '.');
  console += "\r\n" + std::to_string(model.records.size() % 65536) + " Eintr\x84ge geschrieben\r\n";
  console += renamed;
  console += withoutTexFormLine(run.console, run.bibtex);
  if (nr2note) {
    console += model.firstRecordHasLnr ? "Lfde. Nr. als Note hinzugef\x81gt\r\n"
                                       : "Lfde. Nr. in .TXT-Datei nicht vorhanden!\r\n";
  }
  return console;
}

// An entry without its header line, which holds the key: the key of an
// entry depends on the keys before it (a repeat gets a suffix), its fields
// do not.
std::string fieldsOf(const std::string& entry) { return entry.substr(entry.find("\r\n")); }

// Every byte a printable 7-bit character, a tab, CR or LF.
std::string checkSevenBit(const std::string& bibtex) {
  for (char c : bibtex) {
    auto u = static_cast<unsigned char>(c);
    if ((u < 32 && c != '\t' && c != '\r' && c != '\n') || u >= 127) {
      return "byte " + std::to_string(u) + " in the BibTeX file";
    }
  }
  return "";
}

// BibTeX's reading of the value part of a field line ("= value,"): pieces
// joined by "#", each a quoted text, a braced text or a bare word, with
// balanced braces and, in a quoted text, no double quote outside braces.
bool isBibtexValue(std::string_view text) {
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && text[i] == ' ') ++i;
  };
  for (;;) {
    skipBlanks();
    if (i == text.size()) return false;
    char open = text[i];
    if (open == '"' || open == '{') {
      int depth = open == '{' ? 1 : 0;
      ++i;
      for (;; ++i) {
        if (i == text.size()) return false;
        char c = text[i];
        if (c == '{') ++depth;
        if (c == '}' && --depth < 0) return false;
        if ((open == '"' && c == '"' && depth == 0) || (open == '{' && depth == 0)) break;
      }
      ++i;
    } else {
      std::size_t start = i;
      while (i < text.size() && text.find_first_of(" ,#{}\"", i) != i) ++i;
      if (i == start) return false;
    }
    skipBlanks();
    if (i < text.size() && text[i] == '#') {
      ++i;
      continue;
    }
    return text.substr(i) == ",";
  }
}

// Keys never empty and never repeated without regard to letter case; every
// field value one that BibTeX reads as written.
std::string checkKeysAndValues(const std::vector<std::string>& entries) {
  std::set<std::string> keys;
  for (const std::string& entry : entries) {
    std::size_t open = entry.find('{');
    std::size_t comma = entry.find(",\r\n");
    if (open == std::string::npos || comma == std::string::npos || comma < open) {
      return "header line without key: " + entry.substr(0, entry.find('\r'));
    }
    std::string key = entry.substr(open + 1, comma - open - 1);
    if (key.empty()) return "an empty key";
    for (char& c : key) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (!keys.insert(key).second) return "a repeated key: " + key;
    std::size_t line = comma + 3;
    while (entry.compare(line, 3, "}\r\n") != 0) {
      std::size_t end = entry.find("\r\n", line);
      std::string_view field(entry.data() + line, end - line);
      std::size_t equals = field.find('=');
      if (equals == std::string::npos || !isBibtexValue(field.substr(equals + 1))) {
        return "a field line that BibTeX misreads: " + std::string(field);
      }
      line = end + 2;
    }
  }
  return "";
}

// A record written back as export text, closed by its empty line.
void appendRecord(std::string& text, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) text += line + "\n";
  text += "\n";
}

// Stale values from an earlier record, or any other state carried from one
// record to the next, would make an entry depend on the record before it.
std::string checkLaterRecordsStandAlone(const ExportModel& model,
                                        const std::vector<std::string>& entries, bool nr2note,
                                        CodePage page) {
  if (model.records.size() < 3) return "";
  std::string reversed;
  appendRecord(reversed, model.records[0]);
  for (std::size_t i = model.records.size() - 1; i > 0; --i) appendRecord(reversed, model.records[i]);
  std::string failure;
  std::vector<std::string> again = splitEntries(convertInMemory(reversed, nr2note, false, page).bibtex, failure);
  if (!failure.empty() || again.size() != entries.size() || again[0] != entries[0]) {
    return "the reversed export gives other entries " + failure;
  }
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (fieldsOf(again[entries.size() - i]) != fieldsOf(entries[i])) {
      return "a record's entry changes with the records before it";
    }
  }
  return "";
}

// The first record is read as whole lines and gives the structure, a later
// record is read by position: both must give the same entry, the key aside.
std::string checkFirstAndLaterRecordAlike(const ExportModel& model, CodePage page) {
  if (model.records.empty()) return "";
  std::string record;
  appendRecord(record, model.records[0]);
  std::string once = convertInMemory(record, true, false, page).bibtex;
  std::string twice = convertInMemory(record + record, true, false, page).bibtex;
  std::string failure;
  std::vector<std::string> entries = splitEntries(twice, failure);
  if (!failure.empty() || entries.size() != 2 || entries[0] != once ||
      fieldsOf(entries[1]) != fieldsOf(once)) {
    return "the same record gives another entry as a later record";
  }
  return "";
}

std::string checkRun(std::string_view bytes, const ExportModel& byBytes, bool nr2note,
                     bool readOnce) {
  MemoryRun run = convertInMemory(bytes, nr2note, readOnce);
  MemoryRun again = convertInMemory(bytes, nr2note, readOnce);
  if (run.bibtex != again.bibtex || run.console != again.console) {
    return "the same bytes converted twice differ";
  }
  // The records as the code page the export was read in gives them.
  ExportModel inUtf8;
  if (run.codePage == CodePage::kUtf8) inUtf8 = modelExport(bytes, true);
  const ExportModel& model = run.codePage == CodePage::kUtf8 ? inUtf8 : byBytes;
  std::string failure;
  std::vector<std::string> entries = splitEntries(run.bibtex, failure);
  if (!failure.empty()) return failure;
  if (entries.size() != model.records.size()) {
    return std::to_string(entries.size()) + " entries written for " +
           std::to_string(model.records.size()) + " records";
  }
  failure = checkSevenBit(run.bibtex);
  if (failure.empty()) failure = checkKeysAndValues(entries);
  if (!failure.empty()) return failure;
  std::string renamed = renamedKeysLine(run.console, entries.size());
  if (run.console != expectedConsole(model, nr2note, renamed, run)) return "console differs: " + run.console;
  return readOnce ? "" : checkLaterRecordsStandAlone(model, entries, nr2note, run.codePage);
}

// In every code page a translated value holds only 7-bit text and the
// mark of characters without a TeX form; translating 7-bit text changes
// nothing.
std::string checkTranslation(std::string_view bytes) {
  for (CodePage page : {CodePage::kTable, CodePage::kCp437, CodePage::kLatin1, CodePage::kCp1252, CodePage::kUtf8}) {
    std::string once, twice, scratch;
    translateInto(bytes, page, false, once, scratch);
    for (char c : once) {
      if (static_cast<unsigned char>(c) >= 128 && c != kNoTexForm) return "a translated line holds a byte above 127";
    }
    if (once.find(kNoTexForm) != std::string::npos) continue;
    translateInto(once, page, false, twice, scratch);
    if (twice != once) return "translating a translated line changed it";
  }
  return "";
}

// The same text written in code page 437, in UTF-8 and (where it can hold
// it) in ISO 8859-1, each read in its own code page, gives the same file.
std::string checkCodePagesAgree(std::string_view bytes) {
  std::string utf8;
  std::string latin1;
  bool fitsLatin1 = true;
  for (char c : bytes) {
    char32_t code = characterOfByte(CodePage::kCp437, static_cast<unsigned char>(c));
    appendUtf8(utf8, code);
    fitsLatin1 = fitsLatin1 && code <= 0xFF;
    latin1 += static_cast<char>(code);
  }
  std::string cp437 = convertInMemory(bytes, false, false, CodePage::kCp437).bibtex;
  if (convertInMemory(utf8, false, false, CodePage::kUtf8).bibtex != cp437) {
    return "code page 437 and UTF-8 give different files";
  }
  if (fitsLatin1 && convertInMemory(latin1, false, false, CodePage::kLatin1).bibtex != cp437) {
    return "code page 437 and ISO 8859-1 give different files";
  }
  return "";
}

}  // namespace

ExportModel modelExport(std::string_view bytes, bool utf8) {
  ExportModel model;
  // A byte-order mark is no line's.
  Cursor c{bytes, utf8 && bytes.starts_with("\xEF\xBB\xBF") ? 3u : 0u};
  while (!atEnd(c)) {
    std::string line = nextLine(c, utf8);
    if (line.empty()) continue;  // no record starts with an empty line
    bool first = model.records.empty();
    std::vector<std::string>& lines = model.records.emplace_back();
    while (!line.empty()) {
      if (first && lines.size() < kBufferLines && isLnrTag(line)) model.firstRecordHasLnr = true;
      lines.push_back(std::move(line));
      line = nextLine(c, utf8);
    }
  }
  return model;
}

std::string checkConversion(std::string_view bytes) {
  ExportModel model = modelExport(bytes);
  // Read twice, as an export on disk is, and once, as a pipe is: the keys
  // are decided alike, and in neither way does a key repeat.
  for (bool readOnce : {false, true}) {
    for (bool nr2note : {false, true}) {
      std::string failure = checkRun(bytes, model, nr2note, readOnce);
      if (!failure.empty()) return failure + (nr2note ? " (Nr2Note)" : "") + (readOnce ? " (read once)" : "");
    }
  }
  CodePage page = convertInMemory(bytes, false).codePage;
  std::string failure =
      checkFirstAndLaterRecordAlike(page == CodePage::kUtf8 ? modelExport(bytes, true) : model, page);
  if (!failure.empty()) return failure;
  failure = checkTranslation(bytes);
  if (!failure.empty()) return failure;
  return checkCodePagesAgree(bytes);
}
