// The thirteen entry templates. Each writes one complete entry for the
// current record, from its header line to the closing "}".
#pragma once

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
