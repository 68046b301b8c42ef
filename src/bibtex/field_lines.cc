#include "bibtex/field_lines.h"

#include <algorithm>

#include "bibtex/bibtex.h"
#include "reader/reader.h"

TextOutput OutputFile;
bool Nr2NoteFlag = false;

namespace {

void writeLine(std::string_view before, std::string_view value, std::string_view after) {
  write(OutputFile, before);
  write(OutputFile, value);
  write(OutputFile, after);
  writeLineEnd(OutputFile);
}

bool isNumber(std::string_view value) {
  return !value.empty() &&
         std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool stripBareMark(std::string_view& value) {
  if (value.empty() || value.front() != '#') return false;
  value.remove_prefix(1);
  return true;
}

void writeOptionalField(TextOutput& file, std::string_view before, std::string_view value,
                        std::string_view after) {
  bool bare = stripBareMark(value);
  if (value.empty()) return;
  if (!bare) {
    write(file, before);
    write(file, value);
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

void writeFieldLine(std::string_view before, std::string_view value, std::string_view after) {
  writeLine(before, value, after);
}

void writeNumberField(std::string_view before, std::string_view value, bool optional) {
  if (optional && (isNumber(value) || value.starts_with('#'))) {
    writeOptionalField(OutputFile, before, value, ",");
  } else if (isNumber(value)) {
    writeLine(before, value, ",");
  } else if (!value.empty()) {
    write(OutputFile, before);
    writeLine("\"", value, "\",");
  }
}

void writeHeader(std::string_view entryType) {
  writeLine(entryType, citationKey(fieldValue(KUR)), ",");
}

void writeNoteLine() {
  const std::string& note = fieldValue(NOZ);
  const std::string& number = fieldValue(LNR);
  if (!Nr2NoteFlag) {
    writeOptionalField(OutputFile, "    note        =\"", note, "\",");
  } else if (note.empty()) {
    writeOptionalField(OutputFile, "    note        = \"Database entry No: ", number, "\",");
  } else if (number.empty()) {
    writeLine("    note        = \"", note, "\",");
  } else {
    write(OutputFile, "    note        = \"");
    write(OutputFile, note);
    writeLine(" \\\\ Database entry No: ", number, "\",");
  }
}

void writeNoteAndClose() {
  writeNoteLine();
  write(OutputFile, "}");
  writeLineEnd(OutputFile);
}
