#include "io/text_file.h"

#include "io/byte_scan.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
constexpr char kEndOfInput = 26;

// The characters that end the taken part of a line: line feed, carriage
// return and code 26. One table lookup per character keeps the scan short.
constexpr ByteSet kLineStop = [] {
  ByteSet stop{};
  stop['\n'] = stop['\r'] = stop[static_cast<unsigned char>(kEndOfInput)] = true;
  return stop;
}();
static_assert(coversSet(kControlRanges, kLineStop));

// The bytes that the census looks at one by one: code 26 and those above 127.
constexpr std::array<ByteRange, 2> kCensusRanges = {{{26, 26}, {128, 255}}};
constexpr ByteSet kCensusStop = [] {
  ByteSet stop{};
  stop[static_cast<unsigned char>(kEndOfInput)] = true;
  for (int c = 128; c < 256; ++c) stop[c] = true;
  return stop;
}();
static_assert(coversSet(kCensusRanges, kCensusStop));

void countBytes(ByteCensus& census, const char* p, const char* end) {
  // In slices, with a look after each whether counting may stop.
  constexpr std::ptrdiff_t kSlice = 64 * 1024;
  if (end - p > kSlice) {
    for (; p != end && !census.ended; p += std::min(kSlice, end - p)) countBytes(census, p, p + std::min(kSlice, end - p));
    return;
  }
  if (census.settled != nullptr && census.settled(census)) census.ended = true;
  while (!census.ended && p != end) {
    const char* next = findFirstOf<kCensusRanges>(p, end, kCensusStop);
    // A 7-bit byte inside a sequence breaks it.
    if (next != p && census.utf8.needed > 0 && census.wellFormedUtf8) {
      census.wellFormedUtf8 = false;
      census.utf8 = {};
    }
    if (next != end && *next == kEndOfInput) {
      census.ended = true;
      return;
    }
    // The bytes above 127 from here on, at once: in UTF-8 they come in runs.
    for (p = next; p != end && static_cast<unsigned char>(*p) >= 128; ++p) {
      auto byte = static_cast<unsigned char>(*p);
      census.seen[byte] = true;
      if (census.wellFormedUtf8 && !utf8Step(census.utf8, byte)) census.wellFormedUtf8 = false;
    }
  }
}

// Moves past a UTF-8 byte-order mark at the start of the input, where the
// input is read so.
void skipByteOrderMark(TextInput& in) {
  in.atStart = false;
  if (in.skipsByteOrderMark && in.end - in.pos >= 3 && std::memcmp(in.pos, "\xEF\xBB\xBF", 3) == 0) {
    in.pos += 3;
    in.byteOrderMark = true;
  }
}

// Makes sure at least one byte is buffered. False at the end of the source.
bool fill(TextInput& in) {
  // An input from memory holds all its bytes from the start.
  if (in.atStart && in.pos != in.end) skipByteOrderMark(in);
  while (in.pos == in.end) {
    if (in.exhausted) return false;
    std::size_t got = 0;
    int error = in.failure.error == 0 ? platform::readSome(in.file, in.storage.get(), kBufferSize, got) : 0;
    if (error != 0) noteFailure(in.failure, error, "read", in.name);
    if (got == 0) {
      in.exhausted = true;
      return false;
    }
    in.pos = in.storage.get();
    in.end = in.pos + got;
    if (in.atStart) skipByteOrderMark(in);
    if (in.census != nullptr) countBytes(*in.census, in.pos, in.end);
  }
  return true;
}

}  // namespace

void noteFailure(Failure& failure, int error, std::string_view operation, std::string_view name) {
  if (failure.error != 0) return;
  failure.error = error;
  failure.operation = operation;
  failure.name = name;
}

int exitCodeOf(int error) {
  // 8 and 9 already mean a missing export and a wrong command line; a failure
  // with such a number (EBADF for a closed console on POSIX, out of memory on
  // Windows) ends as an input/output error does. The line names the number.
  return error == kExitNoExport || error == kExitUsage ? kExitInputOutput : error;
}

std::string runtimeErrorLine(const Failure& failure) {
  std::string text = "Runtime error " + std::to_string(failure.error);
  text += " at ";
  text += failure.operation;
  if (!failure.name.empty()) {
    text += " '";
    text += platform::consoleName(failure.name);
    text += "'";
  }
  return text;
}

void openInput(TextInput& in, const std::string& name) {
  in = TextInput{};
  in.name = name;
  int error = platform::openForReading(name, in.file);
  if (error != 0) {
    noteFailure(in.failure, error, "open", name);
    in.exhausted = true;
    return;
  }
  in.storage = std::make_unique<char[]>(kBufferSize);
  if (platform::canReadAgain(in.file)) {
    error = platform::fileStamp(in.file, in.stamp);
    if (error != 0) noteFailure(in.failure, error, "open", name);
  }
}

void openInputFromMemory(TextInput& in, std::string_view bytes, bool once) {
  in = TextInput{};
  in.fromMemory = true;
  in.once = once;
  in.memory = bytes;
  in.exhausted = true;
  in.pos = bytes.data();
  in.end = bytes.data() + bytes.size();
}

void startCensus(TextInput& in, ByteCensus& census) {
  in.census = &census;
  countBytes(census, in.pos, in.end);
}

void endCensus(TextInput& in) {
  // A sequence that the input's end cuts short is broken.
  if (in.census != nullptr && in.census->utf8.needed > 0) in.census->wellFormedUtf8 = false;
  in.census = nullptr;
}

bool canRewind(TextInput& in) {
  if (in.failure.error != 0) return false;
  return in.fromMemory ? !in.once : platform::canReadAgain(in.file);
}

void rewindInput(TextInput& in) {
  if (in.fromMemory) {
    in.pos = in.memory.data();
    in.end = in.memory.data() + in.memory.size();
    in.atStart = true;
    return;
  }
  int error = platform::rewindFile(in.file);
  if (error != 0) noteFailure(in.failure, error, "seek", in.name);
  in.pos = in.end = nullptr;
  in.exhausted = false;
  in.atStart = true;
}

bool inputChanged(TextInput& in) {
  if (in.fromMemory) return false;
  platform::FileStamp now;
  int error = platform::fileStamp(in.file, now);
  if (error != 0) noteFailure(in.failure, error, "rereading", in.name);
  return !(now == in.stamp);
}

bool atEnd(TextInput& in) { return !fill(in) || *in.pos == kEndOfInput; }

void readLine(TextInput& in, std::string& line) {
  line.clear();
  // Take characters until 255 are taken or a line feed or code 26 is next.
  // A carriage return counts as taken but is not kept.
  std::size_t taken = 0;
  std::size_t consumed = 0;  // bytes, carriage returns among them
  in.keptByBytes = 0;
  // Notes the kept bytes among the first 255 consumed.
  auto keep = [&](std::size_t bytes) {
    in.keptByBytes += std::min(bytes, kMaxLineLength - std::min(consumed, kMaxLineLength));
  };
  while (taken < kMaxLineLength && fill(in)) {
    std::size_t room = kMaxLineLength - taken;
    const char* start = in.pos;
    // A character of UTF-8 takes up to four bytes.
    std::size_t look = in.countsCharacters ? 4 * room : room;
    const char* stop = in.pos + std::min<std::size_t>(in.end - in.pos, look);
    // All three stops are control characters, below a blank.
    const char* p = findFirstOf<kControlRanges>(start, stop, kLineStop);
    std::string_view piece(start, static_cast<std::size_t>(p - start));
    if (in.countsCharacters) {
      std::size_t fits = utf8BytesOf(piece, room);
      taken += utf8Characters(piece.substr(0, fits));
      if (fits < piece.size()) {
        // The 255th character ends before the line does.
        keep(fits);
        line.append(piece.substr(0, fits));
        in.pos = start + fits;
        break;
      }
    } else {
      taken += piece.size();
    }
    keep(piece.size());
    consumed += piece.size();
    line.append(piece);
    in.pos = p;
    // A line end after the 255th character is the rest's.
    if (p == stop || taken == kMaxLineLength) continue;
    if (*p != '\r') break;  // line feed or code 26: the line is complete
    ++in.pos;
    ++taken;
    // Read by bytes, a carriage return past the 255th byte that no line feed
    // follows would have ended the line.
    if (consumed++ >= kMaxLineLength && fill(in) && *in.pos != '\n') in.lineEndsDependOnCodePage = true;
  }
  // The rest of the 255th character, where the look ended before it did.
  if (in.countsCharacters && taken == kMaxLineLength) {
    while (fill(in) && !startsCharacter(*in.pos)) line += *in.pos++;
  }
  // Move past the end of the line. Only the rest of an overlong line is left
  // here; a carriage return ends it too, with one line feed right after it.
  while (fill(in)) {
    char c = *in.pos;
    if (c == kEndOfInput) return;
    ++in.pos;
    if (c == '\n') return;
    if (c == '\r') {
      if (fill(in) && *in.pos == '\n') ++in.pos;
      return;
    }
  }
}

namespace {

// Where the next line starts when the control code at `p` ends the line in
// the common way: a line feed, alone or after a carriage return. nullptr for
// everything else (code 26, a carriage return without a line feed after it
// in the buffer), which readLine decides.
const char* afterSimpleLineEnd(const char* p, const char* end) {
  if (*p == '\n') return p + 1;
  if (*p == '\r' && p + 1 != end && p[1] == '\n') return p + 2;
  return nullptr;
}

}  // namespace

std::string_view readLineView(TextInput& in) {
  // Most lines lie whole in the buffer and end in the common way; such a
  // line is its bytes in the buffer. Everything else is read by readLine.
  const char* start = in.pos;
  const char* limit = start + std::min<std::size_t>(in.end - start, kMaxLineLength);
  const char* p = findFirstOf<kControlRanges>(start, limit, kLineStop);
  if (p != limit) {
    in.keptByBytes = static_cast<std::size_t>(p - start);
    if (const char* next = afterSimpleLineEnd(p, in.end)) {
      in.pos = next;
      return {start, p};
    }
    if (*p == kEndOfInput) {
      in.pos = p;
      return {start, p};
    }
  }
  readLine(in, in.lineCopy);
  return in.lineCopy;
}

bool skipPastEmptyLine(TextInput& in) {
  const char* p = in.pos;
  const char* end = in.end;
  if (p == end) return false;
  if (const char* next = afterSimpleLineEnd(p, end)) {
    in.pos = next;
    return true;
  }
#if KARTCONV_SCAN_SIXTEEN
  // Thirty-two positions at a time, marking a line feed that a line feed or
  // a carriage return follows (an empty line may start there), and the bytes
  // that need readLine: code 26, and a carriage return without a line feed
  // after it. Most blocks hold neither: one branch per block, not one per
  // line, as records are mostly short lines (this look at the lines brings
  // 5 to 14 % of a run's time against reading each line to its end).
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i carriageReturn = _mm_set1_epi8('\r');
  const __m128i endOfInput = _mm_set1_epi8(kEndOfInput);
  auto notable = [&](const char* at) {
    __m128i at0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i at1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
    __m128i feed1 = _mm_cmpeq_epi8(at1, lineFeed);
    __m128i endsLine = _mm_or_si128(feed1, _mm_cmpeq_epi8(at1, carriageReturn));
    __m128i marked = _mm_and_si128(_mm_cmpeq_epi8(at0, lineFeed), endsLine);
    marked = _mm_or_si128(marked, _mm_cmpeq_epi8(at0, endOfInput));
    marked = _mm_or_si128(marked, _mm_andnot_si128(feed1, _mm_cmpeq_epi8(at0, carriageReturn)));
    return static_cast<unsigned>(_mm_movemask_epi8(marked));
  };
  while (end - p >= 35) {
    std::uint32_t marked = notable(p) | notable(p + 16) << 16;
    if (marked != 0) {
      const char* at = p + std::countr_zero(marked);
      if (*at != '\n') return false;  // code 26 or a lone carriage return
      // The line after this line feed is empty where it ends at once.
      const char* next = afterSimpleLineEnd(at + 1, end);
      if (next == nullptr) return false;
      in.pos = next;
      return true;
    }
    p += 32;
  }
#endif
  return false;
}

void closeInput(TextInput& in) {
  if (in.fromMemory || in.file == platform::kNoFile) return;
  int error = platform::closeFile(in.file);
  in.file = platform::kNoFile;
  if (error != 0) noteFailure(in.failure, error, "close", in.name);
}

void createOutput(TextOutput& out, const std::string& name) {
  platform::File file = platform::kNoFile;
  platform::Replacement replacement;
  int error = platform::createReplacement(name, file, replacement);
  attachOutput(out, file, name, kBufferSize);
  if (error != 0) {
    noteFailure(out.failure, error, "create", name);
    return;
  }
  out.replacement = std::move(replacement);
  // A descriptor the process was given stays open for whoever gave it.
  out.open = !out.replacement.inherited;
}

void commitOutput(TextOutput& out) {
  if (out.replacement.temporaryName.empty()) return;
  int error = platform::commitReplacement(out.replacement);
  if (error == 0) {
    out.replacement.temporaryName.clear();
    return;
  }
  noteFailure(out.failure, error, "rename", out.name);
  abandonOutput(out);
}

void abandonOutput(TextOutput& out) {
  // Windows removes no file that is open.
  if (out.open) platform::closeFile(out.file);
  out.open = false;
  if (!out.replacement.temporaryName.empty()) platform::abandonReplacement(out.replacement);
  out.replacement.temporaryName.clear();
}

void attachOutput(TextOutput& out, platform::File file, std::string name,
                  std::size_t capacity) {
  out = TextOutput{};
  out.file = file;
  out.name = std::move(name);
  out.capacity = capacity;
  out.storage = std::make_unique<char[]>(capacity);
}

void attachOutputToMemory(TextOutput& out, std::string& sink) {
  out = TextOutput{};
  out.sink = &sink;
}

void flush(TextOutput& out) {
  if (out.used == 0) return;
  int error = out.failure.error == 0 ? platform::writeAll(out.file, out.storage.get(), out.used) : 0;
  out.used = 0;
  if (error != 0) noteFailure(out.failure, error, "write", out.name);
}

// Writing to memory, or more than the buffer has room for.
void writeSlow(TextOutput& out, std::string_view text) {
  if (out.sink != nullptr) {
    out.sink->append(text);
    return;
  }
  if (out.used + text.size() > out.capacity) {
    flush(out);
    if (text.size() > out.capacity) {
      int error = out.failure.error == 0 ? platform::writeAll(out.file, text.data(), text.size()) : 0;
      if (error != 0) noteFailure(out.failure, error, "write", out.name);
      return;
    }
  }
  std::memcpy(out.storage.get() + out.used, text.data(), text.size());
  out.used += text.size();
}

void writeLineEnd(TextOutput& out) { write(out, "\r\n"); }

void closeOutput(TextOutput& out) {
  if (out.sink != nullptr) return;
  flush(out);
  if (!out.open) return;
  if (!out.replacement.temporaryName.empty() && out.failure.error == 0) {
    int error = platform::syncFile(out.file);
    if (error != 0) noteFailure(out.failure, error, "write", out.name);
  }
  int error = platform::closeFile(out.file);
  out.open = false;
  if (error != 0) noteFailure(out.failure, error, "close", out.name);
}
