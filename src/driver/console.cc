#include "driver/console.h"

#include <chrono>
#include <cstdint>

#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kDotFlushInterval = std::chrono::milliseconds(50);

// Reading the clock costs about as much as converting a tenth of a record,
// so it is read only every few dots; a record takes microseconds, so the
// dots still show within the interval.
constexpr int kDotsPerClockReading = 16;

// The characters of code page 437 from byte 128 on, as Unicode code points.
constexpr char16_t kCodePage437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 128
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 144
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // 160
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // 176
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // 192
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // 208
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // 224
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // 240
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Appends the code page 437 text `text` in UTF-8.
void appendUtf8(std::string& out, std::string_view text) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 128) {
      out += c;
      continue;
    }
    char16_t code = kCodePage437[byte - 128];
    if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
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
