#include "wizard/SysCtrls.h"

#include <vector>

#include "platform/platform.h"
#include "runtime/sjis.h"

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

std::string AddBackslash(const std::string& s) { return EndsWithDelimiter(s, '\\') ? s : s + "\\"; }

// Creates a folder and every missing parent.
void ForceDirectories(Platform& p, const std::string& folder) {
  std::string path = folder;
  while (path.size() > 3 && EndsWithDelimiter(path, '\\')) path.pop_back();
  if (path.empty() || p.DirectoryExists(path)) return;
  size_t slash = LastBackslash(path);
  if (slash != std::string::npos && slash > 0) ForceDirectories(p, path.substr(0, slash + 1));
  p.CreateDirectory(path);
}

void DeleteTree(Platform& p, const std::string& folder) {
  std::vector<DirEntry> entries;
  if (p.ListDirectory(folder, entries)) {
    for (const DirEntry& e : entries) {
      if (e.name == "." || e.name == "..") continue;
      std::string path = AddBackslash(folder) + e.name;
      if (e.attributes & faDirectory) DeleteTree(p, path);
      else p.DeleteFile(path);
    }
  }
  p.RemoveDirectory(folder);
}
}  // namespace

bool IsSafeSubDir(const std::string& subDir) {
  if (subDir.empty() || subDir[0] == '\\' || FindDelimiter(subDir, ':') != std::string::npos) return false;
  std::vector<std::string> parts = SplitDelimited(subDir, '\\');
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();  // one trailing backslash
  for (std::string part : parts) {
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty()) return false;  // "", ".", "..", "...", ". "
  }
  return true;
}

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
  std::string folder = FolderPath();
  ForceDirectories(app_.platform(), folder);
  ShellLinkData data;
  data.description = description_;
  data.target = fileName_;
  data.workingDirectory = workDir_;
  data.arguments = arguments_;
  data.hotKey = ShellHotKey(hotKey_);
  data.showCommand = ShellShowCommand(windowState_);
  data.iconPath = fileName_;
  data.iconIndex = iconIndex_;
  if (app_.platform().CreateShellLink(folder + linkName_ + ".lnk", data) == ShellLinkResult::NoLinkObject)
    throw EShellLinkError("Error in QueryInterface");
}

void TShellLink::OpenFolder() {
  std::string folder = FolderPath();
  app_.platform().ShellExecute("open", folder, "", folder, 5);
}

void TShellLink::RemoveFolder() {
  if (subDir_.empty() || !IsSafeSubDir(subDir_)) return;
  std::string folder = FolderPath();
  DeleteTree(app_.platform(), folder.substr(0, folder.size() - 1));
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
