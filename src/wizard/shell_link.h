// Shortcuts: TShellLink writes a shortcut (.lnk) into a special folder of the shell (the
// Start menu's programs, the desktop, ...), opens a program group in a shell window, or
// removes a program group with everything in it.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/error.h"
#include "toolkit/forms.h"

namespace zarn {

// The folder that holds a shortcut; the value is the shell's folder number (CSIDL).
enum TShellLinkType : int {
  lnkDesktop = 0, lnkReserved1, lnkPrograms, lnkControls, lnkPrinters, lnkPersonal, lnkFavorites, lnkStartup,
  lnkRecent, lnkSendTo, lnkBitBucket, lnkStartMenu, lnkReserved2, lnkReserved3, lnkReserved4, lnkReserved5,
  lnkDesktopDirectory, lnkDrives, lnkNetwork, lnkNetHood, lnkFonts, lnkTemplates, lnkCommonStartMenu,
  lnkCommonPrograms, lnkCommonStartup, lnkCommonDesktopDirectory, lnkAppData, lnkPrintHood,
};

enum TWindowState { wsNormal, wsMinimized, wsMaximized };

class EShellLinkError : public EZarnError {
  using EZarnError::EZarnError;
};

// A shortcut code: key in the low bits; 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt.
using TShortCut = uint16_t;
enum : TShortCut { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };

// The shell's hot key for a shortcut code: the key code (low byte) plus 0x100 Shift,
// 0x200 Ctrl, 0x400 Alt. Bits between the key code and the modifiers are no key and
// are dropped, so they cannot turn into modifiers.
uint16_t ShellHotKey(TShortCut shortCut);
// The shell's show command: 1 normal, 6 minimized, 3 maximized.
int ShellShowCommand(TWindowState state);

class TShellLink : public TComponent {
 public:
  // Owned by `owner` (the application when none is given).
  explicit TShellLink(TApplication& app, TComponent* owner = nullptr, const std::string& componentName = "ShellLink");
  // Owned by a form (or the application), whose application it works for.
  TShellLink(TComponent* owner, const std::string& componentName);

  const std::string& Arguments() const { return arguments_; }
  void SetArguments(const std::string& v) { arguments_ = v; }
  const std::string& Description() const { return description_; }
  void SetDescription(const std::string& v) { description_ = v; }
  const std::string& FileName() const { return fileName_; }
  // Stores a new target; an empty description becomes the file's name without folder
  // and extension, an empty working folder the file's folder (no trailing backslash
  // except for a drive root).
  void SetFileName(const std::string& v);
  TShortCut HotKey() const { return hotKey_; }
  void SetHotKey(TShortCut v) { hotKey_ = v; }
  int IconIndex() const { return iconIndex_; }
  void SetIconIndex(int v) { iconIndex_ = v; }
  TShellLinkType LinkType() const { return linkType_; }
  void SetLinkType(TShellLinkType v) { linkType_ = v; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState v) { windowState_ = v; }
  const std::string& WorkDir() const { return workDir_; }
  void SetWorkDir(const std::string& v) { workDir_ = v; }
  // The folder below the special folder (the program group).
  const std::string& SubDir() const { return subDir_; }
  void SetSubDir(const std::string& v) { subDir_ = v; }
  // The shortcut's file name without ".lnk" (the component's own name is ComponentName).
  const std::string& Name() const { return linkName_; }
  void SetName(const std::string& v) { linkName_ = v; }
  const std::string& ComponentName() const { return TComponent::Name(); }

  // The special folder with a trailing backslash, then SubDir with one when it is set.
  // Raises EShellLinkError "Error in GetSpecialFolderLocation" when the shell has no
  // such folder.
  std::string FolderPath();
  // Writes FolderPath + Name + ".lnk", making the folders it needs. Raises
  // EShellLinkError "Error in QueryInterface" when the shell has no link object; other
  // failures of the shell are not reported.
  void CreateLink();
  // Opens FolderPath in a shell window.
  void OpenFolder();
  // Deletes FolderPath with everything in it; failures of single deletions are passed
  // over. Does nothing when SubDir is empty, or when it would reach outside the special
  // folder ("..", ".", an empty part, a drive or a leading backslash).
  void RemoveFolder();

 private:
  TApplication& app_;
  std::string arguments_, description_, fileName_, workDir_, subDir_, linkName_;
  TShortCut hotKey_ = 0;
  int iconIndex_ = 0;
  TShellLinkType linkType_ = lnkDesktop;
  TWindowState windowState_ = wsNormal;
};

// A shortcut in one call. An empty working folder or description is filled from the
// target as the FileName setter does.
void MakeShortcut(TApplication& app, const std::string& name, const std::string& fileName,
                  const std::string& arguments, int iconIndex, TShortCut hotKey, TWindowState windowState,
                  const std::string& subDir, TShellLinkType linkType, const std::string& workDir,
                  const std::string& description);
void RemoveShortcutFolder(TApplication& app, TShellLinkType linkType, const std::string& subDir);
void OpenShortcutFolder(TApplication& app, TShellLinkType linkType, const std::string& subDir);

// The application a form or the application itself belongs to; throws when `owner` is
// neither.
TApplication& ApplicationOf(TComponent* owner);

// True when a program-group name stays inside its special folder: no empty part, no "."
// or ".." (also with trailing dots or blanks, which Windows drops), no drive, no leading
// backslash.
bool IsSafeSubDir(const std::string& subDir);

}  // namespace zarn
