#include "launcher/launch_rules.h"

#include "runtime/sjis.h"
#include "settings/paths.h"

namespace zarn {

std::string ProgramFolder(const std::string& programFile) {
  size_t slash = LastBackslash(programFile);
  return slash == std::string::npos ? std::string() : programFile.substr(0, slash + 1);
}

namespace {

// Upper case of one double-byte character (lead, trail) in code page 932, as the
// system's conversion gives it: full-width Latin, Greek and Cyrillic small letters.
void UpperDoubleByte(unsigned char lead, unsigned char& trail) {
  if (lead == 0x82 && trail >= 0x81 && trail <= 0x9A) {
    trail = static_cast<unsigned char>(trail - 0x21);  // ａ..ｚ -> Ａ..Ｚ
  } else if (lead == 0x83 && trail >= 0xBF && trail <= 0xD6) {
    trail = static_cast<unsigned char>(trail - 0x20);  // α..ω -> Α..Ω
  } else if (lead == 0x84 && trail >= 0x70 && trail <= 0x7E) {
    trail = static_cast<unsigned char>(trail - 0x30);  // а..н -> А..Н
  } else if (lead == 0x84 && trail >= 0x80 && trail <= 0x91) {
    trail = static_cast<unsigned char>(trail - 0x31);  // о..я -> О..Я (0x7F is no character)
  }
}

}  // namespace

std::string InstanceMutexName(const std::string& title) { return ReplaceDelimiter(title, '\\', '-'); }

std::string InstallPathMutexName(const std::string& installPath) {
  std::string name = installPath;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(c) && i + 1 < name.size()) {
      unsigned char trail = static_cast<unsigned char>(name[i + 1]);
      UpperDoubleByte(c, trail);
      name[i + 1] = static_cast<char>(trail);
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      name[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return ReplaceDelimiter(AddBackslash(name), '\\', '-');
}

std::string CDDriveValue(const std::string& programFile) {
  std::string folder = AddBackslash(ProgramFolder(programFile));
  return folder.size() == 3 ? folder.substr(0, 2) : std::string();
}

std::string TemporaryCopyName(int n) { return n < 0 ? "~zinstall.exe" : "~zinstall" + IntToStr(n) + ".exe"; }

bool IsTemporaryCopy(const std::string& programFile, const std::string& tempFolder) {
  std::string folder = ProgramFolder(programFile);
  if (folder.empty() || !SameText(folder, AddBackslash(tempFolder))) return false;
  std::string name = LowerCase(programFile.substr(folder.size()));
  const std::string head = "~zinstall", tail = ".exe";
  if (name.size() < head.size() + tail.size() || name.compare(0, head.size(), head) != 0 ||
      name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  for (size_t i = head.size(); i < name.size() - tail.size(); ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

}  // namespace zarn
