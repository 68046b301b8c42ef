#include <cstdint>

#include "bibtex/bibtex.h"
#include "convert/translate.h"
#include "driver/console.h"
#include "driver/driver.h"
#include "driver/options.h"
#include "platform/platform.h"
#include "reader/reader.h"

namespace {

constexpr std::string_view kBanner = "Zettelwandel KART-Konverter V1.7.0";

// Everything one conversion run works on.
struct ConversionRun {
  ExportReader reader;
  TextOutput bibtex;
  Console console;
  EntryKeys keys;
  EntryWriter writer{bibtex, reader, false, {}};
  // The code page the command line names; otherwise the export's bytes
  // decide it.
  std::optional<CodePage> encoding;
  // Entries written; wraps after 65535 like the summary always did.
  std::uint16_t recordCounter = 0;
  // Entries written; does not wrap.
  std::uint64_t entryNumber = 0;
  // The export was changed while it was read.
  Failure rereading;
};

// The first failure of the run's files and console, or nullptr.
const Failure* failureOf(const ConversionRun& run) {
  for (const Failure* f : {&run.reader.input.failure, &run.bibtex.failure, &run.console.out.failure,
                           &run.rereading}) {
    if (f->error != 0) return f;
  }
  return nullptr;
}

// Ends the process with the failure's "Runtime error" line on the standard
// error stream and its number as exit code. What the console had buffered
// shows first, and a BibTeX file written under a temporary name goes, so
// that the earlier file stays as it was.
[[noreturn]] void endWithFailure(ConversionRun& run, const Failure& failure) {
  abandonOutput(run.bibtex);
  TextOutput& console = run.console.out;
  if (console.sink == nullptr && console.used != 0 && console.failure.error == 0) {
    platform::writeAll(console.file, console.storage.get(), console.used);
  }
  std::string line = runtimeErrorLine(failure) + "\r\n";
  // The process ends with the failure's code whatever happens to this line.
  platform::writeAll(platform::standardError(), line.data(), line.size());
  platform::exitProcess(exitCodeOf(failure.error));
}

// Ends the run with its first failure, where it has one.
void endOnFailure(ConversionRun& run) {
  if (const Failure* failure = failureOf(run)) endWithFailure(run, *failure);
}

[[noreturn]] void endWith(ConversionRun& run, int code) {
  flush(run.console.out);
  endOnFailure(run);
  platform::exitProcess(code);
}

// A word as the console shows it: bytes above 127 as "?", since they may be
// of any code page.
std::string shownWord(std::string_view word) {
  std::string shown(word);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) >= 128) c = '?';
  }
  return shown;
}

void printUsage(ConversionRun& run) {
  printLine(run.console, "Aufruf: kartconv KART-File BibTeX-File [Nr2Note]");
  printLine(run.console, "DOS-Programm: 8+3-Notation fuer Dateien beachten!");
}

// Returns the file names; ends the run for --help, --version and a wrong
// command line.
std::vector<std::string> checkArguments(ConversionRun& run, const std::vector<std::string>& arguments) {
  CommandLine line = parseCommandLine(arguments);
  if (line.help || line.version) {
    if (line.help) printText(run.console, kHelpText);
    endWith(run, 0);
  }
  if (!line.unknownOption.empty() || !line.unknownEncoding.empty()) {
    printLine(run.console, line.unknownOption.empty() ? "Unbekannter Zeichensatz: " + shownWord(line.unknownEncoding)
                                                       : "Unbekannte Option: " + shownWord(line.unknownOption));
    printUsage(run);
    endWith(run, kExitUsage);
  }
  const std::vector<std::string>& words = line.words;
  if (words.size() < 2 || words.size() > 3) {
    printLine(run.console, "Ungueltige Anzahl von Parametern");
    printUsage(run);
    endWith(run, kExitUsage);
  }
  if (!platform::isReadableFile(words[0])) {
    printLine(run.console, "Angegebene KART-Datei existiert nicht");
    endWith(run, kExitNoExport);
  }
  // Creating the BibTeX file would empty the export it is read from.
  if (platform::isSameFile(words[0], words[1])) {
    printLine(run.console, "KART-Datei und BibTeX-Datei sind dieselbe Datei");
    endWith(run, kExitSameFile);
  }
  std::string option = words.size() == 3 ? words[2] : std::string();
  run.writer.nr2note = upperCase(option) == "NR2NOTE";
  run.encoding = line.encoding;
  return words;
}

KeyLines keyLinesOf(const ExportReader& r) {
  return {r.rawKeyLine, r.rawNumberLine, r.rawKeyShared, r.rawNumberShared};
}

// Writes the current record's entry, or notes that the export changed.
void writeEntry(ConversionRun& run) {
  printProgressDot(run.console);
  ++run.entryNumber;
  ExportReader& r = run.reader;
  if (run.keys.giveKey(keyLinesOf(r), run.entryNumber, run.writer.key) != Rereading::kSame) {
    noteFailure(run.rereading, kExitExportChanged, "rereading", r.input.name);
    return;
  }
  selectEntryTemplate(run.writer);
  ++run.recordCounter;
}

// A first pass over the export that notes every record's key, so that a key
// given to a repeat never takes the key of a later record, and every byte,
// so that the export's code page is known before a key is made. The input
// is then read again from its start. An export that cannot be read twice (a
// pipe) is read once, in the code page named or told by a byte-order mark;
// its keys become known as it is read.
void collectExportKeys(ConversionRun& run, bool haveRecord, ByteCensus& census) {
  ExportReader& r = run.reader;
  if (!haveRecord) {
    endCensus(r.input);
    return;
  }
  std::uint64_t records = 1;
  run.keys.noteRecord(keyLinesOf(r), records);
  while (!atEnd(r.input)) {
    if (readNextEntryKeys(r, mayGiveEmptyKey)) run.keys.noteRecord(keyLinesOf(r), ++records);
  }
  endCensus(r.input);
  if (failureOf(run) != nullptr) return;
  CodePage page = run.encoding.value_or(decideCodePage(census, r.input.byteOrderMark));
  if (page != CodePage::kUtf8 && r.input.lineEndsDependOnCodePage) {
    // Its records are not those the first reading saw, which counted the
    // characters of UTF-8: the keys are decided as for an export read once.
    run.keys = EntryKeys();
    run.keys.readOnceIn(page);
  } else {
    run.keys.makeKeys(page);
  }
  // The second reading starts as the first did, with the same input.
  ExportReader again;
  again.input = std::move(r.input);
  again.codePage = page;
  r = std::move(again);
  rewindInput(r.input);
  r.input.countsCharacters = page == CodePage::kUtf8;
  r.input.skipsByteOrderMark = page == CodePage::kUtf8;
  readFirstEntry(r);
  analyseStructure(r);
}

// Reads every record and writes its entry, printing the progress line.
// Returns at the first failure, which the run then holds.
void convertRecords(ConversionRun& run) {
  ExportReader& r = run.reader;
  printLine(run.console, "Lese ersten Eintrag...");
  // An export read twice is first read with the line limit of UTF-8, which
  // keeps at least as much of each line as any reading, unless the command
  // line named its code page.
  bool twice = canRewind(r.input);
  ByteCensus census;
  r.input.skipsByteOrderMark = run.encoding.value_or(CodePage::kUtf8) == CodePage::kUtf8;
  if (twice) {
    // A code page the command line names needs no census.
    census.ended = run.encoding.has_value();
    census.settled = codePageSettled;
    startCensus(r.input, census);
    r.input.countsCharacters = run.encoding.value_or(CodePage::kUtf8) == CodePage::kUtf8;
  } else {
    // Only a byte-order mark tells a code page here: let it be read.
    atEnd(r.input);
    r.codePage = run.encoding.value_or(r.input.byteOrderMark ? CodePage::kUtf8 : CodePage::kTable);
    r.input.countsCharacters = r.codePage == CodePage::kUtf8;
    run.keys.readOnceIn(r.codePage);
  }
  bool haveRecord = readFirstEntry(r);
  if (failureOf(run) != nullptr) return;
  printLine(run.console, "Analysiere Struktur...");
  analyseStructure(r);
  if (twice) collectExportKeys(run, haveRecord, census);
  if (failureOf(run) != nullptr) return;
  if (r.codePage != CodePage::kTable) {
    printLine(run.console, "Zeichensatz: " + std::string(codePageTitle(r.codePage)));
  }
  printText(run.console, "Schreibe Eintraege ");
  if (haveRecord) writeEntry(run);
  while (failureOf(run) == nullptr && !atEnd(r.input)) {
    // A record cut short by a failed read writes no entry.
    if (readNextEntry(r) && r.input.failure.error == 0) writeEntry(run);
  }
  // Fewer records than the first reading saw, or an export whose size or
  // time of change moved while it was read: it was changed during the run.
  if (failureOf(run) == nullptr && run.keys.readTwice() &&
      (run.entryNumber != run.keys.recordsNoted() || inputChanged(r.input))) {
    noteFailure(run.rereading, kExitExportChanged, "rereading", r.input.name);
  }
}

void printSummary(ConversionRun& run) {
  printLine(run.console, "");
  printLine(run.console, std::to_string(run.recordCounter) + " Eintr\x84ge geschrieben");
  if (run.keys.renamed() != 0) {
    printLine(run.console, std::to_string(run.keys.renamed()) + " Schl\x81ssel neu vergeben (leer oder doppelt)");
  }
  if (run.writer.withoutTexForm != 0) {
    printLine(run.console, std::to_string(run.writer.withoutTexForm) + " Zeichen ohne TeX-Form als ? geschrieben");
  }
  if (!run.writer.nr2note) return;
  if (run.reader.tagMap[LNR] != 0) {
    printLine(run.console, "Lfde. Nr. als Note hinzugef\x81gt");
  } else {
    printLine(run.console, "Lfde. Nr. in .TXT-Datei nicht vorhanden!");
  }
}

}  // namespace

int runKartconv(const std::vector<std::string>& arguments) {
  ConversionRun run;
  openConsole(run.console);
  holdLine(run.console, kBanner);
  std::vector<std::string> files = checkArguments(run, arguments);
  openInput(run.reader.input, files[0]);
  endOnFailure(run);
  createOutput(run.bibtex, files[1]);
  if (run.bibtex.replacement.sharesStandardOutput) moveConsoleToStandardError(run.console);
  endOnFailure(run);
  convertRecords(run);
  endOnFailure(run);
  closeInput(run.reader.input);
  closeOutput(run.bibtex);
  endOnFailure(run);
  printSummary(run);
  endOnFailure(run);
  // Only now, with the summary shown, does the new BibTeX file replace the
  // earlier one: a run that fails anywhere before leaves that file as it was.
  commitOutput(run.bibtex);
  endOnFailure(run);
  return 0;
}

MemoryRun convertInMemory(std::string_view exportBytes, bool nr2note, bool readOnce,
                          std::optional<CodePage> encoding) {
  MemoryRun result;
  ConversionRun run;
  run.writer.nr2note = nr2note;
  run.encoding = encoding;
  openInputFromMemory(run.reader.input, exportBytes, readOnce);
  attachOutputToMemory(run.bibtex, result.bibtex);
  openConsoleInMemory(run.console, result.console);
  convertRecords(run);
  printSummary(run);
  result.codePage = run.reader.codePage;
  return result;
}
