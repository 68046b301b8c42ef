// The small layer that hides what differs between POSIX and Windows:
// command-line words, file handles, file identity, error numbers and the
// end of the process. Everything above it works on byte strings and calls
// only these functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

#ifdef _WIN32
using File = void*;  // a Windows HANDLE
#else
using File = int;    // a POSIX file descriptor
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

// A file name as the console can show it in a failure line: the bytes
// unchanged on POSIX, the console's code page on Windows.
std::string consoleName(std::string_view name);

File standardOutput();
File standardError();

// Ends the process at once with `code`, without closing or flushing anything.
[[noreturn]] void exitProcess(int code);

}  // namespace platform
