#include "wizard/uninstall_job.h"

#include "archive/member_name.h"
#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "settings/ownership.h"
#include "settings/paths.h"
#include "toolkit/forms.h"
#include "wizard/job_files.h"
#include "wizard/job_view.h"
#include "wizard/programs_entry.h"
#include "wizard/run_context.h"
#include "wizard/shell_link.h"

namespace zarn {

TUninstallJob::TUninstallJob(TRunContext& run, const TUninstallInput& input, TJobView& view)
    : platform_(run.platform),
      app_(run.app),
      settings_(run.settings),
      input_(input),
      view_(view),
      base_(input.folder) {}

bool TUninstallJob::Aborted() const { return view_.AbortRequested(); }

std::string TUninstallJob::RefusalReason(Platform& platform, const std::string& folder) {
  std::string base = AddBackslash(folder);
  if (folder.empty() || base.size() <= 3) return "ドライブのルートフォルダです";
  std::string windows = AddBackslash(platform.WindowsDirectory());
  // The Windows folder, or a folder above it.
  if (windows.size() >= base.size() && SameText(windows.substr(0, base.size()), base))
    return "Windows のフォルダです";
  if (SameText(base, AddBackslash(platform.SystemDirectory()))) return "システムのフォルダです";
  std::string programFiles = SpecialFolderPath(platform, csidlProgramFiles);
  if (!programFiles.empty() && SameText(base, AddBackslash(programFiles))) return "Program Files のフォルダです";
  return std::string();
}

void TUninstallJob::Execute() {
  view_.ShowHeading(settings_.Title + " を削除しています");
  view_.ShowStatus("ショートカットを削除しています...");
  view_.ProcessMessages();
  if (Aborted()) return;

  // Nothing is touched in a folder that cannot be the game's own.
  std::string reason = RefusalReason(platform_, base_);
  if (!reason.empty()) throw EZarnError(base_ + "\r\n" + reason + "。このフォルダからはアンインストールできません");

  // The group is the one the install made from the title; a title that names none (the
  // record is as untrusted as the medium it came from) removes no group at all.
  TShellLinkType type = platform_.Version().platformId == 2 ? lnkCommonPrograms : lnkPrograms;
  std::string group = ProgramGroupName(settings_.Title);
  if (!group.empty()) RemoveShortcutFolder(app_, type, group);
  view_.Pause(3000);
  view_.BringToFront();
  // The installed folder itself is to go: nothing may hold it.
  std::string windows = platform_.WindowsDirectory();
  if (!windows.empty()) view_.LeaveFolder(windows);

  view_.ShowStatus("ファイルを削除しています...");
  view_.ProcessMessages();
  if (Aborted()) return;

  DeleteInstalledFiles();
  if (input_.deleteSaveData) DeleteSaveData();
  platform_.DeleteFile(base_ + "game.ini");
  RemoveEmptyFolders(platform_, base_);

  view_.ShowStatus("レジストリを削除しています...");
  view_.ProcessMessages();
  settings_.DeleteRegKey(platform_);
  DeleteProgramsEntry(platform_, settings_);

  view_.Pause(1000);
  view_.Finished("アンインストールが完了しました");
}

void TUninstallJob::DeleteInstalledFiles() {
  for (const std::string& name : settings_.InstalledFiles) {
    // Only plain relative names, and never through a link that leads elsewhere.
    if (!IsSafeRelativeName(name) || PassesThroughLink(platform_, base_, name)) continue;
    std::string path = base_ + name;
    uint32_t attr = platform_.GetFileAttributes(path);
    if (attr == faInvalid || (attr & faDirectory)) continue;
    if (attr & faReadOnly) platform_.SetFileAttributes(path, attr & ~faReadOnly);
    platform_.DeleteFile(path);
  }
}

void TUninstallJob::DeleteSaveData() {
  if (platform_.FileExists(base_ + "save.dat")) platform_.DeleteFile(base_ + "save.dat");
  TStringList folders;
  UserAppDataDirs(platform_, settings_.Title, folders);
  for (const std::string& folder : folders) {
    // A save folder that is a link leads elsewhere: nothing is deleted through it.
    std::string plain = folder;
    if (EndsWithDelimiter(plain, '\\')) plain.pop_back();
    uint32_t attr = platform_.GetFileAttributes(plain);
    if (attr == faInvalid || (attr & faReparsePoint)) continue;
    std::string save = AddBackslash(folder) + "save.dat";
    if (!platform_.FileExists(save)) continue;
    platform_.DeleteFile(save);
    platform_.RemoveDirectory(folder);  // only when nothing else is left in it
  }
}

}  // namespace zarn
