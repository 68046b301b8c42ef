// Templates for book parts, manuals, reports, miscellaneous and web entries.
#include "bibtex/bibtex.h"
#include "bibtex/field_lines.h"
#include "bibtex/templates.h"
#include "reader/reader.h"

namespace {

void writeOptional(std::string_view before, Tag tag, std::string_view after = "\",",
                   ValueKind kind = ValueKind::kText) {
  writeOptionalField(OutputFile, before, fieldValue(tag), after, kind);
}

// Without an author the title serves as sort key, otherwise the KEY field.
void writeKeyLine(std::string_view titleKeyBefore) {
  if (fieldValue(AUT).empty()) {
    writeOptional(titleKeyBefore, TIT);
  } else {
    writeOptional("    key         = \"", KEY);
  }
}

// The title joined with its subtitle; the subtitle alone when there is no
// title. `before` and `after` frame the joined title.
void writeTitleWithSubtitle(std::string_view before, std::string_view after) {
  const std::string& title = fieldValue(TIT);
  const std::string& subtitle = fieldValue(UNT);
  if (title.empty()) {
    writeOptional("    title       = \"", UNT);
    return;
  }
  write(OutputFile, before);
  writeSafeValue(OutputFile, title);
  if (!subtitle.empty()) {
    write(OutputFile, ", ");
    writeSafeValue(OutputFile, subtitle);
  }
  write(OutputFile, after);
  writeLineEnd(OutputFile);
}

// "Typ:" and the report's kind, which starts at the sixth character.
void writeReportTypeLine() {
  const std::string& type = fieldValue(TYP);
  if (!type.starts_with("Typ:")) return;
  writeFieldLine("    type        = \"", type.size() > 5 ? std::string_view(type).substr(5) : "",
                 "\",");
}

}  // namespace

void writeInBookEntry() {
  writeHeader("@INBOOK{");
  writeFieldLine("    author      = \"", fieldValue(AUT), "\",");
  writeFieldLine("    title       = \"", fieldValue(TIT), "\",");
  writeOptional("    pages       = \"", SEI);
  writeOptionalField(OutputFile, "    crossref    = {", citationKey(fieldValue(QUE)), "},",
                     ValueKind::kKey);
  writeNoteAndClose();
}

void writeManualEntry() {
  writeHeader("@MANUAL{");
  writeOptional("    author      = \"", AUT);
  writeKeyLine("    key         = \"");
  writeFieldLine("    title       = \"", fieldValue(TIT), "\",");
  writeOptional("    organization= \"", QUE);
  writeNumberField("    edition     = ", fieldValue(BAN), true);
  writeNumberField("    year        = ", fieldValue(JAH), true);
  writeOptional("    address     = \"", ORT);
  writeNoteAndClose();
}

void writeTechReportEntry() {
  writeHeader("@TECHREPORT{");
  writeOptional("    author      = \"", AUT);
  writeKeyLine("    key         = \"");
  writeFieldLine("    title       = \"", fieldValue(TIT), "\",");
  writeReportTypeLine();
  writeOptional("    institution = \"", QUE);
  writeNumberField("    year        =  ", fieldValue(JAH), true);
  writeOptional("    number      = \"", BAN);
  writeOptional("    address     = \"", ORT);
  writeNoteAndClose();
}

void writeMiscEntry() {
  writeHeader("@MISC{");
  writeOptional("    author      = \"", AUT);
  writeKeyLine("    key         = \"");
  writeTitleWithSubtitle("    title       = \"", "\",");
  writeOptional("    institution = \"", QUE);
  writeNumberField("    year        = ", fieldValue(JAH), true);
  writeOptional("    address     = \"", ORT);
  writeNoteAndClose();
}

void writeNorManualEntry() {
  writeHeader("@MANUAL{");
  writeOptional("    author      = \"", AUT);
  writeKeyLine("    key         = \"aaa ");
  writeTitleWithSubtitle("    title       = \"{", "}\",");
  writeOptional("    organization = \"", QUE);
  writeNumberField("    year         =  ", fieldValue(JAH), true);
  writeOptional("    address      = \"", ORT);
  writeNoteAndClose();
}

void writeUrlMiscEntry() {
  writeHeader("@MISC{");
  writeOptional("    author      = \"", AUT);
  writeKeyLine("    key         = \"");
  writeTitleWithSubtitle("    title       = \"", "\",");
  writeOptional("    howpublished= \"\\url{", QUE, "}\",", ValueKind::kWebAddress);
  writeNumberField("    year        = ", fieldValue(JAH), true);
  writeNoteAndClose();
}
