#include "wizard/install_job.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "archive/split_file_stream.h"
#include "archive/member_name.h"
#include "archive/archive_reader.h"
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

namespace {

// Extensions of the sound and movie components; every other plain file is program.
const std::string kSoundExtensions = ".mp2.mp3.wma.wav.mid.ogg";
const std::string kMovieExtensions = ".avi.wmv.asf.mpg.mpeg";

const char* const kOriginalProject = "/original_zarn.zpb";
const char* const kProject = "zarn.zpb";
const char* const kPackageName = "~zrupdate.pak";

bool InList(const std::string& list, const std::string& path) {
  std::string ext = LowerCase(ExtractFileExt(path));
  return !ext.empty() && list.find(ext) != std::string::npos;
}

int ClampInt(int64_t v) { return static_cast<int>(std::min<int64_t>(std::max<int64_t>(v, 0), INT_MAX)); }

bool IsEndMarker(const TVrFile& f) { return f.Name() == kEndMarkerName; }

// A plain file of the medium, with the size and attributes its folder listing gave.
struct SourceFile {
  std::string relative;
  int64_t size = 0;
  uint32_t attributes = 0;
};

// Every file below `folder` (ending in a backslash), named relative to `base`, each
// folder's contents right after the files before it.
void ListSourceFiles(Platform& platform, const std::string& folder, size_t base, std::vector<SourceFile>& out) {
  std::vector<DirEntry> entries;
  if (!platform.ListDirectory(folder, entries)) return;
  for (const DirEntry& e : entries) {
    if (e.name == "." || e.name == "..") continue;
    if (e.attributes & faDirectory)
      ListSourceFiles(platform, folder + e.name + "\\", base, out);
    else
      out.push_back({(folder + e.name).substr(base), e.size, e.attributes});
  }
}

}  // namespace

TInstallJob::TInstallJob(TRunContext& run, const TInstallInput& input, TJobView& view)
    : platform_(run.platform),
      app_(run.app),
      settings_(run.settings),
      ownMain_(run.archive ? nullptr : std::make_unique<TVrFileCollection>(run.platform)),
      main_(run.archive ? *run.archive : *ownMain_),
      input_(input),
      view_(view),
      dest_(input.dest),
      source_(input.source) {}

TInstallJob::~TInstallJob() { CleanUp(); }

bool TInstallJob::Aborted() const { return endedWith_ == mrAbort || view_.AbortRequested(); }

void TInstallJob::EndWith(int modalResult) {
  endedWith_ = modalResult;
  view_.EndWith(modalResult);
}

void TInstallJob::ShowProgress() { view_.ShowProgress(ClampInt(progressTotal_ / 10)); }

void TInstallJob::CleanUp() {
  data_.reset();
  if (!workFolder_.empty()) {
    RemoveTree(platform_, workFolder_);
    workFolder_.clear();
  }
}

// ---- progress

void TInstallJob::OnBuildProgress(TVrFileCollection&, TVrFile*, int64_t bytes, int index, int count, bool& cancel) {
  progressTotal_ += bytes;
  if (index % 10 != 9 && bytes <= 3145728) return;
  ShowProgress();
  view_.ShowStatus(Format("データファイルを構築中(%d/%d)...", index + 1, count));
  view_.ProcessMessages();
  if (Aborted()) cancel = true;
}

void TInstallJob::OnVerifyProgress(TVrFileCollection&, TVrFile*, int64_t, int index, int count, bool& cancel) {
  view_.ShowProgressRange(std::max(count - 1, 0));
  view_.ShowProgress(index);
  view_.ShowStatus(Format("データファイルを調べています(%d/%d)...", index + 1, count));
  view_.ProcessMessages();
  if (Aborted()) cancel = true;
}

// ---- the job

void TInstallJob::Execute() {
  // A run the user stopped (or whose data failed the check) takes back the files it made.
  if (!Run() && Aborted()) UndoCreated();
}

bool TInstallJob::Run() {
  view_.ProcessMessages();
  // Every name and path of the medium is checked before the first file changes.
  CheckSettingsNames();

  // An update of a folder without install.dat is one of a setup program carrying the
  // game in its appended archive.
  if (settings_.UpdateMode && !platform_.FileExists(dest_ + "install.dat")) {
    bundlePath_ = FindInstaller(platform_, dest_, settings_.Title);
    if (!bundlePath_.empty()) PrepareWorkFolder();
  }
  const bool bundle = !bundlePath_.empty();
  destExisted_ = platform_.DirectoryExists(dest_);

  progressTotal_ = 0;
  view_.ShowProgressRange(ClampInt(input_.neededBytes / 10));
  view_.ShowProgress(0);

  if (!settings_.UpdateMode) DeleteOldDataFile();
  const bool dataFileExisted = settings_.UpdateMode && !bundle && platform_.FileExists(dest_ + "game.dat");

  // The data file is built when the data component is chosen, and updated in an update.
  if (input_.data || settings_.UpdateMode) {
    data_ = std::make_unique<TVrFileCollection>(platform_);
    if (bundle)
      data_->Open(workFolder_);
    else
      data_->OpenPath(dest_ + "game.dat", true);
    data_->OnProgress = [this](TVrFileCollection& c, TVrFile* e, int64_t b, int i, int n, bool& cancel) {
      OnBuildProgress(c, e, b, i, n, cancel);
    };
    // The project file an earlier install left is kept as it was, once: not the one an
    // earlier disc of this run has just put in.
    if (dataFileExisted && data_->IndexOf(kOriginalProject) < 0) {
      int k = data_->IndexOf(kProject);
      if (k >= 0) data_->Files(k)->SetName(kOriginalProject);
    }
  }

  // A record without a disc count still describes the one disc it came with.
  for (int disc = 0; disc < std::max<int32_t>(settings_.DiscCount, 1); ++disc) {
    if (!input_.allDiscs && disc != settings_.DiscIndex) continue;
    if (disc != settings_.DiscIndex && !ChangeDisc(disc)) return false;
    if (!settings_.FilesInArchive && !CopyPlainFiles()) return false;
    if (data_ && !BuildDataFile()) return false;
    if (bundle) CarryOverBundleMembers();
    if (settings_.FilesInArchive) WriteSeparateFiles();
  }

  if (bundle && !BuildNewBundle()) return false;

  if (data_) {
    data_->OnProgress = [this](TVrFileCollection& c, TVrFile* e, int64_t b, int i, int n, bool& cancel) {
      OnVerifyProgress(c, e, b, i, n, cancel);
    };
    view_.ShowHeading("データファイルをチェックしています");
    if (!data_->Verify()) {
      view_.Ask(
          "ファイルの内容が正しくありません\r\nインストールしなおしてください\r\n何度も失敗する場合は、スキャンディスクを実行して\r\n"
          "ハードディスクに異常がないか調べてください",
          mtWarning, mbOK);
      EndWith(mrAbort);
      return false;
    }
    if (Aborted()) return false;
  }

  if (bundle) PutBundleInPlace();
  RecordDataFileParts();
  CleanUp();

  if (settings_.InstallKind != ikSystem && !bundle) RecordInstallation();

  if (!settings_.ReadmeFile.empty() && settings_.OpenReadme) {
    platform_.ShellExecute("open", dest_ + settings_.ReadmeFile, "", dest_, 1);
    view_.Pause(1000);
    view_.BringToFront();
  }
  view_.Finished("");
  return true;
}

void TInstallJob::UndoCreated() {
  CleanUp();  // the data file is closed first
  if (!settings_.UpdateMode && bundlePath_.empty()) DeleteOldDataFile();  // this run's data file
  for (const std::string& path : created_) {
    uint32_t attr = platform_.GetFileAttributes(path);
    if (attr == faInvalid || (attr & (faDirectory | faReparsePoint))) continue;
    if (attr & faReadOnly) platform_.SetFileAttributes(path, attr & ~faReadOnly);
    platform_.DeleteFile(path);
  }
  created_.clear();
  // Folders this run made, deepest first; each goes only when it is left empty.
  for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) {
    uint32_t attr = platform_.GetFileAttributes(*it);
    if (attr != faInvalid && !(attr & faReparsePoint)) platform_.RemoveDirectory(*it);
  }
  createdFolders_.clear();
  if (!destExisted_) RemoveEmptyFolders(platform_, dest_);
}

void TInstallJob::NoteNewFolders(const std::string& folder) {
  std::vector<std::string> missing;
  std::string path = folder;
  while (path.size() > dest_.size()) {
    while (EndsWithDelimiter(path, '\\')) path.pop_back();
    if (platform_.GetFileAttributes(path) != faInvalid) break;
    missing.push_back(path);
    path = path.substr(0, path.size() - ExtractFileName(path).size());
  }
  createdFolders_.insert(createdFolders_.end(), missing.rbegin(), missing.rend());
}

void TInstallJob::CheckSettingsNames() {
  // The program group, the registry key and the save folder stay what the game owns.
  CheckOwnedSettings(settings_);
  // Files the job will open, write or point shortcuts at must lie inside the destination.
  if (!settings_.ReadmeFile.empty()) CheckMemberName(settings_.ReadmeFile);
  if (!settings_.ProgramFile.empty()) CheckMemberName(settings_.ProgramFile);
  std::string linkFree;
  for (const std::string& name : settings_.DiscFiles)
    if (!name.empty()) CheckDestinationName(name, &linkFree);
  for (int i = 0; i < main_.Count(); ++i) {
    TVrFile& m = *main_.Files(i);
    if (&m != main_.EndMarker() && m.Separate && m.Name() != "install.dat") CheckDestinationName(m.Name());
  }
  // The files the job writes itself are replaced, never written through a link; a link
  // among the folders on the way to them is refused here, before anything changes.
  for (const char* name : {"install.dat", "game.dat", "game.ext"}) CheckDestinationName(name);
  if (settings_.UpdateMode)
    for (const char* name : {"game.dat", "game.ext"})
      if (platform_.GetFileAttributes(dest_ + name) != faInvalid &&
          (platform_.GetFileAttributes(dest_ + name) & faReparsePoint))
        throw EFormatError(Format("%s:リンクを経由して更新することはできません", dest_ + name));
}

// A name the job will write below the destination: a plain relative name, and no link
// among the folders on the way (a link at the name itself is replaced when written).
void TInstallJob::CheckDestinationName(const std::string& name, std::string* linkFree) {
  CheckMemberName(name);
  std::string relative = ReplaceDelimiter(name, '/', '\\');
  std::string folder = relative.substr(0, relative.size() - ExtractFileName(relative).size());
  if (linkFree && !folder.empty() && folder == *linkFree) return;
  if (PassesThroughLink(platform_, dest_, folder))
    throw EFormatError(Format("%s:リンクを経由して書き込むことはできません", dest_ + relative));
  if (linkFree) *linkFree = folder;
}

void TInstallJob::PrepareWorkFolder() {
  std::string temp = AddBackslash(platform_.TempPath());
  std::string folder = temp + "~zmupdate\\";
  for (int n = 2; platform_.DirectoryExists(folder) || platform_.FileExists(folder); ++n)
    folder = temp + Format("~zmupdate%d\\", n);
  ForceDirectories(platform_, folder);
  if (!platform_.DirectoryExists(folder)) throw EZarnError("作業用フォルダが作成できません");
  workFolder_ = folder;
}

void TInstallJob::DeleteOldDataFile() {
  // A link in the place of one of them goes as a link, whatever it leads to.
  for (const char* name : {"game.dat", "game.ext", "game.ext.tmp"})
    if (!RemoveLinkAt(platform_, dest_ + name) && platform_.FileExists(dest_ + name)) platform_.DeleteFile(dest_ + name);
  for (int part = 1;; ++part) {
    std::string path = dest_ + Format("game.%.3d", part);
    if (RemoveLinkAt(platform_, path)) continue;
    if (!platform_.FileExists(path)) break;
    platform_.DeleteFile(path);
  }
}

bool TInstallJob::ChangeDisc(int disc) {
  main_.Open("");
  while (settings_.DiscIndex != disc) {
    int answer = view_.Ask(Format("ディスク%dを入れてからOKをクリックしてください", disc + 1), mtInformation,
                                mbOK | mbAbort);
    if (answer == mrOk) {
      view_.Pause(500);
      std::string path = source_ + "install.dat";
      if (!platform_.FileExists(path)) continue;
      TZarnInstallSet inserted;
      try {
        inserted.LoadFromFile(platform_, path);
      } catch (const EZarnError&) {
        continue;  // not readable (yet): ask for the disc again
      }
      // Another game's disc is not the next disc of this one.
      if (inserted.Title != settings_.Title) continue;
      // The new disc's record, with what this run has installed so far.
      TStringList installed = settings_.InstalledFiles;
      bool dataInstalled = settings_.DataInstalled;
      TStringList discList = inserted.InstalledFiles;
      settings_ = inserted;
      settings_.InstalledFiles = installed;
      for (const std::string& name : discList) settings_.AddInstalledFile(name);
      settings_.DataInstalled = settings_.DataInstalled || dataInstalled;
    } else if (view_.Ask("インストールを中断しますか？", mtConfirmation, mbYesNo) == mrYes) {
      EndWith(mrAbort);
      return false;
    }
  }
  main_.Open(source_ + "game.dat");
  // The next disc's record and archive are as untrusted as the first disc's: their names
  // are checked before anything of this disc is installed.
  CheckSettingsNames();
  return true;
}

bool TInstallJob::CopyPlainFiles() {
  // The listing gives each file's size (for the progress) and attributes with its name.
  const std::string source = AddBackslash(source_);
  std::vector<SourceFile> files, chosen;
  ListSourceFiles(platform_, source, source.size(), files);
  for (SourceFile& file : files) {
    const std::string& relative = file.relative;
    if (relative.empty() || !settings_.IsDiscFile(relative)) continue;
    if (!settings_.UpdateMode) {
      if (InList(kSoundExtensions, relative) && !input_.sound) continue;
      if (InList(kMovieExtensions, relative) && !input_.movie) continue;
    }
    chosen.push_back(std::move(file));
  }

  std::string linkFree;
  for (const SourceFile& file : chosen) CheckDestinationName(file.relative, &linkFree);

  std::string madeFolder;  // the folder the previous file went to, known to be there
  for (const SourceFile& file : chosen) {
    const std::string& relative = file.relative;
    std::string from = source + relative;
    progressTotal_ += std::max<int64_t>(file.size, 0);
    ShowProgress();
    view_.ShowStatus(Format("%s をコピー中...", ExtractFileName(relative)));
    view_.ProcessMessages();
    if (Aborted()) return false;

    std::string target = dest_ + relative;
    std::string folder = target.substr(0, target.size() - ExtractFileName(target).size());
    if (folder != madeFolder) {
      NoteNewFolders(folder);
      if (!ForceDirectories(platform_, folder)) {
        view_.Ask("ディレクトリを作成できませんでした", mtWarning, mbOK);
        EndWith(mrOk);
        return false;
      }
      madeFolder = folder;
    }
    // A link standing at the target goes; the copy is a new file of the game's own.
    uint32_t attr = platform_.GetFileAttributes(target);
    if (attr != faInvalid && (attr & faReparsePoint) && RemoveLinkAt(platform_, target)) attr = faInvalid;
    if (attr == faInvalid) created_.push_back(target);
    // A file that could not be copied is not installed: say which, and stop.
    if (!CopyIfChanged(platform_, from, target, false))
      throw EZarnError(target + "\r\n" + "ファイルがコピーできません");
    // The copy takes the source's attributes: a read-only one is made writable.
    if (file.attributes & faReadOnly) {
      attr = platform_.GetFileAttributes(target);
      if (attr != faInvalid && (attr & faReadOnly)) platform_.SetFileAttributes(target, attr & ~faReadOnly);
    }
    settings_.AddInstalledFile(relative);
  }
  return true;
}

bool TInstallJob::BuildDataFile() {
  if (!ForceDirectories(platform_, dest_)) {
    view_.Ask("ディレクトリを作成できませんでした", mtWarning, mbOK);
    EndWith(mrOk);
    return false;
  }
  if (!bundlePath_.empty()) {
    TakeBundleMembers(main_, true);
  } else if (data_->MergeFrom(main_)) {
    settings_.AddInstalledFile("game.ext");
  }
  if (Aborted()) return false;
  if (input_.data && !settings_.UpdateMode) settings_.DataInstalled = true;
  return true;
}

// Extracts members of `from` into the work folder as members of the data file to be
// packed: all but the end marker and the separate files, where `newerOnly` only those
// the data file lacks or holds in an older version; else only those it lacks.
void TInstallJob::TakeBundleMembers(TVrFileCollection& from, bool newerOnly) {
  for (int i = 0; i < from.Count(); ++i) {
    TVrFile& m = *from.Files(i);
    if (&m == from.EndMarker() || IsEndMarker(m)) continue;
    if (newerOnly && m.Separate) continue;
    const std::string& name = m.Name();
    int k = data_->IndexOf(name);
    if (k >= 0 && (!newerOnly || data_->Files(k)->FileDate >= m.FileDate)) continue;

    view_.ShowStatus(Format("%s を展開中...", ExtractFileName(name)));
    view_.ProcessMessages();
    // A superseded member ("/" + name) has no file name of its own: it is packed from
    // memory. Every other member becomes a file below the work folder.
    bool superseded = !name.empty() && name[0] == '/';
    std::unique_ptr<TMemoryStream> content;
    if (superseded) {
      CheckMemberName(name.substr(1));
      content = std::make_unique<TMemoryStream>();
      from.ExtractToStream(*content, name);
    } else {
      std::string target = PrepareMemberTarget(platform_, workFolder_, name);
      TFileStream out(platform_, target, fmCreate);
      from.ExtractToStream(out, name);
    }
    TVrFile* e = k >= 0 ? data_->Files(k) : data_->AddFile(name);
    e->Source = std::move(content);
    e->FileDate = m.FileDate;
    e->Size = m.Size;
    e->Stored = m.Stored;
    e->CRC = m.CRC;
  }
}

void TInstallJob::CarryOverBundleMembers() {
  TVrFileCollection installed(platform_);
  installed.Open(bundlePath_);
  TakeBundleMembers(installed, false);
}

void TInstallJob::WriteSeparateFiles() {
  TVrFileCollection& main = main_;
  std::string bundleName = bundlePath_.empty() ? std::string() : ExtractFileName(bundlePath_);
  for (int i = 0; i < main.Count(); ++i) {
    TVrFile& m = *main.Files(i);
    if (&m == main.EndMarker() || !m.Separate) continue;
    const std::string& name = m.Name();
    if (name == "install.dat" || (!bundleName.empty() && SameText(name, bundleName))) continue;
    CheckDestinationName(name);
    std::string target = dest_ + ReplaceDelimiter(name, '/', '\\');
    RemoveLinkAt(platform_, target);  // never kept, never written through

    int32_t age = platform_.FileAge(target);
    if (platform_.FileExists(target) && m.FileDate <= age && settings_.InstallKind != ikSystem) {
      settings_.AddInstalledFile(name);  // what is there is as new: keep it
      continue;
    }
    view_.ShowStatus(Format("%s をコピー中...", ExtractFileName(name)));
    view_.ProcessMessages();

    ForceDirectories(platform_, dest_);
    target = PrepareMemberTarget(platform_, dest_, name);
    TMemoryStream content;
    main.ExtractToStream(content, name);
    // The checksum covers the content, or (for a member packed from the archive itself)
    // the stored bytes; 0 means the member has none.
    bool sound = m.CRC == 0 || StreamCRC(content) == m.CRC;
    if (!sound && !m.Stored && main.Stream()) {
      std::vector<uint8_t> buffer(1048576);
      main.Stream()->MoveTo(m.Offset);
      int64_t got = 0;
      uint32_t crc = RangeCRC(*main.Stream(), m.Size, buffer.data(), static_cast<int64_t>(buffer.size()), &got);
      sound = got == m.Size && crc == m.CRC;
    }
    if (!sound) throw EFormatError("ファイルが壊れています");

    uint32_t attr = platform_.GetFileAttributes(target);
    if (attr == faInvalid) created_.push_back(target);
    if (attr != faInvalid && (attr & faReadOnly)) platform_.SetFileAttributes(target, attr & ~faReadOnly);
    {
      auto file = platform_.OpenFile(target, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
      bool written = file != nullptr;
      if (written && content.Size() > 0) written = file->Write(content.Memory(), content.Size()) == content.Size();
      if (written) written = file->Flush();
      if (!written) {
        file.reset();
        if (platform_.FileExists(target)) platform_.DeleteFile(target);  // no half-written file is left
        throw EFCreateError(target + "\r\n" + "ファイルが作成できません");
      }
    }
    if (m.FileDate != 0) platform_.SetFileAge(target, m.FileDate);
    settings_.AddInstalledFile(name);
  }
}

bool TInstallJob::BuildNewBundle() {
  TVrFileCollection& main = main_;
  std::string name = ExtractFileName(bundlePath_);
  std::string program = workFolder_ + "~" + name;

  // The program part: the medium's new program when it carries one, else the installed
  // one without its archive.
  if (main.Stream() && main.IndexOf(name) >= 0) {
    TFileStream out(platform_, program, fmCreate);
    main.ExtractToStream(out, name);
  } else {
    TFileStream in(platform_, bundlePath_, fmOpenRead | fmShareDenyWrite);
    int64_t size = in.Size();
    if (size < 6) throw EFormatError(Format("%s:ファイルが壊れています", bundlePath_));
    in.SetPosition(size - 6);
    int64_t start = in.ReadI32();
    if (start < 0 || start > size - 6) throw EFormatError(Format("%s:ファイルが壊れています", bundlePath_));
    in.SetPosition(0);
    TFileStream out(platform_, program, fmCreate);
    if (start > 0) CopyStream(out, in, start);
  }

  data_->OnError = [this](const std::string& message) { view_.Ask(message, mtError, mbOK); };
  {
    TQxBigFileStream package(platform_, workFolder_ + kPackageName, fmCreate);
    if (!data_->WriteArchive(package)) return false;  // the user stopped the packing
    package.Flush();
  }
  if (Aborted()) return false;
  AppendArchive(platform_, program, workFolder_ + kPackageName);
  data_->Open(program);
  return true;
}

void TInstallJob::PutBundleInPlace() {
  std::string program = workFolder_ + "~" + ExtractFileName(bundlePath_);
  uint32_t attr = platform_.GetFileAttributes(bundlePath_);
  if (attr != faInvalid && (attr & faReadOnly)) platform_.SetFileAttributes(bundlePath_, attr & ~faReadOnly);
  // Copied beside the program and swapped in: a full disk leaves the old program whole.
  if (!CopyFileReplacing(platform_, program, bundlePath_))
    throw EZarnError(program + " --> " + bundlePath_ + "コピーできません");
}

void TInstallJob::RecordDataFileParts() {
  if (!data_ || !bundlePath_.empty()) return;
  auto* file = dynamic_cast<TQxBigFileStream*>(data_->Stream());
  if (!file) return;
  for (int i = 0; i < file->PartCount(); ++i) settings_.AddInstalledFile(ExtractFileName(file->PartName(i)));
}

void TInstallJob::RecordInstallation() {
  settings_.Installed = true;
  settings_.AddInstalledFile("install.dat");
  std::string record = dest_ + "install.dat";
  // The record on disk after this step: the installation's, which an update adds to.
  TZarnInstallSet installed;
  const TZarnInstallSet* saved = &settings_;
  if (settings_.UpdateMode && platform_.FileExists(record)) {
    installed.LoadFromFile(platform_, record);
    for (const std::string& name : settings_.InstalledFiles) installed.AddInstalledFile(name);
    installed.SaveToFile(platform_, record);
    saved = &installed;
  } else {
    settings_.SaveToFile(platform_, record);
  }
  if (!settings_.UpdateMode) {
    view_.ShowHeading("ショートカットを作成しています");
    view_.HideProgress();
    view_.ProcessMessages();
    MakeShortcuts();
    view_.Pause(2000);
    view_.BringToFront();
  }
  settings_.WriteRegString(platform_, "InstallPath", dest_);
  // The entry describes the whole installation, not the update's share of it.
  WriteProgramsEntry(platform_, *saved, dest_);
  view_.ShowHeading("レジストリを更新しています");
  view_.ProcessMessages();
  view_.Pause(1000);
}

void TInstallJob::MakeShortcuts() {
  TApplication& app = app_;
  TShellLinkType type = platform_.Version().platformId == 2 ? lnkCommonPrograms : lnkPrograms;
  // The group and the shortcuts are named after the title as Windows can write it; the
  // descriptions keep the title as it is.
  const std::string& title = settings_.Title;
  const std::string group = ProgramGroupName(title);
  if (group.empty()) throw EZarnError("タイトル \"" + title + "\" からはプログラムグループの名前が作れません");
  MakeShortcut(app, group, dest_ + settings_.ProgramFile, "", 0, 0, wsNormal, group, type, dest_, title);
  std::string uninstall = title + "のアンインストール";
  MakeShortcut(app, group + "のアンインストール", dest_ + "install.exe", "", 1, 0, wsNormal, group, type, dest_,
               uninstall);
  if (!settings_.ReadmeFile.empty())
    MakeShortcut(app, "お読みください", dest_ + settings_.ReadmeFile, "", 0, 0, wsNormal, group, type, dest_,
                 "お読みください");
  OpenShortcutFolder(app, type, group);
}

}  // namespace zarn
