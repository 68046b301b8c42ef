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
// must show up as a failed write (error 32 on POSIX), not kill the process;
// a file-size limit is a failed write too; an interruption (SIGINT,
// SIGTERM, SIGHUP, SIGQUIT; Ctrl+C, Ctrl+Break or a closed console window on
// Windows) removes the temporary file and ends the process as it would have.
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
// The size and the time of the last change of an open file, as the system
// has them now: an export that is changed while it is read shows here.
struct FileStamp {
  unsigned long long size = 0;
  long long modified = 0;          // seconds, or the system's own unit
  long long modifiedFraction = 0;  // nanoseconds where the system has them
  bool operator==(const FileStamp&) const = default;
};
int fileStamp(File file, FileStamp& stamp);
// The BibTeX file while it is written: a hidden temporary file beside it
// that takes its place at commitReplacement, with its owner, group, mode,
// access-control list and other extended attributes; or, where that cannot
// be done without anyone gaining or losing rights (no regular file, hard
// links, attributes a new file cannot get, a folder that takes no new file),
// the file itself. POSIX follows the name with descriptors and refuses
// (EACCES) a link planted in a sticky, world-writable folder by someone who
// owns neither it nor the folder; "/dev/stdout", "/dev/stderr", "/dev/fd/N"
// and "/proc/self/fd/N" are written through that descriptor as it stands.
struct Replacement {
  std::string temporaryName;  // empty: the file itself is written
  std::string targetName;     // the file the temporary file replaces
  int folder = -1;            // POSIX: the folder both stand in, held open
  // The BibTeX file is written through the process's standard output (or
  // the same open file), so the console must go to standard error.
  bool sharesStandardOutput = false;
  // Written through a descriptor the process was given: it is not closed.
  bool inherited = false;
};

// Creates the file that the BibTeX file `name` is written into (see above).
// Returns 0 or the error number.
int createReplacement(const std::string& name, File& file, Replacement& replacement);
// Writes the file's data through to the disk before it takes the earlier
// file's place, so that a crash leaves the old file or the new one.
int syncFile(File file);
// Puts the closed temporary file in the place of the file it replaces, then
// flushes the folder (a failure of that flush is no error: the new file is
// whole and in place). Returns 0 or the error number of the rename.
int commitReplacement(Replacement& replacement);
// Removes the temporary file of a failing run, errors ignored.
void abandonReplacement(Replacement& replacement);

// What an interruption (a signal, a console control event) does before the
// process ends: removes the temporary file of the run, if there is one. Safe
// to call from a signal handler; tests call it directly.
void removeTemporaryOnInterrupt();

// A file name as the console can show it in a failure line: the bytes
// unchanged on POSIX, the console's code page on Windows.
std::string consoleName(std::string_view name);

// True when `console` is a terminal that shows UTF-8: on POSIX, the first of
// LC_ALL, LC_CTYPE and LANG that is set and not empty names "UTF-8" or
// "utf8" (any letter case), whether or not that locale is installed. The
// console's code page 437 letters are then written in UTF-8. Always false on
// Windows, whose console shows code page 437.
bool consoleShowsUtf8(File console);

File standardOutput();
File standardError();

// The system's error number for memory that could not be had (ENOMEM on
// POSIX, ERROR_NOT_ENOUGH_MEMORY on Windows).
int outOfMemoryError();

// Ends the process at once with `code`, without closing or flushing anything.
[[noreturn]] void exitProcess(int code);

}  // namespace platform
