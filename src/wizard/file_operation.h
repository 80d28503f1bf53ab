// TFileOperation: the shell's copy, move, delete and rename of files and folders, with
// its options (silent, no confirmation, files only, ...).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/platform.h"
#include "runtime/string_list.h"
#include "toolkit/forms.h"

namespace zarn {

enum TFileOpFlag : int {
  fofAllowUndo, fofConfirmMouse, fofFilesOnly, fofMultiDestFiles, fofNoConfirmation, fofNoConfirmMkdir,
  fofRenameOnCollision, fofSilent, fofSimpleProgress, fofWantMappingHandle, fofNoErrorUI,
};
// A set of TFileOpFlag: bit (1 << flag).
using TFileOpFlags = uint32_t;
constexpr TFileOpFlags FileOpFlags(std::initializer_list<TFileOpFlag> flags) {
  TFileOpFlags set = 0;
  for (TFileOpFlag f : flags) set |= 1u << f;
  return set;
}

// The shell's flag bits (kShellFof...) for a set of options (fofWantMappingHandle is never
// passed). Operations are the platform's kShellFoMove ... kShellFoRename.
uint16_t ShellFileOpFlags(TFileOpFlags options);

class TFileOperation : public TComponent {
 public:
  explicit TFileOperation(TApplication& app, TComponent* owner = nullptr,
                          const std::string& componentName = "FileOperation");
  // Owned by a form (or the application), whose application it works for.
  TFileOperation(TComponent* owner, const std::string& componentName);
  virtual ~TFileOperation() = default;

  TStringList& FromFiles() { return fromFiles_; }
  void SetFromFiles(const TStringList& v) { fromFiles_ = v; }
  TStringList& ToFiles() { return toFiles_; }
  void SetToFiles(const TStringList& v) { toFiles_ = v; }
  TFileOpFlags Options() const { return options_; }
  void SetOptions(TFileOpFlags v) { options_ = v; }
  void SetOptions(std::initializer_list<TFileOpFlag> flags) { options_ = FileOpFlags(flags); }
  bool HasOption(TFileOpFlag flag) const { return (options_ >> flag) & 1u; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& v) { title_ = v; }

  // Runs the shell's operation on `from` and `to`, given in the shell's list form (each
  // name ended by a NUL, the list by one more); returns true when the user cancelled.
  virtual bool Execute(uint32_t operation, const std::string& from, const std::string& to);

 private:
  TApplication& app_;
  TStringList fromFiles_, toFiles_;
  TFileOpFlags options_ = FileOpFlags({fofAllowUndo, fofFilesOnly});
  std::string title_;
};

}  // namespace zarn
