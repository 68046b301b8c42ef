// The console of kartconv without its progress dots. Everything else prints
// and flushes as in the program, so a run of this build against a run of
// the program shows what the dots cost on a given console.
#include "driver/console.h"

#include "driver/driver.h"

TextOutput Console;

void printText(std::string_view text) {
  write(Console, text);
  flush(Console);
}

void printLine(std::string_view text) {
  write(Console, text);
  writeLineEnd(Console);
  flush(Console);
}

void printProgressDot() {}
