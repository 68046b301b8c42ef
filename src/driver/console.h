// Console messages: bytes of code page 437, each line ending in CR LF. On a
// terminal that shows UTF-8 the letters above 127 are written in UTF-8, so
// that "Einträge" reads as such; a file or a pipe gets code page 437.
// Messages are flushed at once. Progress dots are flushed at most every
// 50 ms and with the next message, so that a long run does not spend one
// system call per record on the console while the dots still show as the
// entries are written.
#pragma once

#include <string>
#include <string_view>

// The console on standard output (the failure line shows what it buffered),
// or in memory for runs that collect it.
void openConsole();
void openConsoleInMemory(std::string& sink);
// Where the BibTeX file itself goes to standard output, the console's
// messages (a held line among them) go to standard error, so that the
// BibTeX stream stays clean.
void moveConsoleToStandardError();

void printText(std::string_view text);  // leaves the line open
// A line that shows with the next message, or on standard error with the
// other messages where the BibTeX file goes to standard output: the banner.
void holdLine(std::string_view text);
void printLine(std::string_view text);  // ends the line
void printProgressDot();
