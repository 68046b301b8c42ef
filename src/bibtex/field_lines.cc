#include "bibtex/field_lines.h"

#include <algorithm>

#include "bibtex/bibtex.h"
#include "bibtex/safe_value.h"
#include "reader/reader.h"

TextOutput OutputFile;
bool Nr2NoteFlag = false;

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isNumber(std::string_view value) {
  return !value.empty() && std::all_of(value.begin(), value.end(), isDigit);
}

// What BibTeX takes as a macro name here: a letter, then letters, digits and
// _ . : + / -.
bool isMacroName(std::string_view value) {
  if (value.empty() || !isAsciiLetter(value.front())) return false;
  return std::all_of(value.begin(), value.end(), [](char c) {
    return isAsciiLetter(c) || isDigit(c) || std::string_view("_.:+/-").find(c) != std::string_view::npos;
  });
}

}  // namespace

bool stripBareMark(std::string_view& value) {
  if (value.empty() || value.front() != '#') return false;
  std::string_view rest = value.substr(1);
  if (!isNumber(rest) && !isMacroName(rest)) return false;
  value = rest;
  return true;
}

void writeOptionalField(TextOutput& file, std::string_view before, std::string_view value,
                        std::string_view after, ValueKind kind) {
  // "#" alone is no value.
  if (value.empty() || value == "#") return;
  // Nearly every value is written in its delimiters; only a "#" asks more.
  if (value.front() != '#' || !stripBareMark(value)) {
    write(file, before);
    writeSafeValue(file, value, kind);
    write(file, after);
    writeLineEnd(file);
    return;
  }
  std::size_t quote = before.find('"');
  if (quote == std::string_view::npos || quote + 1 == before.size()) {
    write(file, before.substr(0, before.size() - 1));
    write(file, " ");
    write(file, value);
    write(file, ",");
    writeLineEnd(file);
    return;
  }
  // Fixed text after the opening quote, such as "aaa " or "\url{": leaving
  // the quote open would swallow the following fields, so the fixed text is
  // closed in its own quotes and joined to the bare value.
  write(file, before);
  write(file, "\" # ");
  write(file, value);
  std::size_t closing = after.rfind('"');
  std::string_view tail = closing == std::string_view::npos ? std::string_view{} : after.substr(0, closing);
  if (!tail.empty()) {
    write(file, " # \"");
    write(file, tail);
    write(file, "\"");
  }
  write(file, ",");
  writeLineEnd(file);
}

void writeOptional(std::string_view before, Tag tag, std::string_view after, ValueKind kind) {
  writeOptionalField(OutputFile, before, fieldValue(tag), after, kind);
}

// Every value between quotes or braces is written safe.
void writeFieldLine(std::string_view before, std::string_view value, std::string_view after) {
  write(OutputFile, before);
  writeSafeValue(OutputFile, value);
  write(OutputFile, after);
  writeLineEnd(OutputFile);
}

void writeNumberField(std::string_view before, std::string_view value, bool optional) {
  std::string_view bare = value;
  if (optional && (value == "#" || stripBareMark(bare))) {
    writeOptionalField(OutputFile, before, value, ",");
  } else if (isNumber(value)) {
    writeFieldLine(before, value, ",");
  } else if (!value.empty()) {
    write(OutputFile, before);
    writeFieldLine("\"", value, "\",");
  }
}

void writeHeader(std::string_view entryType) {
  write(OutputFile, entryType);
  write(OutputFile, EntryKey);
  write(OutputFile, ",");
  writeLineEnd(OutputFile);
}

void writeNoteLine() {
  const std::string& note = fieldValue(NOZ);
  const std::string& number = fieldValue(LNR);
  // "note =\"" here, "note = \"" below: the format's own spacing, compared by tools.
  if (!Nr2NoteFlag) {
    writeOptionalField(OutputFile, "    note        =\"", note, "\",");
  } else if (note.empty()) {
    writeOptionalField(OutputFile, "    note        = \"Database entry No: ", number, "\",");
  } else if (number.empty()) {
    writeFieldLine("    note        = \"", note, "\",");
  } else {
    write(OutputFile, "    note        = \"");
    writeSafeValue(OutputFile, note);
    writeFieldLine(" \\\\ Database entry No: ", number, "\",");
  }
}

void writeNoteAndClose() {
  writeNoteLine();
  write(OutputFile, "}");
  writeLineEnd(OutputFile);
}
