// The command line: the file names and the optional third word, and options
// (words that begin with "--") anywhere among them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "convert/translate.h"

struct CommandLine {
  std::vector<std::string> words;  // every word that is no option, in order
  bool help = false;
  bool version = false;
  std::optional<CodePage> encoding;  // the last --encoding= given
  // The first option the program does not know, as given; or the first
  // code page name it does not know.
  std::string unknownOption;
  std::string unknownEncoding;
};

// "--" alone ends the options: every word after it is a word, even one that
// begins with "--".
CommandLine parseCommandLine(const std::vector<std::string>& words);

// What --help prints after the banner: usage, options and exit codes.
extern const char* const kHelpText;
