// Templates for book parts, manuals, reports, miscellaneous and web entries.
#include "bibtex/bibtex.h"
#include "bibtex/field_lines.h"
#include "bibtex/templates.h"
#include "reader/reader.h"

namespace {

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

void writeInBookEntry() { writeCrossrefEntry("@INBOOK{"); }

void writeManualEntry() {
  writeHeader("@MANUAL{");
  writeOptional("    author      = \"", AUT);
  writeKeyLine("    key         = \"");
  writeFieldLine("    title       = \"", fieldValue(TIT), "\",");
  // No blank before "=": the format's own spacing, compared by stored files and tools.
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
  // Two blanks after "year =": the format's own spacing, compared by stored files and tools.
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
  // From here "=" stands one column further, and two blanks follow "year =":
  // the format's own spacing, compared by stored files and tools.
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
