// The BibTeX writer: one entry for the current record, chosen by the first
// three characters of its type field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bibtex/entry_keys.h"
#include "bibtex/safe_value.h"
#include "io/text_file.h"
#include "reader/reader.h"

// What the templates write an entry with.
struct EntryWriter {
  TextOutput& out;               // the BibTeX file
  const ExportReader& record;    // the current record
  // Set when the run was asked to add each record's running number (LNR) to
  // its note line.
  bool nr2note = false;
  std::string key;               // the entry's citation key (see EntryKeys)

  const std::string& value(Tag tag) const { return record.value(tag); }
  Field field(Tag tag) const { return {record.value(tag), record.isPlain(tag)}; }
};

// Writes the current record's entry and one empty line after it.
void selectEntryTemplate(EntryWriter& w);

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
