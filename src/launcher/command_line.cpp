#include "launcher/command_line.h"

namespace zarn {

namespace {
bool IsBlank(char c) { return c != '\0' && static_cast<unsigned char>(c) <= ' '; }
}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> words;
  const size_t n = commandLine.size();
  size_t i = 0;
  for (;;) {
    for (;;) {
      while (i < n && IsBlank(commandLine[i])) ++i;
      // "" before a word adds nothing and starts no word.
      if (i + 1 < n && commandLine[i] == '"' && commandLine[i + 1] == '"') {
        i += 2;
        continue;
      }
      break;
    }
    if (i >= n || commandLine[i] == '\0') break;
    std::string word;
    while (i < n && commandLine[i] != '\0' && !IsBlank(commandLine[i])) {
      if (commandLine[i] == '"') {
        ++i;
        while (i < n && commandLine[i] != '\0' && commandLine[i] != '"') word += commandLine[i++];
        if (i < n && commandLine[i] == '"') ++i;
      } else {
        word += commandLine[i++];
      }
    }
    words.push_back(word);
  }
  return words;
}

std::string QuoteParameter(const std::string& text) { return "\"" + text + "\""; }

}  // namespace zarn
