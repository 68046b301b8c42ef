// Buffered 8-bit text files as the export, the BibTeX file and the console
// need them. A failed operation is kept in its file as a Failure: reading
// then finds the end of the input and writing writes nothing, and the
// driver, which looks after each record, ends the run with it.
//
// Reading: a line ends at a line feed; a carriage return is never part of a
// line; code 26 ends the input; at most 255 characters of a line are kept and
// the rest of a longer line is read past (characters of UTF-8 where the input
// is read so, bytes otherwise). A UTF-8 byte-order mark at the start is no
// line's. Writing: the caller adds the line
// end ("\r\n") itself, so every written line ends in CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "io/utf8.h"
#include "platform/platform.h"

inline constexpr std::size_t kMaxLineLength = 255;

// Exit codes that are not the error number of a failed operation.
inline constexpr int kExitInputOutput = 5;  // a failure whose number is 8 or 9
inline constexpr int kExitSameFile = 7;
inline constexpr int kExitNoExport = 8;
inline constexpr int kExitUsage = 9;
inline constexpr int kExitExportChanged = 11;  // the export changed while it was read: try again

// The first operation of a file that failed: its error number (0 for none),
// what it was, and the file's name as the user gave it.
struct Failure {
  int error = 0;
  std::string_view operation;
  std::string name;
};

// What an export's bytes up to code 26 hold, gathered as it is read once
// from its start: which bytes occur, and whether every byte above 127 is
// part of a well-formed UTF-8 sequence. Its code page is decided from this.
struct ByteCensus {
  std::array<bool, 256> seen{};
  bool wellFormedUtf8 = true;
  Utf8State utf8;
  bool ended = false;  // code 26 was met: what follows is not the export's
  // Where set: true once no later byte can change what the census decides,
  // so that counting may stop.
  bool (*settled)(const ByteCensus& census) = nullptr;
};

struct TextInput {
  platform::File file = platform::kNoFile;
  Failure failure;
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
  // The input began with the UTF-8 byte-order mark, which is no line's;
  // it is looked for only where `skipsByteOrderMark` (an input that is
  // read in another code page keeps those bytes as characters).
  bool byteOrderMark = false;
  bool skipsByteOrderMark = true;
  bool atStart = true;     // nothing was read from the input yet
  // The line limit counts characters of UTF-8 instead of bytes.
  bool countsCharacters = false;
  // Counting characters, a line went on past a lone carriage return where
  // counting bytes would have ended it: the export's lines are not the same
  // in every code page.
  bool lineEndsDependOnCodePage = false;
  // Of the line just read, how many bytes a reading by bytes keeps of it (it
  // stops after 255 bytes, carriage returns counted): the part that both
  // readings of an export give alike, where they count differently.
  std::size_t keptByBytes = 0;
  ByteCensus* census = nullptr;  // counts every byte read, where set
};

struct TextOutput {
  platform::File file = platform::kNoFile;
  Failure failure;
  std::string name;
  std::unique_ptr<char[]> storage;
  std::size_t used = 0;
  std::size_t capacity = 0;
  std::string* sink = nullptr;  // when set, bytes go here instead of to `file`
  // Where `file` is a temporary file that is to replace `name` (see
  // createOutput); `name` stays what the user gave, for the failure line.
  platform::Replacement replacement;
  bool open = false;  // `file` is open and is the output's own to close
};

// Keeps `error` as the failure of `failure`, unless an earlier one is kept.
void noteFailure(Failure& failure, int error, std::string_view operation, std::string_view name);

// The line that tells a failure on the standard error stream, without its
// line end: "Runtime error <n> at <operation> '<name>'".
std::string runtimeErrorLine(const Failure& failure);
// The exit code of a failure: its error number, but 5 for 8 and 9, whose
// codes mean other things.
int exitCodeOf(int error);

// Opens the export; a failure is kept in `in`.
void openInput(TextInput& in, const std::string& name);
// Reads from `bytes`, which must outlive the input. Used where the export is
// already in memory; `once` makes it an input that cannot be read again, as
// a pipe is.
void openInputFromMemory(TextInput& in, std::string_view bytes, bool once = false);
// True when no character is left or the next one is code 26.
bool atEnd(TextInput& in);
// Counts every byte of the input from where it stands into `census` as
// it is read, up to code 26; endCensus stops and settles the count.
void startCensus(TextInput& in, ByteCensus& census);
void endCensus(TextInput& in);
// Reads one line into `line` (replacing its content). At the end of the input
// the line is empty.
void readLine(TextInput& in, std::string& line);
// The same line without copying it where it lies whole in the buffer. The
// view is valid until the next call on `in`.
std::string_view readLineView(TextInput& in);
// Moves past the lines from the current one up to and including the next
// empty line, as reading them would, and returns true; or, where a line in
// the buffer does not end in the common way, moves nothing and returns false.
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
// temporary file beside it, which takes its place only at commitOutput;
// abandonOutput removes it, so the earlier file stays as it was.
void createOutput(TextOutput& out, const std::string& name);
// Puts a file written under a temporary name in its place; call it when the
// whole run has succeeded, after closeOutput.
void commitOutput(TextOutput& out);
// Closes the output without a look at errors and removes a temporary file:
// the run failed.
void abandonOutput(TextOutput& out);
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
