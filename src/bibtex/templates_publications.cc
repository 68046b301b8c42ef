// Templates for theses, articles, conferences, proceedings and books.
#include "bibtex/bibtex.h"
#include "bibtex/field_lines.h"
#include "bibtex/templates.h"
#include "reader/reader.h"

namespace {

// The two thesis templates put the opening quote right after "=": the
// format's own spacing, compared by stored files and tools.
void writeThesisEntry(EntryWriter& w, std::string_view entryType) {
  writeHeader(w, entryType);
  writeFieldLine(w, "    author      =\"", w.field(AUT), "\",");
  writeFieldLine(w, "    title       =\"", w.field(TIT), "\",");
  writeOptional(w, "    school      =\"", QUE);
  writeOptional(w, "    address     =\"", ORT);
  writeNumberField(w, "    year        = ", w.field(JAH), false);
  writeNoteAndClose(w);
}

void writeMeetingEntry(EntryWriter& w, std::string_view entryType) {
  writeHeader(w, entryType);
  writeFieldLine(w, "    author      = \"", w.field(AUT), "\",");
  writeFieldLine(w, "    title       = \"", w.field(TIT), "\",");
  writeOptional(w, "    booktitle   = \"", QUE);
  writeNumberField(w, "    year        = ", w.field(JAH), false);
  writeOptional(w, "    editor      = \"", HER);
  writeOptional(w, "    address     = \"", ORT);
  writeOptional(w, "    pages       = \"", SEI);
  writeNoteAndClose(w);
}

}  // namespace

void writePhdThesisEntry(EntryWriter& w) { writeThesisEntry(w, "@PHDTHESIS{"); }

void writeMastersThesisEntry(EntryWriter& w) { writeThesisEntry(w, "@MASTERSTHESIS{"); }

void writeArticleEntry(EntryWriter& w) {
  writeHeader(w, "@ARTICLE{");
  writeFieldLine(w, "    author      = \"", w.field(AUT), "\",");
  writeFieldLine(w, "    title       = \"", w.field(TIT), "\",");
  writeOptional(w, "    journal     = \"", QUE);
  writeOptional(w, "    volume      = \"", BAN);
  writeOptional(w, "    pages       = \"", SEI);
  writeNumberField(w, "    year        = ", w.field(JAH), false);
  writeNoteAndClose(w);
}

void writeConferenceEntry(EntryWriter& w) { writeMeetingEntry(w, "@CONFERENCE{"); }

void writeProceedingsEntry(EntryWriter& w) { writeMeetingEntry(w, "@PROCEEDINGS{"); }

void writeInProceedingsEntry(EntryWriter& w) { writeCrossrefEntry(w, "@INPROCEEDINGS{"); }

void writeCrossrefEntry(EntryWriter& w, std::string_view entryType) {
  writeHeader(w, entryType);
  writeFieldLine(w, "    author      = \"", w.field(AUT), "\",");
  writeFieldLine(w, "    title       = \"", w.field(TIT), "\",");
  writeOptional(w, "    pages       = \"", SEI);
  // The crossref names another entry's key, so it is cleaned like one.
  writeOptionalField(w, "    crossref    = {", keyOfValue(w.record.rawValue(w.record.rawSourceLine), w.record.codePage),
                     "},", ValueKind::kAsItStands);
  writeNoteAndClose(w);
}

void writeBookEntry(EntryWriter& w) {
  writeHeader(w, "@BOOK{");
  writeFieldLine(w, "    author      = \"", w.field(AUT), "\",");
  writeOptional(w, "    editor      = \"", HER);
  writeFieldLine(w, "    title       = \"", w.field(TIT), "\",");
  writeOptional(w, "    publisher   = \"", QUE);
  // Two blanks after "year =": the format's own spacing, compared by stored files and tools.
  writeNumberField(w, "    year        =  ", w.field(JAH), true);
  writeOptional(w, "    edition     = \"", BAN);
  writeOptional(w, "    address     = \"", ORT);
  writeOptional(w, "    isbn        = \"", ISB);
  writeNoteAndClose(w);
}
