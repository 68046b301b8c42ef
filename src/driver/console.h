// Console messages: bytes of code page 437, each line ending in CR LF. On a
// terminal that shows UTF-8 the letters above 127 are written in UTF-8, so
// that "Einträge" reads as such; a file or a pipe gets code page 437.
// Messages are flushed at once. Progress dots are flushed at most every
// 50 ms and with the next message, so that a long run does not spend one
// system call per record on the console while the dots still show as the
// entries are written.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "io/text_file.h"

struct Console {
  TextOutput out;
  bool inUtf8 = false;
  std::chrono::steady_clock::time_point lastFlush{};
  int dotsSinceClockReading = 0;
};

// The console on standard output, or in memory for runs that collect it.
void openConsole(Console& console);
void openConsoleInMemory(Console& console, std::string& sink);
// Where the BibTeX file itself goes to standard output, the console's
// messages (a held line among them) go to standard error, so that the
// BibTeX stream stays clean.
void moveConsoleToStandardError(Console& console);

void printText(Console& console, std::string_view text);  // leaves the line open
// A line that shows with the next message, or on standard error with the
// other messages where the BibTeX file goes to standard output: the banner.
void holdLine(Console& console, std::string_view text);
void printLine(Console& console, std::string_view text);  // ends the line
void printProgressDot(Console& console);
