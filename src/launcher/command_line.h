// The program's command line split into words (blanks separate, double quotes only group).
#pragma once

#include <string>
#include <vector>

namespace zarn {

// Splits a command line into its words: blanks (any byte up to the space) separate
// words; a double quote only groups, is dropped, and has no escape, so a backslash
// before it stays part of the word ("D:\" gives D:\). Leading pairs of empty quotes
// are skipped. The program's own name is the first word.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The parameter text that hands a folder to a copy of the program: the folder in
// double quotes, its trailing backslash kept directly before the closing quote.
std::string QuoteParameter(const std::string& text);

}  // namespace zarn
