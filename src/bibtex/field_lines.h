// The pieces from which the entry templates build their lines. Every line
// ends in CR LF; nothing is ever cut, however long the value.
#pragma once

#include <string_view>

#include "bibtex/bibtex.h"
#include "bibtex/safe_value.h"
#include "io/text_file.h"
#include "reader/reader.h"

// Removes a leading "#" from `value` when what follows it is a number (digits
// only) or a BibTeX macro name (a letter, then letters, digits and
// _ . : + / -). True when it did: the value is then to be written bare.
bool stripBareMark(std::string_view& value);

// The line of an optional field: nothing when the value is empty or "#",
// otherwise before + the value made safe + after. A value that stripBareMark
// accepts is written bare: the opening delimiter at the end of `before`
// becomes a blank and `after` becomes ",". Where fixed text follows the opening quote inside `before`
// (and precedes the closing quote in `after`), that text keeps its quotes and
// is joined to the bare value by BibTeX's " # ".
void writeOptionalField(EntryWriter& w, std::string_view before, Field value,
                        std::string_view after, ValueKind kind = ValueKind::kText);

// Writes `value` safe (see makeSafe), counting the characters written as "?"
// for want of a TeX form; a value kind kAsItStands, or one the reader found
// plain, as it stands.
void writeSafeValue(EntryWriter& w, Field value, ValueKind kind = ValueKind::kText);

// writeOptionalField with the value of `tag` in the current record.
void writeOptional(EntryWriter& w, std::string_view before, Tag tag,
                   std::string_view after = "\",", ValueKind kind = ValueKind::kText);

// A line written whatever the value holds: before + the value made safe +
// after.
void writeFieldLine(EntryWriter& w, std::string_view before, Field value, std::string_view after);

// A year or edition line, whose value BibTeX reads unquoted only when it is a
// number: digits alone are written bare, any other value in double quotes,
// and an empty value writes no line. `optional` lines also take the "#" rule.
void writeNumberField(EntryWriter& w, std::string_view before, Field value, bool optional);

// "@TYPE{" + the entry's key + ",".
void writeHeader(EntryWriter& w, std::string_view entryType);

// The note line (NOZ, and LNR with Nr2Note), then the closing "}".
void writeNoteAndClose(EntryWriter& w);

void writeNoteLine(EntryWriter& w);
