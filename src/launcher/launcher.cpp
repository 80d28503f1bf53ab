#include "launcher/launcher.h"

#include "archive/archive_reader.h"
#include "launcher/command_line.h"
#include "launcher/launch_rules.h"
#include "launcher/splash_window.h"
#include "launcher/start_menu.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "settings/ownership.h"
#include "settings/paths.h"

namespace zarn {

namespace {

const char kResourceName[] = "DUMMY";
const char kResourceType[] = "BINTYPE";
const char kSettingsName[] = "install.dat";

// Reads the settings record out of an open archive's member "install.dat".
void LoadFromArchive(TZarnInstallSet& settings, TVrFileCollection& archive) {
  TMemoryStream stream;
  archive.ExtractToStream(stream, kSettingsName, kMaxSettingsSize);
  settings.LoadFromStream(stream);
}

}  // namespace

TLauncher::TLauncher(TApplication& app, std::vector<std::string> params, TWizardRunner wizard)
    : app_(app), platform_(app.platform()), params_(std::move(params)), wizard_(std::move(wizard)) {}

TLauncher::~TLauncher() = default;

int TLauncher::Run() {
  try {
    Sequence();
  } catch (const EScriptFailure&) {
    throw;
  } catch (const std::exception& e) {
    // The settings, the archive and the mutex are freed by now; nothing is started.
    end_ = TLaunchEnd::Failed;
    runFile_.clear();
    app_.HandleException(e);
    return 1;
  }
  StartRunFile();
  return 0;
}

void TLauncher::Sequence() {
  programFile_ = platform_.ProgramFile();
  if (!CheckAdminRights(platform_)) {
    end_ = TLaunchEnd::NotAdministrator;
    app_.MessageDlg("管理者権限で実行してください", mtWarning, mbOK);
    return;
  }

  runFile_.clear();
  DetectArchive();

  auto settings = std::make_unique<TZarnInstallSet>();
  if (!resourceArchive_ && !appendedArchive_ && !(!params_.empty() && platform_.FileExists(params_[0]))) {
    sourceDir_ = params_.empty() ? AddBackslash(ProgramFolder(programFile_)) : params_[0];
    if (!platform_.FileExists(AddBackslash(sourceDir_) + kSettingsName)) {
      end_ = TLaunchEnd::NoSettings;
      app_.MessageDlg("インストール設定ファイルがありません", mtWarning, mbOK);
      return;
    }
  }
  LoadSettings(*settings);
  // A medium whose title or registry key reaches beyond what the game owns is refused
  // before anything is written. An installed record is uninstalled by the same rule.
  if (!settings->Installed) CheckOwnedSettings(*settings);

  // The installed game holds a mutex named after its folder while it runs.
  std::string installPath = settings->ReadRegString(platform_, "InstallPath", "");
  if (!installPath.empty() && MutexExists(platform_, InstallPathMutexName(installPath))) {
    end_ = TLaunchEnd::GameRunning;
    return;
  }
  // One copy per title at a time.
  bool existed = false;
  std::unique_ptr<NamedMutex> instance = platform_.CreateMutex(InstanceMutexName(settings->Title), existed);
  if (!instance || existed) {
    end_ = TLaunchEnd::AlreadyRunning;
    return;
  }

  const bool hasParam = !params_.empty();
  if (settings->Installed) {
    // Uninstall mode works from the installed copy's settings alone.
    if (!hasParam) {
      MakeTemporaryCopy();
    } else {
      ScheduleOwnDeletion();
      RunWizard(*settings, nullptr);
    }
  } else {
    auto archive = std::make_unique<TVrFileCollection>(platform_);
    OpenArchive(*settings, *archive);
    if (hasParam || settings->UpdateMode || settings->InstallKind == ikSystem) {
      if (!settings->FilesInArchive) ScheduleOwnDeletion();
      RunWizard(*settings, archive.get());
    } else {
      settings->WriteRegString(platform_, "CDDrive", CDDriveValue(programFile_));
      int result, action;
      {
        TFormStart menu(app_, *settings, archive.get());
        result = menu.ShowModal();
        action = menu.ChosenAction();
        menu.Release();
      }
      if (result != mrOk) {
        end_ = TLaunchEnd::MenuClosed;
      } else if (action == saStartGame) {
        end_ = TLaunchEnd::StartChosen;
        runFile_ = AddBackslash(settings->ReadRegString(platform_, "InstallPath", "")) + settings->ProgramFile;
        runParams_.clear();
      } else if (settings->FilesInArchive) {
        RunWizard(*settings, archive.get());
      } else {
        MakeTemporaryCopy();
      }
    }
    archive.reset();
  }
  // Clean-up: the mutex goes first so that a started copy can take it.
  instance.reset();
  settings.reset();
}

void TLauncher::DetectArchive() {
  resourceArchive_ = appendedArchive_ = false;
  if (std::unique_ptr<Module> own = platform_.OwnModule()) {
    std::string data;
    if (own->FindResource(kResourceName, kResourceType, data) && data.size() >= 2 && data.compare(0, 2, "vf") == 0)
      resourceArchive_ = true;
  }
  if (resourceArchive_) return;
  // An unreadable program file is treated as one without an archive.
  appendedArchive_ = HasAppendedArchive(platform_, programFile_);
}

void TLauncher::LoadSettings(TZarnInstallSet& settings) {
  if (resourceArchive_ || appendedArchive_) {
    TVrFileCollection archive(platform_);
    if (resourceArchive_)
      archive.OpenResource(programFile_, kResourceName, kResourceType);
    else
      archive.Open(programFile_);
    LoadFromArchive(settings, archive);
  } else if (!params_.empty() && platform_.FileExists(params_[0])) {
    sourceDir_ = params_[0];
    TVrFileCollection archive(platform_);
    archive.Open(sourceDir_);
    LoadFromArchive(settings, archive);
  } else {
    settings.LoadFromFile(platform_, AddBackslash(sourceDir_) + kSettingsName);
  }
}

void TLauncher::OpenArchive(TZarnInstallSet& settings, TVrFileCollection& archive) {
  if (resourceArchive_)
    archive.OpenResource(programFile_, kResourceName, kResourceType);
  else if (appendedArchive_)
    archive.Open(programFile_);
  else if (!sourceDir_.empty() && platform_.FileExists(sourceDir_))
    archive.Open(sourceDir_);
  else
    // An update package's archive appended to its program was found above; a program
    // without one has no directory to read, so an update, like any package, takes its
    // data from game.dat beside it. A missing game.dat gives an empty collection.
    archive.Open(AddBackslash(sourceDir_) + "game.dat");
}

void TLauncher::RunWizard(TZarnInstallSet& settings, TVrFileCollection* archive) {
  end_ = TLaunchEnd::WizardRun;
  TFormMain splash(app_, settings, archive);
  splash.ShowForm();
  TRunContext run{platform_, app_, settings, archive, params_.empty() ? std::string() : params_[0], pause_};
  wizard_(run, splash);
  splash.Release();
}

void TLauncher::MakeTemporaryCopy() {
  const std::string folder = AddBackslash(platform_.TempPath());
  runParams_ = QuoteParameter(AddBackslash(ProgramFolder(programFile_)));
  for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
    const std::string target = folder + TemporaryCopyName(attempt - 1);
    uint32_t attributes = platform_.GetFileAttributes(target);
    if (attributes != faInvalid && (attributes & faReadOnly))
      platform_.SetFileAttributes(target, attributes & ~uint32_t(faReadOnly));
    if (platform_.CopyFile(programFile_, target, false)) {
      end_ = TLaunchEnd::CopyMade;
      runFile_ = target;
      return;
    }
  }
  end_ = TLaunchEnd::CopyFailed;
  runParams_.clear();
  app_.MessageDlg("ファイルをコピーできません", mtWarning, mbOK);
}

void TLauncher::ScheduleOwnDeletion() {
  // Only the launcher's own temporary copies remove themselves: a setup program started
  // from a download folder or a medium must survive the next start of Windows.
  if (IsTemporaryCopy(programFile_, platform_.TempPath())) DeleteOnReboot(platform_, programFile_);
}

void TLauncher::StartRunFile() {
  if (runFile_.empty()) return;
  startResult_ = platform_.ShellExecute("open", runFile_, runParams_, "", kShowNormal);
  if (startResult_ <= 32)
    app_.MessageDlg("プログラムを実行できませんでした\r\n" + Format("エラーコード[%d]", static_cast<int64_t>(startResult_)),
                    mtWarning, mbOK);
}

}  // namespace zarn
