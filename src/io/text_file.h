// Buffered 8-bit text files as the export and the BibTeX file need them,
// and the one way a failed file or console operation ends the run.
//
// Reading: a line ends at a line feed; a carriage return is never part of a
// line; code 26 ends the input; at most 255 characters of a line are kept and
// the rest of a longer line is read past. Writing: the caller adds the line
// end ("\r\n") itself, so every written line ends in CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

inline constexpr std::size_t kMaxLineLength = 255;

// Exit codes that are not the error number of a failed operation.
inline constexpr int kExitInputOutput = 5;  // a failure whose number is 8 or 9
inline constexpr int kExitSameFile = 7;
inline constexpr int kExitNoExport = 8;
inline constexpr int kExitUsage = 9;
inline constexpr int kExitExportChanged = 11;  // the export changed while it was read: try again

struct TextInput {
  platform::File file = platform::kNoFile;
  std::string name;
  std::unique_ptr<char[]> storage;
  const char* pos = nullptr;
  const char* end = nullptr;
  bool fromMemory = false;
  bool once = false;        // from memory, but to be read only once
  std::string_view memory;  // all of an input from memory
  bool exhausted = false;  // the source has no more bytes to give
  std::string lineCopy;    // a line that did not lie whole in the buffer
  platform::FileStamp stamp;  // of a file on disk, when it was opened
};

struct TextOutput {
  platform::File file = platform::kNoFile;
  std::string name;
  std::unique_ptr<char[]> storage;
  std::size_t used = 0;
  std::size_t capacity = 0;
  std::string* sink = nullptr;  // when set, bytes go here instead of to `file`
  // Where `file` is a temporary file that is to replace `name` (see
  // createOutput); `name` stays what the user gave, for the failure line.
  platform::Replacement replacement;
};

// An output (the console) whose buffered bytes are written out, errors
// ignored, before a runtime error ends the process, so that what the run had
// printed before the failure still shows.
extern TextOutput* SavedOnRuntimeError;

// Prints "Runtime error <n> ..." on the standard error stream and ends the
// process with exit code `error` (5 for 8 and 9, whose codes mean other
// things). `operation` and `name` tell the place.
// A BibTeX file written under a temporary name is removed first.
[[noreturn]] void endWithRuntimeError(int error, std::string_view operation,
                                      std::string_view name);

void openInput(TextInput& in, const std::string& name);
// Reads from `bytes`, which must outlive the input. Used where the export is
// already in memory; `once` makes it an input that cannot be read again, as
// a pipe is.
void openInputFromMemory(TextInput& in, std::string_view bytes, bool once = false);
// True when no character is left or the next one is code 26.
bool atEnd(TextInput& in);
// Reads one line into `line` (replacing its content). At the end of the input
// the line is empty.
void readLine(TextInput& in, std::string& line);
// The same line without copying it where it lies whole in the buffer. The
// view is valid until the next call on `in`.
std::string_view readLineView(TextInput& in);
// Moves past the lines from the current one (at the start of a line) up to
// and including the next empty line, as reading them one by one would, and
// returns true. Only where they lie whole in the buffer and each ends in a
// line feed, alone or after a carriage return, with no code 26 among them:
// there a line is simply what lies between two line feeds. Otherwise it
// moves nothing and returns false, and the caller reads line by line.
bool skipPastEmptyLine(TextInput& in);
void closeInput(TextInput& in);
// True when the input can be read once more from its start: a file on disk
// or memory, not a pipe or a terminal.
bool canRewind(TextInput& in);
// Starts reading the input again from its first byte.
void rewindInput(TextInput& in);
// True when a file on disk now has another size or time of change than when
// it was opened. An editor that saves under the same name makes a new file
// and leaves the open one as it was: that is no change.
bool inputChanged(TextInput& in);


// Creates the file `name` for writing. Where it can, the bytes go to a new
// temporary file beside it, which takes its place only at commitOutput; a
// runtime error before that removes it, so the earlier file stays as it was.
void createOutput(TextOutput& out, const std::string& name);
// Puts a file written under a temporary name in its place; call it when the
// whole run has succeeded, after closeOutput.
void commitOutput(TextOutput& out);
void attachOutput(TextOutput& out, platform::File file, std::string name,
                  std::size_t capacity);
void attachOutputToMemory(TextOutput& out, std::string& sink);
void writeSlow(TextOutput& out, std::string_view text);
// Appends `text` to the output's buffer. A BibTeX entry is written in many
// short pieces, so the common case, room in the buffer, is inline. An output
// to memory has no buffer (capacity 0) and always takes the slow way.
inline void write(TextOutput& out, std::string_view text) {
  if (text.size() < out.capacity - out.used) {
    std::memcpy(out.storage.get() + out.used, text.data(), text.size());
    out.used += text.size();
    return;
  }
  writeSlow(out, text);
}
void writeLineEnd(TextOutput& out);
void flush(TextOutput& out);
void closeOutput(TextOutput& out);
