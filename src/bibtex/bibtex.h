// The BibTeX writer: one entry for the current record, chosen by the first
// three characters of its type field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
bool givesEmptyKey(std::string_view value);

// The citation key of the current record's entry, given by giveEntryKey.
extern std::string EntryKey;
// The entries whose key is not their cleaned KUR (empty or repeated).
extern std::uint64_t RenamedKeyCount;

// The key the current record asks for: its cleaned KUR; for an empty one,
// "KART" and the cleaned LNR, or "KART" and `entryNumber` (1 for the first
// entry) when that is empty too.
std::string recordKey(std::uint64_t entryNumber);

// Forgets all keys.
void resetEntryKeys();
// Notes the key the current record asks for, in a first pass over the
// export, so that no suffix given later takes a key a later record asks
// for. endCollectingKeys ends that pass.
void collectExportKey(std::uint64_t entryNumber);
void endCollectingKeys();
// Sets EntryKey for the current record: the key it asks for, unless an
// earlier entry has that key (letter case aside); then that key with the
// smallest suffix "-2", "-3", ... that no record asks for and no entry has.
void giveEntryKey(std::uint64_t entryNumber);
