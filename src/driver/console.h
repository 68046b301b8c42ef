// Console messages: bytes of code page 437, each line ending in CR LF.
// Messages are flushed at once. Progress dots are flushed at most every
// 50 ms and with the next message, so that a long run does not spend one
// system call per record on the console while the dots still show as the
// entries are written.
#pragma once

#include <string_view>

void printText(std::string_view text);  // leaves the line open
void printLine(std::string_view text);  // ends the line
void printProgressDot();
