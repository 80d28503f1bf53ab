// What the command-line tools ask of their console, the same on either system.
#pragma once

#include <cstdio>

namespace zarn {

// True when the stream is a terminal (a progress line is drawn only there).
bool IsTerminal(std::FILE* stream);
// Standard output from now on takes bytes as they are (Windows would add a CR to each LF).
void BinaryStdout();

}  // namespace zarn
