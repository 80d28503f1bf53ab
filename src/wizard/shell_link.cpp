#include "wizard/shell_link.h"

#include <vector>

#include "platform/platform.h"
#include "runtime/sjis.h"
#include "settings/ownership.h"
#include "wizard/job_files.h"

namespace zarn {

uint16_t ShellHotKey(TShortCut shortCut) {
  uint16_t key = shortCut & 0x00FF;
  if (shortCut & scShift) key |= 0x100;
  if (shortCut & scCtrl) key |= 0x200;
  if (shortCut & scAlt) key |= 0x400;
  return key;
}

int ShellShowCommand(TWindowState state) {
  switch (state) {
    case wsMinimized: return 6;
    case wsMaximized: return 3;
    case wsNormal: break;
  }
  return 1;
}

namespace {
// Position after the last folder delimiter ('\' or ':'), 0 when there is none.
size_t NameStart(const std::string& path) {
  size_t slash = LastBackslash(path), colon = LastDelimiter(path, ':');
  size_t at = 0;
  if (slash != std::string::npos) at = slash + 1;
  if (colon != std::string::npos && colon + 1 > at) at = colon + 1;
  return at;
}

}  // namespace

bool IsSafeSubDir(const std::string& subDir) { return IsInsideFolder(subDir); }

TApplication& ApplicationOf(TComponent* owner) {
  if (auto* app = dynamic_cast<TApplication*>(owner)) return *app;
  if (auto* control = dynamic_cast<TControl*>(owner)) return control->Application();
  throw EZarnError("コンポーネントの持ち主がありません");
}

TShellLink::TShellLink(TApplication& app, TComponent* owner, const std::string& componentName)
    : TComponent(owner ? owner : &app, componentName), app_(app) {}

TShellLink::TShellLink(TComponent* owner, const std::string& componentName)
    : TComponent(owner, componentName), app_(ApplicationOf(owner)) {}

void TShellLink::SetFileName(const std::string& v) {
  if (v == fileName_) return;
  fileName_ = v;
  size_t nameAt = NameStart(v);
  if (description_.empty()) {
    std::string name = v.substr(nameAt);
    size_t dot = LastDelimiter(name, '.');
    description_ = dot == std::string::npos ? name : name.substr(0, dot);
  }
  if (workDir_.empty()) {
    std::string dir = v.substr(0, nameAt);
    bool root = dir.size() == 3 && dir[1] == ':';
    if (!root && dir.size() > 1 && EndsWithDelimiter(dir, '\\') && dir[dir.size() - 2] != ':') dir.pop_back();
    workDir_ = dir;
  }
}

std::string TShellLink::FolderPath() {
  std::string folder;
  if (!app_.platform().SpecialFolder(linkType_, folder) || folder.empty())
    throw EShellLinkError("Error in GetSpecialFolderLocation");
  folder = AddBackslash(folder);
  if (!subDir_.empty()) folder += AddBackslash(subDir_);
  return folder;
}

void TShellLink::CreateLink() {
  if (fileName_.empty()) SetFileName(app_.ExeName());
  Platform& p = app_.platform();
  std::string folder = FolderPath();
  // The shortcut goes strictly inside its special folder, and never through a link.
  if ((!subDir_.empty() && !IsSafeSubDir(subDir_)) || !IsPlainName(linkName_))
    throw EShellLinkError("ショートカットの名前が正しくありません");
  std::string special = folder.substr(0, folder.size() - (subDir_.empty() ? 0 : AddBackslash(subDir_).size()));
  std::string linkPath = folder + linkName_ + ".lnk";
  if (!subDir_.empty() && PassesThroughLink(p, special, subDir_))
    throw EShellLinkError(folder + "\r\n" + "リンクを経由してショートカットを作ることはできません");
  uint32_t attr = p.GetFileAttributes(linkPath);
  if (attr != faInvalid && (attr & faReparsePoint) && !(attr & faDirectory)) p.DeleteFile(linkPath);
  ForceDirectories(p, folder);
  ShellLinkData data;
  data.description = description_;
  data.target = fileName_;
  data.workingDirectory = workDir_;
  data.arguments = arguments_;
  data.hotKey = ShellHotKey(hotKey_);
  data.showCommand = ShellShowCommand(windowState_);
  data.iconPath = fileName_;
  data.iconIndex = iconIndex_;
  if (p.CreateShellLink(linkPath, data) == ShellLinkResult::NoLinkObject)
    throw EShellLinkError("Error in QueryInterface");
}

void TShellLink::OpenFolder() {
  if (!subDir_.empty() && !IsSafeSubDir(subDir_)) return;
  std::string folder = FolderPath();
  app_.platform().ShellExecute("open", folder, "", folder, 5);
}

void TShellLink::RemoveFolder() {
  if (subDir_.empty() || !IsSafeSubDir(subDir_)) return;
  std::string folder = FolderPath();
  RemoveTree(app_.platform(), folder.substr(0, folder.size() - 1));
}

void MakeShortcut(TApplication& app, const std::string& name, const std::string& fileName,
                  const std::string& arguments, int iconIndex, TShortCut hotKey, TWindowState windowState,
                  const std::string& subDir, TShellLinkType linkType, const std::string& workDir,
                  const std::string& description) {
  TShellLink link(app);
  link.SetName(name);
  // Explicit values first, so the target fills in only what was left empty.
  link.SetWorkDir(workDir);
  link.SetDescription(description);
  link.SetFileName(fileName);
  link.SetArguments(arguments);
  link.SetIconIndex(iconIndex);
  link.SetHotKey(hotKey);
  link.SetWindowState(windowState);
  link.SetSubDir(subDir);
  link.SetLinkType(linkType);
  link.CreateLink();
}

void RemoveShortcutFolder(TApplication& app, TShellLinkType linkType, const std::string& subDir) {
  TShellLink link(app);
  link.SetLinkType(linkType);
  link.SetSubDir(subDir);
  link.RemoveFolder();
}

void OpenShortcutFolder(TApplication& app, TShellLinkType linkType, const std::string& subDir) {
  TShellLink link(app);
  link.SetLinkType(linkType);
  link.SetSubDir(subDir);
  link.OpenFolder();
}

}  // namespace zarn
