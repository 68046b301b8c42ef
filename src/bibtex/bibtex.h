// The BibTeX writer: one entry for the current record, chosen by the first
// three characters of its type field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bibtex/entry_keys.h"
#include "bibtex/safe_value.h"
#include "convert/translate.h"
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
  // Characters written as "?" for want of a TeX form, counted for the
  // console.
  std::uint64_t withoutTexForm = 0;

  const std::string& value(Tag tag) const { return record.value(tag); }
  Field field(Tag tag) const { return {record.value(tag), record.isPlain(tag)}; }
};

// Writes the current record's entry and one empty line after it.
void selectEntryTemplate(EntryWriter& w);

// The citation key that every BibTeX reader takes of `value` as it stands
// in the export, read in `page`: each letter gives its base letters (see
// keyLettersInto), an accent command typed in the export the letters it
// stands for; then only ASCII letters, digits and - _ : . / + stay. The
// second form builds the key in `key` with `letters` as scratch.
std::string keyOfValue(std::string_view value, CodePage page);
void keyOfValueInto(std::string_view value, CodePage page, std::string& key, std::string& letters);
// For a whole line of the export as the first reading takes it, before the
// code page is known: false where its value gives a key in every code page
// (it holds a character that keys keep); true where it may give none.
bool mayGiveEmptyKey(std::string_view line);
// True where the line's value is its own citation key in every code page:
// a line of 7-bit text whose value holds only characters that keys keep.
bool isOwnKeyLine(std::string_view line);
