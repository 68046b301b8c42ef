// Runs the built kartconv as a separate process, the way a user does, and
// collects the bytes it leaves on the console and its exit code.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct ProgramResult {
  int exitCode = -1;      // -1 when the process died from a signal
  int signal = 0;
  std::string out;        // standard output bytes
  std::string err;        // standard error bytes
};

// Capture: the console goes to a file. Pipe: a reader takes all of it.
// PipeClosedMidRun: a reader that reads the console up to the first progress
// dot and then goes away, as `kartconv ... | head -c 100` does. Closed: the
// program starts with its standard output closed, as `kartconv ... >&-`.
enum class ConsoleTarget { Capture, Closed, ClosedPipe, DevFull, File, Pipe, PipeClosedMidRun };

// The program runs in a UTF-8 locale (C.UTF-8), in which only a terminal
// gets its console in UTF-8. With ConsoleTarget::File the console goes to
// `consolePath` (which may lie on a small file system that fills up) and
// `out` holds what reached it. `asNobody` runs it as user nobody when the
// tests run as root, so that file permissions bind it as they bind a user.
// `descriptor3`, where given, is the program's descriptor 3, as in
// `kartconv ... 3>>file`; the program gets no other descriptor beyond its
// standard ones.
ProgramResult runProgram(const std::vector<std::string>& args,
                         ConsoleTarget console = ConsoleTarget::Capture,
                         const std::string& consolePath = "", bool asNobody = false,
                         int descriptor3 = -1);

// A run of the program with its standard input and its console on pipes, as
// in `producer | kartconv /dev/stdin out.bib | reader`.
struct Dialogue {
  int input;          // the program's standard input
  int console;        // the program's standard output
  std::string shown;  // what the console has shown so far
  int pid;            // the program's process, for a signal to it
  void send(const std::string& bytes);
  // Reads the console until it has shown `text`; false after 5 seconds
  // without it, or when the console ends first.
  bool waitFor(const std::string& text);
};

// Runs `talk` while the program runs, then ends its standard input and reads
// the rest of the console. The standard error stream is not collected.
ProgramResult talkToProgram(const std::vector<std::string>& args,
                            const std::function<void(Dialogue&)>& talk);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// A new, empty folder for the running test, named after `stem`, the process
// and the test, so that parallel test processes never share one.
std::filesystem::path freshTestFolder(const std::string& stem);
