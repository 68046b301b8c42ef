#include "bibtex/field_lines.h"

#include <algorithm>

#include "bibtex/bibtex.h"
#include "bibtex/safe_value.h"
#include "convert/translate.h"
#include "reader/reader.h"

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

void writeSafeValue(EntryWriter& w, Field value, ValueKind kind) {
  if (kind == ValueKind::kAsItStands || value.plain) {
    write(w.out, value.text);
    return;
  }
  std::string safe;
  bool changed = makeSafe(value.text, kind, safe, w.withoutTexForm);
  write(w.out, changed ? std::string_view(safe) : value.text);
}

void writeOptionalField(EntryWriter& w, std::string_view before, Field field,
                        std::string_view after, ValueKind kind) {
  TextOutput& file = w.out;
  std::string_view value = field.text;
  // "#" alone is no value.
  if (value.empty() || value == "#") return;
  // Nearly every value is written in its delimiters; only a "#" asks more.
  if (value.front() != '#' || !stripBareMark(value)) {
    write(file, before);
    writeSafeValue(w, field, kind);
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

void writeOptional(EntryWriter& w, std::string_view before, Tag tag, std::string_view after,
                   ValueKind kind) {
  writeOptionalField(w, before, w.field(tag), after, kind);
}

// Every value between quotes or braces is written safe.
void writeFieldLine(EntryWriter& w, std::string_view before, Field value, std::string_view after) {
  write(w.out, before);
  writeSafeValue(w, value);
  write(w.out, after);
  writeLineEnd(w.out);
}

void writeNumberField(EntryWriter& w, std::string_view before, Field field, bool optional) {
  std::string_view value = field.text;
  std::string_view bare = value;
  if (optional && (value == "#" || stripBareMark(bare))) {
    writeOptionalField(w, before, field, ",");
  } else if (isNumber(value)) {
    writeFieldLine(w, before, field, ",");
  } else if (!value.empty()) {
    write(w.out, before);
    writeFieldLine(w, "\"", field, "\",");
  }
}

void writeHeader(EntryWriter& w, std::string_view entryType) {
  write(w.out, entryType);
  write(w.out, w.key);
  write(w.out, ",");
  writeLineEnd(w.out);
}

void writeNoteLine(EntryWriter& w) {
  Field note = w.field(NOZ);
  Field number = w.field(LNR);
  // "note =\"" here, "note = \"" below: the format's own spacing, compared by tools.
  if (!w.nr2note) {
    writeOptionalField(w, "    note        =\"", note, "\",");
  } else if (note.empty()) {
    writeOptionalField(w, "    note        = \"Database entry No: ", number, "\",");
  } else if (number.empty()) {
    writeFieldLine(w, "    note        = \"", note, "\",");
  } else {
    write(w.out, "    note        = \"");
    writeSafeValue(w, note);
    writeFieldLine(w, " \\\\ Database entry No: ", number, "\",");
  }
}

void writeNoteAndClose(EntryWriter& w) {
  writeNoteLine(w);
  write(w.out, "}");
  writeLineEnd(w.out);
}
