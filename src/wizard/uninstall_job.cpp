#include "wizard/uninstall_job.h"

#include "archive/member_name.h"
#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "settings/ownership.h"
#include "settings/paths.h"
#include "wizard/wizard_window.h"
#include "wizard/job_files.h"
#include "wizard/programs_entry.h"

namespace zarn {

TUninstallJob::TUninstallJob(TFormType& form)
    : form_(form), platform_(form.Run().platform), settings_(form.Run().settings), base_(form.SourceFolder()) {}

bool TUninstallJob::Aborted() const { return form_.ModalResult() == mrAbort; }

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
  TApplication& app = form_.App();
  form_.LabelDelTitle.SetCaption(settings_.Title + " を削除しています");
  form_.btnNext.Hide();
  form_.SetCaption("削除");
  form_.LabelDel.SetCaption("ショートカットを削除しています...");
  app.ProcessMessages();
  if (Aborted()) return;

  // Nothing is touched in a folder that cannot be the game's own.
  std::string reason = RefusalReason(platform_, base_);
  if (!reason.empty()) throw EZarnError(base_ + "\r\n" + reason + "。このフォルダからはアンインストールできません");

  // The group is the one the install made from the title; a title that names none (the
  // record is as untrusted as the medium it came from) removes no group at all.
  TShellLinkType type = platform_.Version().platformId == 2 ? lnkCommonPrograms : lnkPrograms;
  std::string group = ProgramGroupName(settings_.Title);
  if (!group.empty()) RemoveShortcutFolder(app, type, group);
  form_.Pause(3000);
  form_.BringToFront();
  LeaveInstalledFolder();

  form_.LabelDel.SetCaption("ファイルを削除しています...");
  app.ProcessMessages();
  if (Aborted()) return;

  DeleteInstalledFiles();
  if (form_.CheckDelSave.Visible() && form_.CheckDelSave.Checked()) DeleteSaveData();
  platform_.DeleteFile(base_ + "game.ini");
  RemoveEmptyFolders(platform_, base_);

  form_.LabelDel.SetCaption("レジストリを削除しています...");
  app.ProcessMessages();
  settings_.DeleteRegKey(platform_);
  DeleteProgramsEntry(platform_, settings_);

  form_.Pause(1000);
  form_.LabelExit.SetCaption("アンインストールが完了しました");
  form_.ShowPage(TFormType::pgExit);
}

// The directory list makes its folder the process's current folder; moving it to the
// Windows folder lets the installed folder itself be removed.
void TUninstallJob::LeaveInstalledFolder() {
  std::string windows = platform_.WindowsDirectory();
  if (windows.empty()) return;
  try {
    form_.Drive.SetDrive(windows[0]);
    form_.Directory.SetDirectory(windows);
  } catch (const EZarnError&) {
    platform_.SetCurrentDirectory(windows);
  }
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
