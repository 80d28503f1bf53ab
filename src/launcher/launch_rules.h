// Small rules of the launch sequence that work on names alone.
#pragma once

#include <string>

namespace zarn {

// How a started program's window is shown (SW_SHOW).
constexpr int kShowNormal = 5;

// The folder part of a program path, up to and including its last backslash ("" when
// it has none). A 0x5C byte inside a double-byte character is not a backslash.
std::string ProgramFolder(const std::string& programFile);

// The name of the mutex the installed game holds while it runs, made from its install
// folder: upper case as the system's Japanese locale makes it (Latin, full-width Latin,
// Greek and Cyrillic letters change; kana and kanji do not), a trailing backslash added
// if missing, then every backslash replaced by "-". C:\Games\Story gives C:-GAMES-STORY-.
std::string InstallPathMutexName(const std::string& installPath);

// The name of the mutex that keeps one copy per title running: the title itself, with
// each backslash made "-" (Windows takes a backslash in a mutex name for a namespace and
// refuses the name). A 0x5C trail byte of a double-byte character stays.
std::string InstanceMutexName(const std::string& title);

// The "CDDrive" value written when the start menu is shown: the drive ("D:") when the
// program's folder is the root of a drive, else "".
std::string CDDriveValue(const std::string& programFile);

// The name of the n-th temporary copy of the program: "~zinstall.exe" for the first
// attempt (n = -1), then "~zinstall0.exe", "~zinstall1.exe", ...
std::string TemporaryCopyName(int n);

// Whether a program path names one of the launcher's temporary copies (~zinstall.exe,
// ~zinstall<digits>.exe, any case) directly inside `tempFolder`.
bool IsTemporaryCopy(const std::string& programFile, const std::string& tempFolder);

}  // namespace zarn
