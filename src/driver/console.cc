#include "driver/console.h"

#include <chrono>
#include <cstdint>

#include "convert/translate.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kDotFlushInterval = std::chrono::milliseconds(50);

// Reading the clock costs about as much as converting a tenth of a record,
// so it is read only every few dots; a record takes microseconds, so the
// dots still show within the interval.
constexpr int kDotsPerClockReading = 16;

// Appends the code page 437 text `text` in UTF-8.
void appendUtf8(std::string& out, std::string_view text) {
  for (char c : text) ::appendUtf8(out, characterOfByte(CodePage::kCp437, static_cast<unsigned char>(c)));
}

// Messages are few and short; the progress dots do not come this way.
void writeMessage(Console& console, std::string_view text) {
  if (!console.inUtf8) {
    write(console.out, text);
    return;
  }
  std::string converted;
  appendUtf8(converted, text);
  write(console.out, converted);
}

void flushConsole(Console& console) {
  flush(console.out);
  console.lastFlush = Clock::now();
}

}  // namespace

void openConsole(Console& console) {
  // Room for the dots of 50 ms at well over a million entries a second, so
  // that they are flushed by time and not by a full buffer.
  attachOutput(console.out, platform::standardOutput(), "console", 128 * 1024);
  console.inUtf8 = platform::consoleShowsUtf8(platform::standardOutput());
}

void openConsoleInMemory(Console& console, std::string& sink) {
  attachOutputToMemory(console.out, sink);
  console.inUtf8 = false;
}

void moveConsoleToStandardError(Console& console) {
  console.out.file = platform::standardError();
  console.inUtf8 = platform::consoleShowsUtf8(console.out.file);
}

void printText(Console& console, std::string_view text) {
  writeMessage(console, text);
  flushConsole(console);
}

void holdLine(Console& console, std::string_view text) {
  writeMessage(console, text);
  writeLineEnd(console.out);
}

void printLine(Console& console, std::string_view text) {
  writeMessage(console, text);
  writeLineEnd(console.out);
  flushConsole(console);
}

void printProgressDot(Console& console) {
  write(console.out, ".");
  if (++console.dotsSinceClockReading < kDotsPerClockReading) return;
  console.dotsSinceClockReading = 0;
  if (Clock::now() - console.lastFlush >= kDotFlushInterval) flushConsole(console);
}
