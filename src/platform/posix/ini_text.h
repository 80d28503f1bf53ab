// Profile-string (INI) files as Windows reads and writes them: "[section]" lines and
// "key=value" lines; section and key names compare without regard to ASCII case and
// without the spaces around them; lines starting with ";" are comments.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zarn {
namespace posix {

// The value of the first `key` in the first `section`, spaces around it removed and one
// pair of enclosing double quotes dropped; false when there is none.
bool IniRead(const std::string& text, const std::string& section, const std::string& key, std::string& value);
// All key=value pairs of a section, in file order (keys may repeat).
std::vector<std::pair<std::string, std::string>> IniSection(const std::string& text, const std::string& section);
// The text with the first `key` of `section` set to `value`: the line is replaced, or
// added after the section's last entry, or a new section is added at the end.
std::string IniWrite(const std::string& text, const std::string& section, const std::string& key,
                     const std::string& value);
// The text without `section`.
std::string IniRemoveSection(const std::string& text, const std::string& section);

}  // namespace posix
}  // namespace zarn
