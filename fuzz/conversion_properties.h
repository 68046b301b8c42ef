// What must hold for every conversion, whatever bytes the export holds:
// checked by the fuzzer on arbitrary input and by the tests on fixed input.
//
// The reading rules are modelled here a second time, byte by byte and
// independently of the reader, so that the number of entries the converter
// writes is checked against a count that does not come from its own code.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What a byte-by-byte reading of an export finds.
struct ExportModel {
  // Every record that has at least one field line: its lines as kept.
  std::vector<std::vector<std::string>> records;
  bool firstRecordHasLnr = false;  // the first record has an LNR line
};

// Reads `bytes` by the export's rules: a line feed ends a line, a carriage
// return is never part of one (but counts towards the 255 characters kept),
// code 26 ends the input, the rest of a line past 255 characters is skipped
// (there a carriage return ends the line too), and empty lines between
// records are skipped.
// `utf8` reads it as UTF-8: a byte-order mark first is no line's, and the
// 255 characters of a line are characters of UTF-8.
ExportModel modelExport(std::string_view bytes, bool utf8 = false);

// Converts `bytes` with and without Nr2Note and checks:
// - the number of entries equals the number of records;
// - every entry begins with a line starting "@", holds only field lines
//   (starting with four blanks) and ends with the line "}" and one empty
//   line; every line ends in CR LF;
// - every byte of the BibTeX file is a printable 7-bit character, a tab, CR
//   or LF (so no character that the translation replaces reaches it);
// - every field value is one that BibTeX reads as written: balanced braces,
//   no double quote outside braces within quotes;
// - citation keys are never empty and never repeat, letter case aside;
// - the console shows one dot per entry, the count modulo 65536 and, when
//   keys were given anew, at most as many as there are entries;
// - converting the same bytes twice gives the same bytes;
// - a later record's entry does not depend on the records before it: the
//   first record followed by the later ones in reverse order gives the same
//   entries in reverse order (their fields; a key may take a suffix);
// - the first record, written twice as an export of its own, gives the same
//   entry twice (read once as the first record and once as a later one),
//   the key's suffix aside;
// - in every code page a translated line holds only 7-bit text (and the
//   mark of characters without a TeX form), and translating it again
//   changes nothing;
// - the same text written in code page 437, UTF-8 and ISO 8859-1, each read
//   in its own code page, gives the same BibTeX file.
// Returns an empty string when everything holds, otherwise what failed.
std::string checkConversion(std::string_view bytes);
