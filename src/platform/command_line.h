// The words of a Windows command line, split as the console program always
// split them: blanks and control characters (codes 1 to 32) separate words;
// a double quote starts a quoted part that runs to the next double quote or
// to the end of the line, may hold blanks, and loses its quotes. A word that
// is nothing but empty quotes ("") is no word at all. A backslash is an
// ordinary character, so a name like "C:\Daten\" keeps its last backslash.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Every word of `line`, the program's own name (the first word) included.
std::vector<std::wstring> splitCommandLine(std::wstring_view line);

}  // namespace platform
