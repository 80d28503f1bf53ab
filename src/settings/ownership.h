// What the game owns outside its own folder, and the one rule every operation that
// creates, writes or deletes there goes through: the program group and its shortcuts
// below the Start menu, the save folder below each user's local application data, and
// the product key below HKEY_CURRENT_USER\Software.
//
// The settings record comes from the medium or from an installed folder; either may be
// crafted. A value that would reach outside what the game owns is refused when a medium
// is read (CheckOwnedSettings) and ignored when an installed record is uninstalled.
#pragma once

#include <string>
#include <vector>

namespace zarn {

class TZarnInstallSet;

// The components of a path split at "\" and "/" that are characters of their own (a
// 0x5C trail byte of a double-byte character splits nothing); empty ones kept.
std::vector<std::string> PathComponents(const std::string& path);

// True when `subPath` names something strictly inside the folder it is taken relative
// to, whichever of "\" and "/" separates its components (a 0x5C trail byte of a
// double-byte character separates nothing): every component, one trailing separator
// aside, is a name Windows keeps as written (IsPlainName), so none is empty, "." or
// "..", none has a drive colon, and nothing can reach the folder itself or above it.
bool IsInsideFolder(const std::string& subPath);

// True when `name` is one such component on its own (a shortcut's file name).
bool IsPlainName(const std::string& name);

// The program group's folder name for a title: each character Windows forbids in a file
// name (\ / : * ? " < > |) becomes its full-width form (＼ ／ ： ＊ ？ ” ＜ ＞ ｜), control
// characters become spaces, and leading spaces and trailing dots and spaces go, as
// Windows would drop them. "" when nothing usable is left (an empty title, "..", a device
// name such as CON).
std::string ProgramGroupName(const std::string& title);

// The name of the title's save folder in each user's local application data: the title
// with \ / : , ; * ? " < > | made "_" (as the game names the folder). "" when that would
// name the application-data folder itself or one above it ("", ".", "..", " .").
std::string SaveFolderName(const std::string& title);

// True when HKEY_CURRENT_USER\Software\ + `registryKey` (one leading backslash ignored)
// is a key the game may own: at least one component, no empty component except one
// trailing backslash, no "." or "..", no control character, and not at or below a key
// of the system or of other programs (Microsoft, Classes, Policies, Wow6432Node, Wine, …).
bool IsOwnedRegistryKey(const std::string& registryKey);

// True when `folder` is a full path of a folder: a drive ("C:\") or a UNC share
// ("\\server\share\") followed by components that are plain names (IsPlainName), so
// neither a folder relative to the current one nor "." and ".." that climb back.
bool IsAbsoluteFolder(const std::string& folder);

// Raises EZarnError with the message the user sees when the record's title or registry
// key cannot be used without reaching outside what the game owns. Run on a medium's
// record before anything is written.
void CheckOwnedSettings(const TZarnInstallSet& settings);

}  // namespace zarn
