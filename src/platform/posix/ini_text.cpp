#include "platform/posix/ini_text.h"

#include "runtime/sjis.h"

namespace zarn {
namespace posix {

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(cur);
      cur.clear();
    } else {
      cur += text[i];
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

// The section name of a "[name]" line; false for other lines.
bool SectionOf(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t[0] != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

bool EntryOf(const std::string& line, std::string& key, std::string& value) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == ';') return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(t.substr(0, eq));
  value = Trim(t.substr(eq + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return true;
}

}  // namespace

bool IniRead(const std::string& text, const std::string& section, const std::string& key, std::string& value) {
  for (const auto& entry : IniSection(text, section)) {
    if (SameText(entry.first, Trim(key))) {
      value = entry.second;
      return true;
    }
  }
  return false;
}

std::vector<std::pair<std::string, std::string>> IniSection(const std::string& text, const std::string& section) {
  std::vector<std::pair<std::string, std::string>> entries;
  bool inside = false, seen = false;
  for (const std::string& line : SplitLines(text)) {
    std::string name, key, value;
    if (SectionOf(line, name)) {
      if (inside) break;  // only the first section of that name counts
      inside = !seen && SameText(name, Trim(section));
      seen = seen || inside;
    } else if (inside && EntryOf(line, key, value)) {
      entries.emplace_back(key, value);
    }
  }
  return entries;
}

std::string IniWrite(const std::string& text, const std::string& section, const std::string& key,
                     const std::string& value) {
  std::vector<std::string> lines = SplitLines(text);
  std::string entry = Trim(key) + "=" + value;
  bool inside = false;
  size_t lastEntry = std::string::npos, header = std::string::npos;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string name, k, v;
    if (SectionOf(lines[i], name)) {
      if (inside) break;
      if (header == std::string::npos && SameText(name, Trim(section))) {
        inside = true;
        header = lastEntry = i;
      }
    } else if (inside && EntryOf(lines[i], k, v)) {
      if (SameText(k, Trim(key))) {
        lines[i] = entry;
        return JoinLines(lines);
      }
      lastEntry = i;
    } else if (inside && !Trim(lines[i]).empty()) {
      lastEntry = i;
    }
  }
  if (header == std::string::npos) {
    lines.push_back("[" + Trim(section) + "]");
    lines.push_back(entry);
  } else {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastEntry) + 1, entry);
  }
  return JoinLines(lines);
}

std::string IniRemoveSection(const std::string& text, const std::string& section) {
  std::vector<std::string> kept;
  bool inside = false;
  for (const std::string& line : SplitLines(text)) {
    std::string name;
    if (SectionOf(line, name)) inside = SameText(name, Trim(section));
    if (!inside) kept.push_back(line);
  }
  return JoinLines(kept);
}

}  // namespace posix
}  // namespace zarn
