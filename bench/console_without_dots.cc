// The console of kartconv without its progress dots. Everything else prints
// and flushes as in the program, so a run of this build against a run of
// the program shows what the dots cost on a given console.
#include "driver/console.h"

#include "platform/platform.h"

void openConsole(Console& console) {
  attachOutput(console.out, platform::standardOutput(), "console", 128 * 1024);
}

void moveConsoleToStandardError(Console& console) { console.out.file = platform::standardError(); }

void openConsoleInMemory(Console& console, std::string& sink) { attachOutputToMemory(console.out, sink); }

void printText(Console& console, std::string_view text) {
  write(console.out, text);
  flush(console.out);
}

void holdLine(Console& console, std::string_view text) {
  write(console.out, text);
  writeLineEnd(console.out);
}

void printLine(Console& console, std::string_view text) {
  write(console.out, text);
  writeLineEnd(console.out);
  flush(console.out);
}

void printProgressDot(Console&) {}
