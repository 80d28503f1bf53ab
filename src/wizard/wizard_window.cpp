#include "wizard/wizard_window.h"

#include <climits>

#include "archive/archive_paths.h"
#include "archive/archive_reader.h"
#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "settings/ownership.h"
#include "settings/paths.h"
#include "wizard/install_job.h"
#include "wizard/job_view.h"
#include "wizard/uninstall_job.h"

namespace zarn {

namespace {

const char* const kPageNames[TFormType::kPageCount] = {"Hello", "License", "Media",  "file",   "seldir",
                                                       "confirm", "copy",  "exit", "uninst", "delete"};

const char* const kProgramFilesMarker = "<ProgramFiles>";

// One leading and one trailing backslash removed.
std::string StripOuterBackslashes(std::string s) {
  if (!s.empty() && s[0] == '\\') s.erase(0, 1);
  if (EndsWithDelimiter(s, '\\')) s.pop_back();
  return s;
}

std::string WithoutTrailingBackslash(std::string s) {
  if (EndsWithDelimiter(s, '\\')) s.pop_back();
  return s;
}

// The path cut after the last backslash that lies before its final character; "" when
// there is none. "C:\A\B" -> "C:\A\", "C:\A\" -> "C:\", "C:\" -> "".
std::string UpOneLevel(const std::string& path) {
  if (path.size() < 2) return std::string();
  size_t cut = LastBackslash(path.substr(0, path.size() - 1));
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// A job's progress and questions, shown on the copy page (install) or the delete page
// (uninstall) of the window.
class TWizardJobView : public TJobView {
 public:
  explicit TWizardJobView(TFormType& w) : w_(w), uninstall_(w.UninstallMode()) {}

  void ProcessMessages() override { w_.App().ProcessMessages(); }
  bool AbortRequested() override { return w_.ModalResult() == mrAbort; }
  int Ask(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) override {
    return w_.App().MessageDlg(text, kind, buttons);
  }
  void ShowHeading(const std::string& text) override {
    (uninstall_ ? w_.LabelDelTitle : w_.LabelCopyCap).SetCaption(text);
  }
  void ShowStatus(const std::string& text) override { (uninstall_ ? w_.LabelDel : w_.LabelCopy).SetCaption(text); }
  void ShowProgressRange(int max) override { w_.Progress.SetRange(0, max); }
  void ShowProgress(int position) override { w_.Progress.SetPosition(position); }
  void HideProgress() override {
    w_.LabelCopy.Hide();
    w_.Progress.Hide();
  }
  void Pause(uint32_t milliseconds) override { w_.Pause(milliseconds); }
  void BringToFront() override { w_.BringToFront(); }
  // The directory list makes its folder the process's current folder: it moves too.
  void LeaveFolder(const std::string& elsewhere) override {
    try {
      w_.Drive.SetDrive(elsewhere[0]);
      w_.Directory.SetDirectory(elsewhere);
    } catch (const EZarnError&) {
      w_.Run().platform.SetCurrentDirectory(elsewhere);
    }
  }
  void Finished(const std::string& text) override {
    if (!text.empty()) w_.LabelExit.SetCaption(text);
    w_.ShowPage(TFormType::pgExit);
  }
  void EndWith(int modalResult) override { w_.SetModalResult(modalResult); }

 private:
  TFormType& w_;
  bool uninstall_;
};

// The size of a component: the total for all discs, or this disc's entry.
int64_t DiscEntry(const std::vector<int64_t>& sizes, int32_t disc) {
  return disc >= 0 && static_cast<size_t>(disc) < sizes.size() ? sizes[static_cast<size_t>(disc)] : 0;
}

}  // namespace

std::string PageCaption(int page, const std::string& mediaName) {
  switch (page) {
    case TFormType::pgHello: return "ようこそ";
    case TFormType::pgLicense: return "ライセンス契約";
    case TFormType::pgMedia: return Format("インストールする%s", mediaName);
    case TFormType::pgFile: return "インストールするファイル";
    case TFormType::pgSelDir: return "インストール先の選択";
    case TFormType::pgConfirm: return "インストール準備完了";
    case TFormType::pgCopy: return "ファイルコピー";
    case TFormType::pgExit: return "完了";
    case TFormType::pgUninst: return "アンインストール";
    case TFormType::pgDelete: return "削除";
  }
  return std::string();
}

TFormType::TFormType(TRunContext& run, TForm* owner)
    : TForm(run.app, owner, "FormType"),
      Notebook(*this, "Notebook", std::vector<std::string>(kPageNames, kPageNames + kPageCount)),
      EditHello(Notebook.Page(pgHello), "EditHello"),
      Label2(Notebook.Page(pgLicense), "Label2"),
      Label4(Notebook.Page(pgLicense), "Label4"),
      EditLicense(Notebook.Page(pgLicense), "EditLicense"),
      CheckLicense(Notebook.Page(pgLicense), "CheckLicense"),
      LabelDisk(Notebook.Page(pgMedia), "LabelDisk"),
      RadioDiskAll(Notebook.Page(pgMedia), "RadioDiskAll"),
      RadioDiskThis(Notebook.Page(pgMedia), "RadioDiskThis"),
      Label1(Notebook.Page(pgFile), "Label1"),
      CheckProg(Notebook.Page(pgFile), "CheckProg"),
      CheckData(Notebook.Page(pgFile), "CheckData"),
      CheckSound(Notebook.Page(pgFile), "CheckSound"),
      CheckMovie(Notebook.Page(pgFile), "CheckMovie"),
      LabelSize(Notebook.Page(pgFile), "LabelSize"),
      Label3(Notebook.Page(pgSelDir), "Label3"),
      EditDir(Notebook.Page(pgSelDir), "EditDir"),
      Directory(Notebook.Page(pgSelDir), "Directory"),
      Drive(Notebook.Page(pgSelDir), "Drive"),
      LabelSzDrv(Notebook.Page(pgSelDir), "LabelSzDrv"),
      LabelSzNeed(Notebook.Page(pgSelDir), "LabelSzNeed"),
      Label5(Notebook.Page(pgConfirm), "Label5"),
      LabelBack(Notebook.Page(pgConfirm), "LabelBack"),
      LabelBack2(Notebook.Page(pgConfirm), "LabelBack2"),
      LabelCopyCap(Notebook.Page(pgCopy), "LabelCopyCap"),
      LabelCopy(Notebook.Page(pgCopy), "LabelCopy"),
      Progress(Notebook.Page(pgCopy), "Progress"),
      LabelExit(Notebook.Page(pgExit), "LabelExit"),
      LabelUninst(Notebook.Page(pgUninst), "LabelUninst"),
      Label7(Notebook.Page(pgUninst), "Label7"),
      CheckDelSave(Notebook.Page(pgUninst), "CheckDelSave"),
      LabelDelTitle(Notebook.Page(pgDelete), "LabelDelTitle"),
      LabelDel(Notebook.Page(pgDelete), "LabelDel"),
      Bevel1(*this, "Bevel1"),
      btnBack(*this, "btnBack"),
      btnNext(*this, "btnNext"),
      btnAbort(*this, "btnAbort"),
      FileOperation(this, "FileOperation"),
      ShellLink(this, "ShellLink"),
      run_(run) {
  // The window as it is laid out: a fixed dialog, centred on the main window.
  SetCaption("インストールタイプの選択");
  SetBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poMainFormCenter);
  SetClientWidth(497);
  SetClientHeight(336);
  Notebook.SetBounds(0, 0, 497, 293);
  Bevel1.SetShape(TBevelShape::bsTopLine);
  Bevel1.SetBounds(0, 293, 497, 12);

  for (TRichEdit* edit : {&EditHello, &EditLicense}) {
    edit->SetReadOnly(true);
    edit->SetMaxLength(5242880);
  }
  EditHello.SetBounds(8, 8, 481, 273);
  Label2.SetCaption("以下のライセンス同意書をお読みください。セットアップを継続するには、必ず全ての契約条項");
  Label2.SetBounds(12, 16, Label2.Width(), Label2.Height());
  Label4.SetCaption("に同意しなければなりません。");
  Label4.SetBounds(12, 36, Label4.Width(), Label4.Height());
  EditLicense.SetBounds(8, 56, 481, 201);
  CheckLicense.SetCaption("同意する(&P)");
  CheckLicense.SetBounds(16, 264, 97, 17);

  LabelDisk.SetBounds(16, 16, LabelDisk.Width(), LabelDisk.Height());
  RadioDiskAll.SetBounds(24, 40, 237, 17);
  RadioDiskThis.SetBounds(24, 68, 237, 17);

  Label1.SetCaption("インストールするファイルを選択してください");
  Label1.SetBounds(16, 16, Label1.Width(), Label1.Height());
  CheckProg.SetCaption("プログラム");
  CheckProg.SetBounds(24, 40, 169, 17);
  CheckProg.SetChecked(true);
  CheckProg.SetEnabled(false);
  CheckData.SetCaption("シナリオ・グラフィック");
  CheckData.SetBounds(24, 68, 141, 17);
  CheckSound.SetCaption("サウンド");
  CheckSound.SetBounds(24, 96, 141, 17);
  CheckMovie.SetCaption("ムービー");
  CheckMovie.SetBounds(24, 124, 141, 17);
  LabelSize.SetBounds(24, 256, LabelSize.Width(), LabelSize.Height());

  Label3.SetCaption("インストール先を選択してください");
  Label3.SetBounds(16, 16, Label3.Width(), Label3.Height());
  EditDir.SetBounds(16, 32, 465, 20);
  Directory.SetBounds(16, 56, 465, 161);
  Drive.SetBounds(16, 224, 465, 18);
  LabelSzDrv.SetBounds(16, 248, LabelSzDrv.Width(), LabelSzDrv.Height());
  LabelSzNeed.SetBounds(16, 268, LabelSzNeed.Width(), LabelSzNeed.Height());

  Label5.SetCaption("ファイルをコピーする準備が整いました");
  Label5.SetBounds(16, 16, Label5.Width(), Label5.Height());
  LabelBack.SetCaption("[インストール] をクリックするとコピーを開始します。設定を確認・変更したい場合は [戻る] を");
  LabelBack.SetBounds(16, 44, LabelBack.Width(), LabelBack.Height());
  LabelBack2.SetCaption("クリックしてください");
  LabelBack2.SetBounds(16, 64, LabelBack2.Width(), LabelBack2.Height());

  LabelCopyCap.SetCaption("ファイルをコピーしています");
  LabelCopyCap.SetBounds(16, 16, LabelCopyCap.Width(), LabelCopyCap.Height());
  LabelCopy.SetCaption("...");
  LabelCopy.SetBounds(16, 236, LabelCopy.Width(), LabelCopy.Height());
  Progress.SetRange(0, 100);
  Progress.SetBounds(16, 256, 461, 16);

  LabelExit.SetCaption("インストールが完了しました");
  LabelExit.SetBounds(16, 16, LabelExit.Width(), LabelExit.Height());

  LabelUninst.SetBounds(16, 16, LabelUninst.Width(), LabelUninst.Height());
  Label7.SetCaption("[実行] をクリックすると削除処理を開始します");
  Label7.SetBounds(16, 36, Label7.Width(), Label7.Height());
  CheckDelSave.SetCaption("セーブデータも削除");
  CheckDelSave.SetBounds(20, 64, 201, 17);
  LabelDelTitle.SetBounds(16, 16, LabelDelTitle.Width(), LabelDelTitle.Height());
  LabelDel.SetBounds(16, 260, LabelDel.Width(), LabelDel.Height());

  btnBack.SetCaption("< 戻る(&B)");
  btnBack.SetBounds(244, 300, 75, 25);
  btnBack.SetEnabled(false);
  btnNext.SetCaption("次へ(&N) >");
  btnNext.SetBounds(324, 300, 75, 25);
  btnNext.SetDefault(true);
  btnAbort.SetCaption("中断(&A)");
  btnAbort.SetBounds(416, 300, 75, 25);

  FileOperation.SetOptions({fofSilent, fofNoConfirmation, fofFilesOnly});

  // Handlers.
  btnNext.OnClick = [this](TControl&) { btnNextClick(); };
  btnBack.OnClick = [this](TControl&) { btnBackClick(); };
  btnAbort.OnClick = [this](TControl&) { btnAbortClick(); };
  CheckLicense.OnClick = [this](TControl&) { CheckLicenseClick(); };
  CheckProg.OnClick = [this](TControl&) { CheckProgClick(); };
  for (TCheckBox* box : {&CheckData, &CheckSound, &CheckMovie}) box->OnClick = [this](TControl&) { CheckDataClick(); };
  Drive.OnChange = [this](TControl&) { DriveChange(); };
  Directory.OnChange = [this](TControl&) { DirectoryChange(); };
  Drive.SetDirList(&Directory);
  OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };

  uninstallMode_ = run_.settings.Installed;
  RunCreate([this] { FormCreate(); });
}

TFormType::~TFormType() = default;

void TFormType::Pause(uint32_t milliseconds) {
  if (run_.pause)
    run_.pause(milliseconds);
  else
    run_.platform.Sleep(milliseconds);
}

void TFormType::BringToFront() {
  if (Peer()) Peer()->SetFocus();
}

std::string TFormType::SourceFolder() {
  Platform& platform = run_.platform;
  std::string folder = run_.parameter;
  if (folder.empty()) {
    // Started without a parameter: the medium is where the program itself lies.
    folder = arcpaths::FilePath(platform.ProgramFile());
  } else if (platform.FileExists(folder)) {
    // An archive file given on the command line: its folder is the medium.
    folder = arcpaths::FilePath(folder);
  }
  return folder.empty() ? folder : AddBackslash(folder);
}

// ---- creation

void TFormType::FormCreate() {
  creating_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{creating_};
  TZarnInstallSet& s = run_.settings;
  Platform& platform = run_.platform;

  LabelDisk.SetCaption(Format("インストールする%sを指定してください", s.MediaName));
  RadioDiskAll.SetCaption(Format("全ての%sをインストール", s.MediaName));
  RadioDiskThis.SetCaption(Format("この%sをインストール", s.MediaName));
  if (s.DiscIndex == 0 && s.DiscCount > 1) RadioDiskAll.SetChecked(true);
  LabelUninst.SetCaption(Format("%s をコンピュータから削除します", s.Title));
  btnBack.SetVisible(!uninstallMode_);

  // The destination: where the game was installed before, else the default folder.
  std::string path;
  try {
    path = s.ReadRegString(platform, "InstallPath", "");
  } catch (const ERegistryError&) {
    path.clear();  // a value of another type proposes nothing
  }
  if (path.empty() || !platform.DirectoryExists(path)) {
    const std::string marker = kProgramFilesMarker;
    if (s.DefaultDir.compare(0, marker.size(), marker) == 0) {
      std::string programFiles = WithoutTrailingBackslash(SpecialFolderPath(platform, csidlProgramFiles));
      if (programFiles.empty()) programFiles = ExtractFileDrive(platform.WindowsDirectory()) + "\\Program Files";
      SubFolderName = StripOuterBackslashes(s.DefaultDir.substr(marker.size()));
      path = programFiles + "\\" + SubFolderName;
    } else {
      std::string windows = platform.WindowsDirectory();
      std::string rest = s.DefaultDir;
      if (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
      path = std::string(1, windows.empty() ? 'C' : windows[0]) + ":\\" + rest;
      SubFolderName = StripOuterBackslashes(s.DefaultDir);
    }
  }
  path = WithoutTrailingBackslash(path);
  EditDir.SetText(path);
  if (platform.DirectoryExists(path)) SubFolderName.clear();
  PointListsAt(path);

  EditHello.SetText(s.HelloText);
  EditLicense.SetText(s.LicenseText);

  for (bool& enabled : PageEnabled) enabled = true;
  PageEnabled[pgHello] = !s.HelloText.empty();
  PageEnabled[pgLicense] = !s.LicenseText.empty();
  if (s.InstallKind == ikSystem) {
    PageEnabled[pgMedia] = PageEnabled[pgFile] = PageEnabled[pgSelDir] = false;
  } else if (s.UpdateMode || s.InstallKind == ikFull) {
    PageEnabled[pgMedia] = PageEnabled[pgFile] = false;
  } else if (s.DiscCount < 2 || s.DiscIndex != 0) {
    PageEnabled[pgMedia] = false;
  }

  if (uninstallMode_) {
    for (bool& enabled : PageEnabled) enabled = false;
    PageEnabled[pgUninst] = PageEnabled[pgDelete] = PageEnabled[pgExit] = true;
    ShowPage(pgUninst);
  } else {
    int first = FirstOpenPage();
    if (first >= 0) ShowPage(first);
  }
  if (s.InstallKind == ikFull) {
    CheckData.SetChecked(true);
    CheckSound.SetChecked(true);
    CheckMovie.SetChecked(true);
  }
  bool backText = FirstOpenPage() < pgConfirm;
  LabelBack.SetVisible(backText);
  LabelBack2.SetVisible(backText);
  if (CurrentPage() == pgSelDir) UpdateSizes();
}

void TFormType::PointListsAt(const std::string& proposal) {
  Platform& platform = run_.platform;
  if (proposal.empty()) return;
  char letter = static_cast<char>(toupper(static_cast<unsigned char>(proposal[0])));
  bool haveDrive = letter >= 'A' && letter <= 'Z' && (platform.LogicalDrives() & (1u << (letter - 'A')));
  if (!haveDrive) return;  // nothing to point at; EditDir still shows the proposal
  try {
    Drive.SetDrive(letter);
  } catch (const EZarnError&) {
    return;  // a drive that cannot be entered now (no disc in it)
  }
  // The nearest folder of the proposal that exists.
  std::string path = proposal;
  while (!path.empty() && !platform.DirectoryExists(path)) path = UpOneLevel(path);
  if (path.empty()) return;
  try {
    Directory.SetDirectory(path);
  } catch (const EZarnError&) {
    // A folder that exists but cannot be entered: the list stays at the drive.
  }
}

// ---- pages

int TFormType::FirstOpenPage() const {
  for (int i = 0; i < kPageCount; ++i)
    if (PageEnabled[i]) return i;
  return -1;
}

int TFormType::LastOpenPage() const {
  for (int i = kPageCount - 1; i >= 0; --i)
    if (PageEnabled[i]) return i;
  return -1;
}

void TFormType::ShowPage(int index) {
  TZarnInstallSet& s = run_.settings;
  Notebook.SetPageIndex(index);
  switch (index) {
    case pgFile: {
      SetCaption(PageCaption(index, s.MediaName));
      bool all = RadioDiskAll.Checked();
      int32_t disc = s.DiscIndex;
      CheckProg.SetVisible((all ? s.ProgramSize : DiscEntry(s.DiscProgramSizes, disc)) > 0);
      CheckData.SetVisible((all ? s.DataSize : DiscEntry(s.DiscDataSizes, disc)) > 0);
      CheckSound.SetVisible((all ? s.SoundSize : DiscEntry(s.DiscSoundSizes, disc)) > 0);
      CheckMovie.SetVisible((all ? s.MovieSize : DiscEntry(s.DiscMovieSizes, disc)) > 0);
      UpdateSizes();
      break;
    }
    case pgSelDir:
      SetCaption(PageCaption(index, s.MediaName));
      ShowDriveFree();
      break;
    case pgCopy: {
      btnBack.Hide();
      btnNext.Hide();
      SetCaption(PageCaption(index, s.MediaName));
      App().ProcessMessages();
      TInstallInput input;
      input.source = SourceFolder();
      input.dest = DestDir();
      input.allDiscs = RadioDiskAll.Checked();
      input.data = CheckData.Checked();
      input.sound = CheckSound.Checked();
      input.movie = CheckMovie.Checked();
      input.neededBytes = NeededBytes;
      TWizardJobView view(*this);
      TInstallJob job(run_, input, view);
      job.Execute();
      return;  // the job has shown the exit page, or left the buttons as they are
    }
    case pgExit:
      SetCaption(PageCaption(index, s.MediaName));
      btnAbort.SetFocus();
      break;
    case pgUninst: {
      SetCaption(PageCaption(index, s.MediaName));
      bool saveData = run_.platform.FileExists(SourceFolder() + "save.dat");
      TStringList folders;
      UserAppDataDirs(run_.platform, s.Title, folders);
      for (const std::string& folder : folders)
        if (run_.platform.FileExists(AddBackslash(folder) + "save.dat")) saveData = true;
      CheckDelSave.SetVisible(saveData);
      break;
    }
    case pgDelete: {
      btnNext.Hide();
      SetCaption(PageCaption(index, s.MediaName));
      TUninstallInput input;
      input.folder = SourceFolder();
      input.deleteSaveData = CheckDelSave.Visible() && CheckDelSave.Checked();
      TWizardJobView view(*this);
      TUninstallJob job(run_, input, view);
      job.Execute();
      return;
    }
    default:
      SetCaption(PageCaption(index, s.MediaName));
      break;
  }
  UpdateButtons();
}

void TFormType::UpdateButtons() {
  int page = CurrentPage();
  btnBack.SetEnabled(FirstOpenPage() < page);
  btnNext.SetEnabled(page < LastOpenPage() && (page != pgLicense || CheckLicense.Checked()));
  if (page == pgConfirm)
    btnNext.SetCaption("インストール");
  else if (page == pgUninst)
    btnNext.SetCaption("実行");
  else
    btnNext.SetCaption("次へ(&N) >");
  if (page == pgExit) btnAbort.SetCaption("閉じる(&C)");
}

// ---- sizes and drives

void TFormType::UpdateSizes() {
  const TZarnInstallSet& s = run_.settings;
  if (s.UpdateMode) {
    NeededBytes = s.ProgramSize + s.DataSize + s.SoundSize + s.MovieSize;
  } else if (RadioDiskAll.Checked() || s.InstallKind == ikFull) {
    NeededBytes = s.ProgramSize + (CheckData.Checked() ? s.DataSize : 0) + (CheckSound.Checked() ? s.SoundSize : 0) +
                  (CheckMovie.Checked() ? s.MovieSize : 0);
  } else {
    int32_t d = s.DiscIndex;
    NeededBytes = DiscEntry(s.DiscProgramSizes, d) + (CheckData.Checked() ? DiscEntry(s.DiscDataSizes, d) : 0) +
                  (CheckSound.Checked() ? DiscEntry(s.DiscSoundSizes, d) : 0) +
                  (CheckMovie.Checked() ? DiscEntry(s.DiscMovieSizes, d) : 0);
  }
  double mb = static_cast<double>(NeededBytes) / 1048576.0;
  LabelSize.SetCaption(Format("最低 %2f MBのディスクの空き容量が必要です", mb));
  LabelSzNeed.SetCaption(Format("インストールには最低 %2f MBのディスクの空き容量が必要です", mb));
}

int32_t TFormType::DriveFreeMB(char letter) {
  DiskSpace space;
  if (!run_.platform.DiskFreeSpaceEx(std::string(1, letter) + ":\\", space)) return 0;
  int64_t mb = space.freeToCaller / 1048576;
  return mb > INT32_MAX ? INT32_MAX : static_cast<int32_t>(mb);
}

void TFormType::ShowDriveFree() {
  char letter = Drive.Drive();
  if (!letter) return;
  int32_t n = DriveFreeMB(letter);
  if (n >= 0) LabelSzDrv.SetCaption("このドライブには " + FormatThousands(n) + " MBの空きがあります");
}

void TFormType::DriveChange() { ShowDriveFree(); }

void TFormType::DirectoryChange() {
  if (creating_) return;  // the proposal stays as it was made
  std::string chosen = Directory.Directory();
  if (!SubFolderName.empty() && !run_.settings.UpdateMode)
    EditDir.SetText(AddBackslash(chosen) + SubFolderName);
  else
    EditDir.SetText(chosen);
}

std::string TFormType::DestDir() {
  if (run_.settings.InstallKind == ikSystem) return AddBackslash(run_.platform.WindowsDirectory());
  return AddBackslash(EditDir.Text());
}

// ---- buttons

void TFormType::CheckLicenseClick() {
  int page = CurrentPage();
  btnNext.SetEnabled(page < LastOpenPage() && CheckLicense.Checked());
}

void TFormType::CheckProgClick() {
  if (!CheckProg.Checked()) CheckProg.SetChecked(true);
}

void TFormType::CheckDataClick() { UpdateSizes(); }

namespace {

// Whether the folder already holds an installation of this title: its install.dat, or
// else a setup program carrying the title in its appended archive.
bool HoldsTitle(Platform& platform, const std::string& dest, const std::string& title) {
  if (platform.FileExists(dest + "install.dat")) {
    TZarnInstallSet installed;
    try {
      installed.LoadFromFile(platform, dest + "install.dat");
    } catch (const EZarnError&) {
      return false;  // unreadable: not an installation we can update
    }
    return installed.Title == title;
  }
  try {
    return !FindInstaller(platform, dest, title).empty();
  } catch (const EZarnError&) {
    return false;
  }
}

}  // namespace

void TFormType::btnNextClick() {
  int page = CurrentPage();
  if (page == pgCopy) {
    SetModalResult(mrOk);
    return;
  }
  if (page == pgSelDir) {
    const std::string& text = EditDir.Text();
    if (text.size() <= 3) {
      App().MessageDlg("正しいインストール先を指定してください", mtWarning, mbOK);
      return;
    }
    // Only a full path names one folder whatever the current folder is.
    if (!IsAbsoluteFolder(text)) {
      App().MessageDlg("インストール先はドライブ名から始まるフォルダ（C:\\Games\\ゲーム など）で指定してください",
                       mtWarning, mbOK);
      return;
    }
    std::string dest = DestDir();
    if (run_.settings.UpdateMode && !HoldsTitle(run_.platform, dest, run_.settings.Title)) {
      App().MessageDlg("正しいインストール先を指定してください", mtWarning, mbOK);
      return;
    }
    if (NeededBytes / 1024 / 1024 > DriveFreeMB(dest[0]) &&
        App().MessageDlg("ドライブにじゅうぶんな空き容量がありません\r\nこのまま処理を続けますか？", mtWarning,
                         mbYesNo) == mrNo)
      return;
  }
  for (int i = page + 1; i < kPageCount; ++i)
    if (PageEnabled[i]) {
      ShowPage(i);
      return;
    }
}

void TFormType::btnBackClick() {
  for (int i = CurrentPage() - 1; i >= 0; --i)
    if (PageEnabled[i]) {
      ShowPage(i);
      return;
    }
}

void TFormType::btnAbortClick() {
  switch (CurrentPage()) {
    case pgExit:
      SetModalResult(mrOk);
      break;
    case pgCopy:
      if (App().MessageDlg("インストールを中断しますか？", mtConfirmation, mbYesNo) == mrYes) SetModalResult(mrAbort);
      break;
    case pgDelete:
      if (App().MessageDlg("アンインストールを中断しますか？", mtConfirmation, mbYesNo) == mrYes)
        SetModalResult(mrAbort);
      break;
    default:
      SetModalResult(mrCancel);
      break;
  }
}

void TFormType::FormCloseQuery(bool& canClose) {
  if (ModalResult() != mrCancel) return;
  std::string what = uninstallMode_ ? "アンインストール" : "インストール";
  canClose = App().MessageDlg(what + "を中断しますか？", mtConfirmation, mbYesNo) == mrYes;
}

}  // namespace zarn
