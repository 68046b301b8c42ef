// Console messages: bytes of code page 437, each line ending in CR LF,
// flushed at once so that every progress dot shows as its entry is written.
#pragma once

#include <string_view>

void printText(std::string_view text);  // leaves the line open
void printLine(std::string_view text);  // ends the line
