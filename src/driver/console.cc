#include "driver/console.h"

#include <chrono>
#include <cstdint>

#include "driver/driver.h"

TextOutput Console;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kDotFlushInterval = std::chrono::milliseconds(50);

// Reading the clock costs about as much as converting a tenth of a record,
// so it is read only every few dots; a record takes microseconds, so the
// dots still show within the interval.
constexpr int kDotsPerClockReading = 16;

Clock::time_point LastFlush{};
int DotsSinceClockReading = 0;

void flushConsole() {
  flush(Console);
  LastFlush = Clock::now();
}

}  // namespace

void printText(std::string_view text) {
  write(Console, text);
  flushConsole();
}

void printLine(std::string_view text) {
  write(Console, text);
  writeLineEnd(Console);
  flushConsole();
}

void printProgressDot() {
  write(Console, ".");
  if (++DotsSinceClockReading < kDotsPerClockReading) return;
  DotsSinceClockReading = 0;
  if (Clock::now() - LastFlush >= kDotFlushInterval) flushConsole();
}
