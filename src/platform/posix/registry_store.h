// The registry of the emulated machine: a tree of keys with typed values, kept in a
// REGEDIT4 text file (Shift-JIS, CR LF). Only HKEY_LOCAL_MACHINE and HKEY_USERS are
// stored; HKEY_CURRENT_USER is the user's branch of HKEY_USERS and HKEY_CLASSES_ROOT is
// HKEY_LOCAL_MACHINE\Software\Classes, as on Windows.
//
// File format, as regedit writes it:
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion]
//   "ProgramFilesDir"="C:\\Program Files"
//   @="default value"
//   "Count"=dword:0000002a
//   "Blob"=hex:01,02,ff
//   "Path"=hex(2):25,53,00
// A string value is written as text only when its data is text followed by one NUL; any
// other data of any type is written as hex(type). In quoted text, \\ is a backslash and \"
// a quote (the second byte of a double-byte character is never escaped). Reading also
// takes "[-key]" (delete the key), "name"=- (delete the value) and hex data continued on
// the next line after a trailing backslash.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zarn {
namespace posix {

struct RegValue {
  std::string name;
  uint32_t type = 0;
  std::string data;
};

struct RegNode {
  std::string name;  // as created
  // Subkeys by upper-cased name (Windows lists subkeys in this order).
  std::map<std::string, std::unique_ptr<RegNode>> children;
  std::vector<RegValue> values;  // in the order they were created

  RegNode* Child(const std::string& name) const;
  RegNode* AddChild(const std::string& name);
  RegValue* Value(const std::string& name);
};

class RegistryStore {
 public:
  // `file`: host path of the registry file, empty for a registry in memory only.
  // `userKey`: the subkey of HKEY_USERS that HKEY_CURRENT_USER stands for.
  RegistryStore(std::string file, std::string userKey);
  ~RegistryStore();

  // Components of a key below the stored tree ("HKEY_USERS", sid, ...); false when the
  // path is not a valid key path (leading or doubled backslash, control characters).
  bool KeyPath(RegRoot root, const std::string& path, std::vector<std::string>& out) const;
  // Appends the components of a relative key path; same rules.
  static bool SplitKey(const std::string& path, std::vector<std::string>& out);
  // Runs `fn` on the tree after reading back changes of other processes; when it returns
  // true the tree is saved. The file's lock is held meanwhile.
  bool Update(bool write, const std::function<bool(RegNode& tree)>& fn);
  // Whether the registry file existed when this store was made.
  bool Existed() const { return existed_; }

  // Finds a key; nullptr when a component is missing.
  static RegNode* Find(RegNode& tree, const std::vector<std::string>& path);

  // The REGEDIT4 text of a tree and back. Parse raises EFormatError when the header is not
  // REGEDIT4; lines it cannot read are skipped.
  static std::string Serialize(const RegNode& tree);
  static void Parse(const std::string& text, RegNode& tree, const std::string& userKey);

 private:
  bool Reload();
  bool Save();

  std::string file_, userKey_;
  int lockFd_ = -1;
  bool existed_ = false;
  RegNode tree_;
  // Identity of the file content last read or written.
  uint64_t ino_ = 0, size_ = 0;
  int64_t mtimeNs_ = -1;
};

}  // namespace posix
}  // namespace zarn
