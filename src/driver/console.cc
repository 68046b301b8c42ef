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
