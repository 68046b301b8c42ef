// The thirteen entry templates. Each writes one complete entry for the
// current record, from its header line to the closing "}".
#pragma once

#include <string_view>

#include "bibtex/bibtex.h"

void writePhdThesisEntry(EntryWriter& w);
void writeMastersThesisEntry(EntryWriter& w);
void writeArticleEntry(EntryWriter& w);
void writeConferenceEntry(EntryWriter& w);
void writeProceedingsEntry(EntryWriter& w);
void writeInProceedingsEntry(EntryWriter& w);
void writeBookEntry(EntryWriter& w);

void writeInBookEntry(EntryWriter& w);
void writeManualEntry(EntryWriter& w);
void writeTechReportEntry(EntryWriter& w);
void writeMiscEntry(EntryWriter& w);
void writeNorManualEntry(EntryWriter& w);
void writeUrlMiscEntry(EntryWriter& w);

// The entry of a part of another entry, which it names by crossref: author,
// title, pages. The in-proceedings and in-book templates are this one.
void writeCrossrefEntry(EntryWriter& w, std::string_view entryType);
