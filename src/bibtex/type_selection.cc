#include <array>
#include <string_view>

#include "bibtex/bibtex.h"
#include "bibtex/templates.h"
#include "reader/reader.h"

namespace {

struct TypeKeyRow {
  std::string_view key;
  void (*writeEntry)(EntryWriter& w);
};

// Matched against the first three characters of the type, letter case
// included; the first matching row wins.
constexpr std::array<TypeKeyRow, 13> TypeKeyTable = {{
    {"Art", writeArticleEntry},
    {"Ber", writeTechReportEntry},
    {"Typ", writeTechReportEntry},
    {"Buc", writeBookEntry},
    {"InB", writeInBookEntry},
    {"Dip", writeMastersThesisEntry},
    {"Dis", writePhdThesisEntry},
    {"Kon", writeConferenceEntry},
    {"Pro", writeProceedingsEntry},
    {"InP", writeInProceedingsEntry},
    {"Man", writeManualEntry},
    {"Nor", writeNorManualEntry},
    {"URL", writeUrlMiscEntry},
}};

}  // namespace

void selectEntryTemplate(EntryWriter& w) {
  std::string_view prefix = std::string_view(w.value(TYP)).substr(0, 3);
  bool templateWritten = false;
  for (const TypeKeyRow& row : TypeKeyTable) {
    if (prefix == row.key) {
      row.writeEntry(w);
      templateWritten = true;
      break;
    }
  }
  if (!templateWritten) writeMiscEntry(w);
  writeLineEnd(w.out);
}
