// The Shell Link (.lnk) file format, as the emulated machine writes shortcuts and as
// tests read them back. Layout (all numbers little-endian):
//
//   header, 76 bytes: size 0x4C, class id {00021401-0000-0000-C000-000000000046},
//     link flags, the target's attributes, three FILETIMEs, the target's size, icon
//     index, show command, hot key (key code low byte, modifiers high byte), 10 zero bytes
//   [item id list]          when flag 0x01: a 16-bit size and the items (skipped here)
//   [link info]             when flag 0x02: the target as a local path with its volume:
//     size, header size (0x24), flags (1 = volume and local path), offsets of the volume
//     id, the local path, the network part (0), the path suffix, and of the UTF-16 local
//     path and suffix; the volume id (size, drive type, serial, label offset 0x10, label);
//     the local path and suffix in the system code page, then in UTF-16
//   strings, each a 16-bit count of characters and the characters (UTF-16 when flag 0x80):
//     description (0x04), relative path (0x08), working folder (0x10), arguments (0x20),
//     icon location (0x40)
//   extra data blocks, ended by a 32-bit zero
//
// Our writer sets flags 0x80 (Unicode) and 0x02 when the target is a full path with a
// drive letter, otherwise stores the target as the relative path.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zarn {

// The bytes of a shortcut file. The platform supplies text conversion and the target's
// attributes, size and volume (when it exists).
std::string EncodeShellLink(Platform& platform, const ShellLinkData& link);

// Reads a shortcut file's fields; false (with a reason in `error`) when the bytes are not
// a shortcut or are cut short. The target comes from the link info, else the relative
// path.
bool DecodeShellLink(Platform& platform, const std::string& bytes, ShellLinkData& link, std::string& error);

// UTF-16 (as 16-bit units) to and from UTF-8; unpaired surrogates become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);

}  // namespace zarn
