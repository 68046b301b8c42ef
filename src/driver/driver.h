// The conversion run: checks the command line, opens the export and the
// BibTeX file, converts every record and reports on the console.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/translate.h"
#include "io/text_file.h"

// Runs the whole program on the words after its name; returns the exit code
// of a run that succeeded. A failed file or console operation ends the
// process with its "Runtime error" line and exit code.
int runKartconv(const std::vector<std::string>& words);

// Converts an export held in memory through the same code as a run on
// files, for tools that feed many exports through the program (the fuzzer).
struct MemoryRun {
  std::string bibtex;
  std::string console;
  CodePage codePage = CodePage::kTable;  // how the export was read
};
// `readOnce` reads it as an export that cannot be read twice (a pipe);
// `encoding` is the code page an --encoding option names.
MemoryRun convertInMemory(std::string_view exportBytes, bool nr2note, bool readOnce = false,
                          std::optional<CodePage> encoding = std::nullopt);
