#include <cstdint>

#include "bibtex/bibtex.h"
#include "convert/translate.h"
#include "driver/console.h"
#include "driver/driver.h"
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

void checkArguments(ConversionRun& run, const std::vector<std::string>& words) {
  if (words.size() < 2 || words.size() > 3) {
    printLine(run.console, "Ungueltige Anzahl von Parametern");
    printLine(run.console, "Aufruf: kartconv KART-File BibTeX-File [Nr2Note]");
    printLine(run.console, "DOS-Programm: 8+3-Notation fuer Dateien beachten!");
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
}

// Writes the current record's entry, or notes that the export changed.
void writeEntry(ConversionRun& run) {
  printProgressDot(run.console);
  ++run.entryNumber;
  ExportReader& r = run.reader;
  if (run.keys.giveKey(r.rawKeyValue, r.rawNumberValue, r.value(KUR), r.value(LNR), run.entryNumber,
                       run.writer.key) != Rereading::kSame) {
    noteFailure(run.rereading, kExitExportChanged, "rereading", r.input.name);
    return;
  }
  selectEntryTemplate(run.writer);
  ++run.recordCounter;
}

// A first pass over the export that notes every record's key, so that a key
// given to a repeat never takes the key of a later record. The input is
// then read again from its start. An export that cannot be read twice (a
// pipe) is read once; its keys become known as it is read.
void collectExportKeys(ConversionRun& run, bool haveRecord) {
  ExportReader& r = run.reader;
  if (!haveRecord || !canRewind(r.input)) return;
  std::uint64_t records = 1;
  run.keys.noteRecord(r.rawKeyValue, r.rawNumberValue, records);
  while (!atEnd(r.input)) {
    if (readNextEntryKeys(r, givesEmptyKey)) run.keys.noteRecord(r.rawKeyValue, r.rawNumberValue, ++records);
  }
  if (failureOf(run) != nullptr) return;
  run.keys.makeKeys();
  // The second reading starts as the first did, with the same input.
  ExportReader again;
  again.input = std::move(r.input);
  r = std::move(again);
  rewindInput(r.input);
  readFirstEntry(r);
  analyseStructure(r);
}

// Reads every record and writes its entry, printing the progress line.
// Returns at the first failure, which the run then holds.
void convertRecords(ConversionRun& run) {
  ExportReader& r = run.reader;
  printLine(run.console, "Lese ersten Eintrag...");
  bool haveRecord = readFirstEntry(r);
  if (failureOf(run) != nullptr) return;
  printLine(run.console, "Analysiere Struktur...");
  analyseStructure(r);
  collectExportKeys(run, haveRecord);
  if (failureOf(run) != nullptr) return;
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
  if (!run.writer.nr2note) return;
  if (run.reader.tagMap[LNR] != 0) {
    printLine(run.console, "Lfde. Nr. als Note hinzugef\x81gt");
  } else {
    printLine(run.console, "Lfde. Nr. in .TXT-Datei nicht vorhanden!");
  }
}

}  // namespace

int runKartconv(const std::vector<std::string>& words) {
  ConversionRun run;
  openConsole(run.console);
  holdLine(run.console, kBanner);
  checkArguments(run, words);
  openInput(run.reader.input, words[0]);
  endOnFailure(run);
  createOutput(run.bibtex, words[1]);
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

MemoryRun convertInMemory(std::string_view exportBytes, bool nr2note, bool readOnce) {
  MemoryRun result;
  ConversionRun run;
  run.writer.nr2note = nr2note;
  openInputFromMemory(run.reader.input, exportBytes, readOnce);
  attachOutputToMemory(run.bibtex, result.bibtex);
  openConsoleInMemory(run.console, result.console);
  convertRecords(run);
  printSummary(run);
  return result;
}
