#include "bibtex/bibtex.h"
#include "convert/translate.h"
#include "driver/console.h"
#include "driver/driver.h"
#include "platform/platform.h"
#include "reader/reader.h"

std::uint16_t RecordCounter = 0;

namespace {

constexpr std::string_view kBanner = "Zettelwandel KART-Konverter V1.7.0";

[[noreturn]] void endWith(int code) {
  flush(Console);
  platform::exitProcess(code);
}

void checkArguments(const std::vector<std::string>& words) {
  if (words.size() < 2 || words.size() > 3) {
    printLine("Ungueltige Anzahl von Parametern");
    printLine("Aufruf: kartconv KART-File BibTeX-File [Nr2Note]");
    printLine("DOS-Programm: 8+3-Notation fuer Dateien beachten!");
    endWith(kExitUsage);
  }
  if (!platform::isReadableFile(words[0])) {
    printLine("Angegebene KART-Datei existiert nicht");
    endWith(kExitNoExport);
  }
  // Creating the BibTeX file would empty the export it is read from.
  if (platform::isSameFile(words[0], words[1])) {
    printLine("KART-Datei und BibTeX-Datei sind dieselbe Datei");
    endWith(kExitSameFile);
  }
  std::string option = words.size() == 3 ? words[2] : std::string();
  if (upperCase(option) == "NR2NOTE") Nr2NoteFlag = true;
}

// The entries written so far; unlike RecordCounter it does not wrap.
std::uint64_t EntryNumber = 0;

// The run's citation keys.
EntryKeys Keys;

[[noreturn]] void endWithExportChanged() {
  endWithRuntimeError(kExitExportChanged, "rereading", InputFile.name);
}

void writeEntry() {
  printProgressDot();
  ++EntryNumber;
  if (Keys.giveKey(RawKeyValue, RawNumberValue, fieldValue(KUR), fieldValue(LNR), EntryNumber,
                   EntryKey) != Rereading::kSame) {
    endWithExportChanged();
  }
  selectEntryTemplate();
  ++RecordCounter;
}

// A first pass over the export that notes every record's key, so that a key
// given to a repeat never takes the key of a later record. The input is
// then read again from its start. An export that cannot be read twice (a
// pipe) is read once; its keys become known as it is read.
void collectExportKeys(bool haveRecord) {
  if (!haveRecord || !canRewind(InputFile)) return;
  std::uint64_t records = 1;
  Keys.noteRecord(RawKeyValue, RawNumberValue, records);
  while (!atEnd(InputFile)) {
    if (readNextEntryKeys(givesEmptyKey)) Keys.noteRecord(RawKeyValue, RawNumberValue, ++records);
  }
  Keys.makeKeys();
  rewindInput(InputFile);
  resetReader();
  readFirstEntry();
  analyseStructure();
}

}  // namespace

void initState() {
  resetReader();
  RecordCounter = 0;
  EntryNumber = 0;
  Keys = EntryKeys();
  EntryKey.clear();
  Nr2NoteFlag = false;
}

void convertRecords() {
  printLine("Lese ersten Eintrag...");
  bool haveRecord = readFirstEntry();
  printLine("Analysiere Struktur...");
  analyseStructure();
  collectExportKeys(haveRecord);
  printText("Schreibe Eintraege ");
  if (haveRecord) writeEntry();
  while (!atEnd(InputFile)) {
    if (readNextEntry()) writeEntry();
  }
  // Fewer records than the first reading saw, or an export whose size or
  // time of change moved while it was read: it was changed during the run.
  if (Keys.readTwice() && (EntryNumber != Keys.recordsNoted() || inputChanged(InputFile))) {
    endWithExportChanged();
  }
}

void printSummary() {
  printLine("");
  printLine(std::to_string(RecordCounter) + " Eintr\x84ge geschrieben");
  if (Keys.renamed() != 0) {
    printLine(std::to_string(Keys.renamed()) + " Schl\x81ssel neu vergeben (leer oder doppelt)");
  }
  if (!Nr2NoteFlag) return;
  if (TagMap[LNR] != 0) {
    printLine("Lfde. Nr. als Note hinzugef\x81gt");
  } else {
    printLine("Lfde. Nr. in .TXT-Datei nicht vorhanden!");
  }
}

int runKartconv(const std::vector<std::string>& words) {
  openConsole();
  holdLine(kBanner);
  initState();
  checkArguments(words);
  openInput(InputFile, words[0]);
  createOutput(OutputFile, words[1]);
  if (OutputFile.replacement.sharesStandardOutput) moveConsoleToStandardError();
  convertRecords();
  closeInput(InputFile);
  closeOutput(OutputFile);
  printSummary();
  // Only now, with the summary shown, does the new BibTeX file replace the
  // earlier one: a run that fails anywhere before leaves that file as it was.
  commitOutput(OutputFile);
  return 0;
}

MemoryRun convertInMemory(std::string_view exportBytes, bool nr2note, bool readOnce) {
  MemoryRun run;
  initState();
  Nr2NoteFlag = nr2note;
  openInputFromMemory(InputFile, exportBytes, readOnce);
  attachOutputToMemory(OutputFile, run.bibtex);
  openConsoleInMemory(run.console);
  convertRecords();
  printSummary();
  // The files point into `run` and into the caller's bytes, neither of which
  // outlives this call; a later run must not write or read through them.
  InputFile = TextInput{};
  OutputFile = TextOutput{};
  Console = TextOutput{};
  return run;
}
