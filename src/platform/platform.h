// The small layer that hides what differs between POSIX and Windows:
// command-line words, file handles, file identity, replacing a file, the
// console's character set, error numbers and the end of the process.
// Everything above it works on byte strings and calls only these functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// kNoFile is the value of a file that was never opened. No open file has it,
// so a stray operation on it fails instead of reaching standard input (which
// is descriptor 0 on POSIX).
#ifdef _WIN32
using File = void*;  // a Windows HANDLE
inline constexpr File kNoFile = nullptr;  // no handle at all; CreateFile never gives it
#else
using File = int;    // a POSIX file descriptor
inline constexpr File kNoFile = -1;
#endif

// Called once at the start of the process: a console whose reader went away
// must show up as a failed write (error 32 on POSIX), not kill the process.
void prepareProcess();

// The words after the program's name. Empty words ("") are not counted.
// On Windows they are read from the process's command line (argc and argv
// are not used) and given in UTF-8, the form every file name below takes.
std::vector<std::string> commandWords(int argc, char** argv);

// True when `name` is not empty, is not a folder, and can be opened for
// reading and closed again.
bool isReadableFile(const std::string& name);

// True when `output` exists and is the same file as `input`, however the two
// are spelt (other path, symbolic link, hard link).
bool isSameFile(const std::string& input, const std::string& output);

// Each of these returns 0 on success, otherwise the operating system's error
// number of the failed operation (never 0 on failure).
int openForReading(const std::string& name, File& file);
int createForWriting(const std::string& name, File& file);  // empties an existing file
int readSome(File file, char* buffer, std::size_t capacity, std::size_t& got);
int writeAll(File file, const char* data, std::size_t size);
int closeFile(File file);

// True when `file` is a file on disk, which can be read again from its start
// (a pipe or a terminal cannot).
bool canReadAgain(File file);
// Moves the reading position of such a file back to its start.
int rewindFile(File file);
// The BibTeX file while it is written. A file of its own on disk, or a name
// not taken yet, is written into a new temporary file in the same folder,
// which takes the file's place only when the run has succeeded, so that a
// failed run leaves the earlier file as it was.
struct Replacement {
  std::string temporaryName;  // empty: the file itself is written, as before
  std::string targetName;     // the file the temporary file replaces
};

// Creates the file that the BibTeX file `name` is written into. It is a
// temporary file beside the file `name` names (through a symbolic link on
// POSIX), with that file's permission bits, owner and group, or 0666 less the
// umask for a new file. Where `name` is not a regular file (a device, a
// pipe), has other names (hard links) or is a link on Windows, or where the
// folder takes no new file, `name` itself is created as by createForWriting,
// with the same errors, and `replacement.temporaryName` stays empty.
int createReplacement(const std::string& name, File& file, Replacement& replacement);
// Puts the closed temporary file in the place of the file it replaces.
int commitReplacement(const Replacement& replacement);
// Removes a file; used for a temporary file of a failing run, so errors are
// ignored.
void removeFile(const std::string& name);

// A file name as the console can show it in a failure line: the bytes
// unchanged on POSIX, the console's code page on Windows.
std::string consoleName(std::string_view name);

// True when standard output is a terminal that shows UTF-8 (on POSIX, the
// character set of the user's locale is UTF-8); the console's code page 437
// letters are then written in UTF-8. Always false on Windows, whose console
// shows code page 437.
bool consoleShowsUtf8();

// Zero-filled memory for a large table that is filled in no order (the
// citation keys of a whole export), or nullptr when none is left. Blocks of 2
// MiB and more are backed by large pages where the system offers them, and
// smaller ones from 64 KiB get their pages at once where it can (Linux):
// first touching each small page of such a table costs more than the work
// done in it. freeZeroed takes the same size.
void* allocateZeroed(std::size_t bytes);
void freeZeroed(void* memory, std::size_t bytes);

File standardOutput();
File standardError();

// Ends the process at once with `code`, without closing or flushing anything.
[[noreturn]] void exitProcess(int code);

}  // namespace platform
