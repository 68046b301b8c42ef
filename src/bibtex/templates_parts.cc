// Templates for book parts, manuals, reports, miscellaneous and web entries.
#include "bibtex/bibtex.h"
#include "bibtex/field_lines.h"
#include "bibtex/templates.h"
#include "reader/reader.h"

namespace {

// Without an author the title serves as sort key, otherwise the KEY field.
void writeKeyLine(EntryWriter& w, std::string_view titleKeyBefore) {
  if (w.field(AUT).empty()) {
    writeOptional(w, titleKeyBefore, TIT);
  } else {
    writeOptional(w, "    key         = \"", KEY);
  }
}

// The title joined with its subtitle; the subtitle alone when there is no
// title. `before` and `after` frame the joined title.
void writeTitleWithSubtitle(EntryWriter& w, std::string_view before, std::string_view after) {
  Field title = w.field(TIT);
  Field subtitle = w.field(UNT);
  if (title.empty()) {
    writeOptional(w, "    title       = \"", UNT);
    return;
  }
  write(w.out, before);
  writeSafeValue(w, title);
  if (!subtitle.empty()) {
    write(w.out, ", ");
    writeSafeValue(w, subtitle);
  }
  write(w.out, after);
  writeLineEnd(w.out);
}

// "Typ:" and the report's kind, which starts at the sixth character.
void writeReportTypeLine(EntryWriter& w) {
  const std::string& type = w.value(TYP);
  if (!type.starts_with("Typ:")) return;
  writeFieldLine(w, "    type        = \"", type.size() > 5 ? std::string_view(type).substr(5) : "",
                 "\",");
}

}  // namespace

void writeInBookEntry(EntryWriter& w) { writeCrossrefEntry(w, "@INBOOK{"); }

void writeManualEntry(EntryWriter& w) {
  writeHeader(w, "@MANUAL{");
  writeOptional(w, "    author      = \"", AUT);
  writeKeyLine(w, "    key         = \"");
  writeFieldLine(w, "    title       = \"", w.field(TIT), "\",");
  // No blank before "=": the format's own spacing, compared by stored files and tools.
  writeOptional(w, "    organization= \"", QUE);
  writeNumberField(w, "    edition     = ", w.field(BAN), true);
  writeNumberField(w, "    year        = ", w.field(JAH), true);
  writeOptional(w, "    address     = \"", ORT);
  writeNoteAndClose(w);
}

void writeTechReportEntry(EntryWriter& w) {
  writeHeader(w, "@TECHREPORT{");
  writeOptional(w, "    author      = \"", AUT);
  writeKeyLine(w, "    key         = \"");
  writeFieldLine(w, "    title       = \"", w.field(TIT), "\",");
  writeReportTypeLine(w);
  writeOptional(w, "    institution = \"", QUE);
  // Two blanks after "year =": the format's own spacing, compared by stored files and tools.
  writeNumberField(w, "    year        =  ", w.field(JAH), true);
  writeOptional(w, "    number      = \"", BAN);
  writeOptional(w, "    address     = \"", ORT);
  writeNoteAndClose(w);
}

void writeMiscEntry(EntryWriter& w) {
  writeHeader(w, "@MISC{");
  writeOptional(w, "    author      = \"", AUT);
  writeKeyLine(w, "    key         = \"");
  writeTitleWithSubtitle(w, "    title       = \"", "\",");
  writeOptional(w, "    institution = \"", QUE);
  writeNumberField(w, "    year        = ", w.field(JAH), true);
  writeOptional(w, "    address     = \"", ORT);
  writeNoteAndClose(w);
}

void writeNorManualEntry(EntryWriter& w) {
  writeHeader(w, "@MANUAL{");
  writeOptional(w, "    author      = \"", AUT);
  writeKeyLine(w, "    key         = \"aaa ");
  writeTitleWithSubtitle(w, "    title       = \"{", "}\",");
  // From here "=" stands one column further, and two blanks follow "year =":
  // the format's own spacing, compared by stored files and tools.
  writeOptional(w, "    organization = \"", QUE);
  writeNumberField(w, "    year         =  ", w.field(JAH), true);
  writeOptional(w, "    address      = \"", ORT);
  writeNoteAndClose(w);
}

void writeUrlMiscEntry(EntryWriter& w) {
  writeHeader(w, "@MISC{");
  writeOptional(w, "    author      = \"", AUT);
  writeKeyLine(w, "    key         = \"");
  writeTitleWithSubtitle(w, "    title       = \"", "\",");
  std::string address;
  webAddressInto(w.record.rawValue(w.record.rawSourceLine), w.record.codePage, address);
  writeOptionalField(w, "    howpublished= \"\\url{", address, "}\",", ValueKind::kAsItStands);
  writeNumberField(w, "    year        = ", w.field(JAH), true);
  writeNoteAndClose(w);
}
