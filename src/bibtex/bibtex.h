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
// Holds for a value as it stands in the export as well as for a translated
// one.
bool givesEmptyKey(std::string_view value);
// The key of a value as it stands in the export (not translated), in lower
// case: citationKey of the translated value with "A" to "Z" lowered. False
// when `value` holds a "{", "\\" or " ", where an accent command typed by
// hand may start: only the translated value tells what that gives.
bool lowerKeyOfExportValue(std::string_view value, std::string& key);

// The citation key of the current record's entry, given by giveEntryKey.
extern std::string EntryKey;
// The entries whose key is not their cleaned KUR (empty or repeated).
extern std::uint64_t RenamedKeyCount;

// Forgets all keys.
void resetEntryKeys();
// Notes the key the current record asks for, in a first pass over the
// export, so that no suffix given later takes a key a later record asks
// for: its cleaned KUR; for an empty one, "KART" and the cleaned LNR, or
// "KART" and `entryNumber` (1 for the first entry) when that is empty too.
// The KUR and LNR values may be translated or as they stand in the export.
// endCollectingKeys ends that pass.
void collectExportKey(std::uint64_t entryNumber);
void endCollectingKeys();
// Sets EntryKey for the current record: the key it asks for, unless an
// earlier entry has that key (letter case aside); then that key with the
// smallest suffix "-2", "-3", ... that no record asks for and no entry has.
void giveEntryKey(std::uint64_t entryNumber);
