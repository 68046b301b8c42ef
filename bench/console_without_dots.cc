// The console of kartconv without its progress dots. Everything else prints
// and flushes as in the program, so a run of this build against a run of
// the program shows what the dots cost on a given console.
#include "driver/console.h"

#include "driver/driver.h"
#include "platform/platform.h"

TextOutput Console;

void openConsole() {
  attachOutput(Console, platform::standardOutput(), "console", 128 * 1024);
  SavedOnRuntimeError = &Console;
}

void moveConsoleToStandardError() {
  Console.file = platform::standardError();
  Console.name = "console";
}

void openConsoleInMemory(std::string& sink) { attachOutputToMemory(Console, sink); }

void printText(std::string_view text) {
  write(Console, text);
  flush(Console);
}

void holdLine(std::string_view text) {
  write(Console, text);
  writeLineEnd(Console);
}

void printLine(std::string_view text) {
  write(Console, text);
  writeLineEnd(Console);
  flush(Console);
}

void printProgressDot() {}
