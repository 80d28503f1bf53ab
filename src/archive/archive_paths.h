// Small path helpers the archive code keeps to itself. Paths are Shift-JIS Windows paths;
// a 0x5C byte that ends a double-byte character is not taken for a backslash.
#pragma once

#include <string>

#include "runtime/sjis.h"

namespace zarn {
namespace arcpaths {

// Position where the extension's dot stands in the last component, or npos.
inline size_t ExtensionDot(const std::string& path) {
  size_t dot = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (c == '\\' || c == ':') dot = std::string::npos;
    else if (c == '.') dot = i;
  }
  return dot;
}

// The extension with its dot ("" when none).
inline std::string FileExt(const std::string& path) {
  size_t dot = ExtensionDot(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

// The path with its extension replaced by `ext` (which carries its dot).
inline std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  size_t dot = ExtensionDot(path);
  return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

// The folder part with its trailing backslash (or drive colon); "" when there is none.
inline std::string FilePath(const std::string& path) {
  size_t cut = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (c == '\\' || c == ':') cut = i;
  }
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace arcpaths
}  // namespace zarn
