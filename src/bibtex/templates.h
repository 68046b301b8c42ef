// The thirteen entry templates. Each writes one complete entry for the
// current record, from its header line to the closing "}".
#pragma once

#include <string_view>

void writePhdThesisEntry();
void writeMastersThesisEntry();
void writeArticleEntry();
void writeConferenceEntry();
void writeProceedingsEntry();
void writeInProceedingsEntry();
void writeBookEntry();

void writeInBookEntry();
void writeManualEntry();
void writeTechReportEntry();
void writeMiscEntry();
void writeNorManualEntry();
void writeUrlMiscEntry();

// The entry of a part of another entry, which it names by crossref: author,
// title, pages. The in-proceedings and in-book templates are this one.
void writeCrossrefEntry(std::string_view entryType);
