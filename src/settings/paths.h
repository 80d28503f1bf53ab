// Free helpers for paths, files, the registry and system locations. None keeps state.
// Every path is a Shift-JIS Windows path; a 0x5C byte that is the second byte of a
// double-byte character (as in "ソ") is never taken for a backslash.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "runtime/sjis.h"  // AddBackslash
#include "runtime/string_list.h"

namespace zarn {

// ---- paths

// Cuts the last component: one trailing backslash is dropped, then the last backslash and
// all after it. "Maker\Story" -> "Maker", "A\B\" -> "A", "Maker" -> "".
void ParentDir(std::string& path);
// The extension with its dot ("" when none), taken from the last component.
std::string ExtractFileExt(const std::string& path);
// The last component (after the last backslash or drive colon).
std::string ExtractFileName(const std::string& path);
// "C:" of "C:\x", "\\server\share" of a UNC path, else "".
std::string ExtractFileDrive(const std::string& path);
// "1,234,567"; meant for non-negative values (a minus sign is kept in front).
std::string FormatThousands(int64_t value);

// ---- files

// Appends the entries below `folder` to `list` (emptied first when `clearList`):
// folders when `mask` has faDirectory, files whose attributes share a bit with `mask` or,
// with `includePlain`, that have none of the six classic bits; files must also have the
// extension `ext` (with dot, any case) unless it is empty. `clearAttributes` clears
// read-only and hidden on every entry met. Folder names get a trailing backslash with
// `folderSlash`. With `recurse`, a folder's contents follow right after the folder,
// listed with folder slashes. Names come in the order the file system gives them.
void ListFiles(Platform& platform, const std::string& folder, uint16_t mask, bool includePlain,
               const std::string& ext, bool clearAttributes, bool folderSlash, bool recurse, TStringList& list,
               bool clearList);
// Copies source over target, except when `compare` is set and the target already has the
// source's time and size. Returns whether the target is now up to date. An unreadable
// target while sizes are compared raises EFOpenError.
bool CopyIfChanged(Platform& platform, const std::string& source, const std::string& target, bool compare);
// The file's size; 0 when it cannot be opened.
int64_t FileSizeOf(Platform& platform, const std::string& path);
// Removes a link (to a file or a folder) standing at `path`, never what it leads to.
// True when a link was there and is gone; false when none was there.
bool RemoveLinkAt(Platform& platform, const std::string& path);
// Writes a whole file beside its target (path + ".tmp", made new, never through a link
// left there), puts it on the disk and swaps it in for `path` in one step, so a full
// disk or a crash leaves the old file or the new one and a link at `path` is replaced,
// not written through. Raises EFCreateError or EWriteError naming the file; the
// temporary file is removed on failure.
void WriteFileReplacing(Platform& platform, const std::string& path, const void* data, int64_t size);
// The same for a copy of the file `source`: copied beside `path`, put on the disk and
// swapped in. False when a step fails; `path` is then as it was and the copy is removed.
bool CopyFileReplacing(Platform& platform, const std::string& source, const std::string& path);

// ---- registry

// Reads a string value of an open key when its type is typeA or typeB; false (and `out`
// unchanged) otherwise. Expandable strings come back unexpanded.
bool ReadRegStr(RegistryKey& key, const std::string& name, std::string& out, uint32_t typeA, uint32_t typeB);

// The product key of a RegistryKey setting, relative to HKEY_CURRENT_USER:
// "Software\" + the setting without one leading backslash; "" when that names nothing.
std::string ProductKeyPath(const std::string& registryKey);
// A string value of the product key, or `defaultValue` when the key or value is missing.
// A value that is not a string raises ERegistryError.
std::string ProductKeyReadString(Platform& platform, const std::string& registryKey, const std::string& name,
                                 const std::string& defaultValue);
// Creates the key as needed and writes a REG_SZ value; ERegistryError when it cannot.
void ProductKeyWriteString(Platform& platform, const std::string& registryKey, const std::string& name,
                           const std::string& value);
// Deletes the product key with everything below it, then each parent below Software that
// is left without subkeys and values. Failures are ignored.
void ProductKeyDelete(Platform& platform, const std::string& registryKey);

// ---- system

// Whether a named mutex exists anywhere on the machine.
bool MutexExists(Platform& platform, const std::string& name);
// The folder of a CSIDL number. 38 (Program Files) comes from the registry value
// "ProgramFilesDir" and is "" on Windows before 4.0 or when it cannot be read; for other
// numbers a shell failure raises EOSError.
std::string SpecialFolderPath(Platform& platform, int csidl);
// The system folder's drive, e.g. "C:".
std::string SystemDrive(Platform& platform);
// For every user profile of an NT-family machine: appends Local AppData\name\ (name with
// \ / : , ; * ? " < > | made "_") when that folder exists. Returns the list's count, or 0
// at once on 9x, for an empty name or without a profile list.
int UserAppDataDirs(Platform& platform, const std::string& name, TStringList& list);
// The name with the characters a folder name cannot hold replaced by "_".
std::string CleanFolderName(const std::string& name);
// Has the file deleted when Windows next starts (NT: the system's delayed delete; 9x: a
// NUL=short-path line in [rename] of wininit.ini, next to any earlier ones).
void DeleteOnReboot(Platform& platform, const std::string& path);
// Whether the user counts as an administrator: the shell's query on NT, always on 9x.
// The launcher keeps the answer in its run context.
bool CheckAdminRights(Platform& platform);

}  // namespace zarn
