// The conversion run: checks the command line, opens the export and the
// BibTeX file, converts every record and reports on the console.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/text_file.h"


// Count of entries written; wraps after 65535 like the summary always did.
extern std::uint16_t RecordCounter;

// The console (standard output); every message is flushed as it is written.
extern TextOutput Console;

// Runs the whole program on the words after its name; returns the exit code.
// Failed file or console operations end the process from within.
int runKartconv(const std::vector<std::string>& words);

// Resets the buffer, the tag map, the counter and the Nr2Note flag.
void initState();

// Reads every record of InputFile and writes its entry to OutputFile,
// printing the progress line. Both files must be open.
void convertRecords();

// The summary line and, with Nr2Note, whether the running number was added.
void printSummary();

// Converts an export held in memory through the same code as a run on
// files, for tools that feed many exports through the program (the fuzzer).
struct MemoryRun {
  std::string bibtex;
  std::string console;
};
// `readOnce` reads it as an export that cannot be read twice (a pipe).
MemoryRun convertInMemory(std::string_view exportBytes, bool nr2note, bool readOnce = false);
