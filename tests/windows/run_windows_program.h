// Runs kartconv.exe as a Windows process with a command line given exactly
// as typed, the way the console hands it over, and collects the bytes it
// writes to its standard handles and its exit code.
#pragma once

#include <string>

struct WindowsRun {
  unsigned long exitCode = 0;
  std::string out;  // standard output bytes
  std::string err;  // standard error bytes
};

enum class ConsoleTarget { Capture, ClosedPipe };

// kartconv.exe, which the build puts beside the test program.
std::wstring kartconvPath();

// Runs `program` with the command line `"program" arguments` in `folder`.
// The process gets no console of its own, so its failure lines show names in
// the OEM code page whatever console the test itself runs in.
WindowsRun runWindowsProgram(const std::wstring& program, const std::wstring& arguments,
                             const std::wstring& folder,
                             ConsoleTarget console = ConsoleTarget::Capture);
