// Templates for theses, articles, conferences, proceedings and books.
#include "bibtex/bibtex.h"
#include "bibtex/field_lines.h"
#include "bibtex/templates.h"
#include "reader/reader.h"

namespace {

// The two thesis templates put the opening quote right after "=": the
// format's own spacing, compared by stored files and tools.
void writeThesisEntry(std::string_view entryType) {
  writeHeader(entryType);
  writeFieldLine("    author      =\"", fieldValue(AUT), "\",");
  writeFieldLine("    title       =\"", fieldValue(TIT), "\",");
  writeOptional("    school      =\"", QUE);
  writeOptional("    address     =\"", ORT);
  writeNumberField("    year        = ", fieldValue(JAH), false);
  writeNoteAndClose();
}

void writeMeetingEntry(std::string_view entryType) {
  writeHeader(entryType);
  writeFieldLine("    author      = \"", fieldValue(AUT), "\",");
  writeFieldLine("    title       = \"", fieldValue(TIT), "\",");
  writeOptional("    booktitle   = \"", QUE);
  writeNumberField("    year        = ", fieldValue(JAH), false);
  writeOptional("    editor      = \"", HER);
  writeOptional("    address     = \"", ORT);
  writeOptional("    pages       = \"", SEI);
  writeNoteAndClose();
}

}  // namespace

void writePhdThesisEntry() { writeThesisEntry("@PHDTHESIS{"); }

void writeMastersThesisEntry() { writeThesisEntry("@MASTERSTHESIS{"); }

void writeArticleEntry() {
  writeHeader("@ARTICLE{");
  writeFieldLine("    author      = \"", fieldValue(AUT), "\",");
  writeFieldLine("    title       = \"", fieldValue(TIT), "\",");
  writeOptional("    journal     = \"", QUE);
  writeOptional("    volume      = \"", BAN);
  writeOptional("    pages       = \"", SEI);
  writeNumberField("    year        = ", fieldValue(JAH), false);
  writeNoteAndClose();
}

void writeConferenceEntry() { writeMeetingEntry("@CONFERENCE{"); }

void writeProceedingsEntry() { writeMeetingEntry("@PROCEEDINGS{"); }

void writeInProceedingsEntry() { writeCrossrefEntry("@INPROCEEDINGS{"); }

void writeCrossrefEntry(std::string_view entryType) {
  writeHeader(entryType);
  writeFieldLine("    author      = \"", fieldValue(AUT), "\",");
  writeFieldLine("    title       = \"", fieldValue(TIT), "\",");
  writeOptional("    pages       = \"", SEI);
  // The crossref names another entry's key, so it is cleaned like one.
  writeOptionalField(OutputFile, "    crossref    = {", citationKey(fieldValue(QUE)), "},",
                     ValueKind::kKey);
  writeNoteAndClose();
}

void writeBookEntry() {
  writeHeader("@BOOK{");
  writeFieldLine("    author      = \"", fieldValue(AUT), "\",");
  writeOptional("    editor      = \"", HER);
  writeFieldLine("    title       = \"", fieldValue(TIT), "\",");
  writeOptional("    publisher   = \"", QUE);
  // Two blanks after "year =": the format's own spacing, compared by stored files and tools.
  writeNumberField("    year        =  ", fieldValue(JAH), true);
  writeOptional("    edition     = \"", BAN);
  writeOptional("    address     = \"", ORT);
  writeOptional("    isbn        = \"", ISB);
  writeNoteAndClose();
}
