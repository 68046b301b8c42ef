// The BibTeX writer: one entry for the current record, chosen by the first
// three characters of its type field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bibtex/entry_keys.h"
#include "io/text_file.h"

// The BibTeX file being written.
extern TextOutput OutputFile;

// Set when the run was asked to add each record's running number (LNR) to
// its note line.
extern bool Nr2NoteFlag;

// Writes the current record's entry and one empty line after it.
void selectEntryTemplate();

// The citation key that BibTeX can read for a translated value: each accent
// command of the character translation stands as the plain letters it
// carries, and every character that BibTeX or biber cannot hold in a key is
// dropped (codes 0 to 32, 127 and above, and , { } ( ) " # % ' = \ ~).
std::string citationKey(std::string_view value);
// True when citationKey(value) is empty: the key drops every character.
// Holds for a value as it stands in the export as well as for a translated
// one.
bool givesEmptyKey(std::string_view value);
// True when `value`, as it stands in the export, is its own citation key
// whatever code page the export is read in: every character is a 7-bit one
// that keys keep and that the character translation leaves alone. Not empty.
bool isOwnKey(std::string_view value);

// The citation key of the current record's entry (see entry_keys.h).
extern std::string EntryKey;
