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
ExportModel modelExport(std::string_view bytes);

// Converts `bytes` with and without Nr2Note and checks:
// - the number of entries equals the number of records;
// - every entry begins with a line starting "@", holds only field lines
//   (starting with four blanks) and ends with the line "}" and one empty
//   line; every line ends in CR LF;
// - no character that the translation replaces reaches the BibTeX file;
// - the console shows one dot per entry and the count modulo 65536;
// - converting the same bytes twice gives the same bytes;
// - a later record's entry does not depend on the records before it: the
//   first record followed by the later ones in reverse order gives the same
//   entries in reverse order;
// - the first record, written twice as an export of its own, gives the same
//   entry twice (read once as the first record and once as a later one),
//   unless a line's tag or separator holds a character that the translation
//   replaces;
// - translating a translated line changes nothing.
// Returns an empty string when everything holds, otherwise what failed.
std::string checkConversion(std::string_view bytes);
