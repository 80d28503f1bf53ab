// Whole wizard runs on a fresh machine: a medium made in the test (install.dat, the
// archive game.dat, plain files), the wizard driven by a scripted user through the
// headless toolkit, and helpers to read back what the run left on the machine.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/split_file_stream.h"
#include "archive/archive_reader.h"
#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "settings/paths.h"
#include "support/test_machine.h"
#include "toolkit/headless/headless.h"
#include "wizard/wizard_window.h"
#include "wizard/link_reader.h"
#include "wizard/shell_recorder.h"
#include "wizard/programs_entry.h"

namespace zarn {
namespace testing {

// MS-DOS date-times of 2020-01-01 and 2021-06-15 (noon).
constexpr int32_t kOldDate = (40 << 25) | (1 << 21) | (1 << 16) | (12 << 11);
constexpr int32_t kNewDate = (41 << 25) | (6 << 21) | (15 << 16) | (12 << 11);

struct MemberSpec {
  std::string name;
  std::string content;
  int32_t date = kOldDate;
  bool separate = false;
};

class WizardFixture : public ::testing::Test {
 protected:
  TestMachine machine;
  ShellRecorder shell{machine.platform()};  // the machine, with programs recorded, not started
  Platform& p = shell;
  TScriptedUser user;
  HeadlessBackend backend{user};
  TApplication app{p, backend};
  TZarnInstallSet settings;
  std::unique_ptr<TVrFileCollection> archive;
  std::unique_ptr<TFormType> form;
  std::vector<uint32_t> pauses;
  // Runs at every wait of a job (after it was recorded), e.g. to change the disc.
  std::function<void(uint32_t)> onPause;
  std::string medium;  // the medium's folder, with backslash
  std::string dest;    // the destination, with backslash
  std::string title;

  void SetUp() override {
    title = "物語" + machine.ScratchKey();
    medium = machine.Scratch() + "メディア\\";
    dest = machine.Scratch() + "games\\物語\\";
    ASSERT_TRUE(p.CreateDirectory(medium));
    settings = BaseSettings();
  }

  void TearDown() override {
    // The list of installed programs and the Start menu live outside the scratch space.
    DeleteProgramsEntry(p, settings);
    for (int type : {csidlCommonPrograms, csidlPrograms}) {
      std::string folder;
      if (p.SpecialFolder(type, folder)) RemoveFolderTree(AddBackslash(folder) + title);
    }
    form.reset();
    archive.reset();
  }

  // A one-disc product with its texts left out, so the wizard opens on the file page.
  TZarnInstallSet BaseSettings() {
    TZarnInstallSet s;
    s.Title = title;
    s.RegistryKey = "\\" + machine.ScratchKey() + "\\物語";
    s.MediaName = "ディスク";
    s.DefaultDir = "\\Games\\物語\\";
    s.ProgramFile = "game.exe";
    s.SetDiscCount(1);
    s.DiscProgramSizes[0] = s.ProgramSize = 1000;
    s.DiscDataSizes[0] = s.DataSize = 3000;
    s.DiscSoundSizes[0] = s.SoundSize = 500;
    s.DiscMovieSizes[0] = s.MovieSize = 700;
    s.DiscFiles.Add("game.exe");
    s.DiscFiles.Add("install.exe");
    return s;
  }

  // ---- files on the machine

  void Put(const std::string& path, const std::string& content, int32_t date = 0) {
    std::string folder = path.substr(0, path.size() - ExtractFileName(path).size());
    MakeFolders(folder);
    auto h = p.OpenFile(path, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
    ASSERT_TRUE(h) << path;
    ASSERT_EQ(h->Write(content.data(), static_cast<int64_t>(content.size())), static_cast<int64_t>(content.size()));
    h.reset();
    if (date) {
      ASSERT_TRUE(p.SetFileAge(path, date));
    }
  }

  std::string Get(const std::string& path) {
    TMemoryStream m;
    LoadFileToStream(p, path, m);
    return m.ToString();
  }

  bool Exists(const std::string& path) { return p.FileExists(path); }

  void MakeFolders(const std::string& folder) { ForceDirectories(p, folder); }

  void RemoveFolderTree(const std::string& folder) {
    std::vector<DirEntry> entries;
    if (!p.ListDirectory(folder, entries)) return;
    for (const DirEntry& e : entries) {
      std::string path = AddBackslash(folder) + e.name;
      if (e.attributes & faDirectory) {
        RemoveFolderTree(path);
      } else {
        p.SetFileAttributes(path, faArchive);
        p.DeleteFile(path);
      }
    }
    p.RemoveDirectory(folder);
  }

  // Builds an archive file of its own from members given in the test.
  void BuildArchive(const std::string& path, const std::vector<MemberSpec>& members) {
    TVrFileCollection c(p);
    for (const MemberSpec& m : members) {
      TVrFile* f = c.AddFile(m.name);
      auto content = std::make_unique<TMemoryStream>();
      content->Assign(m.content);
      f->Source = std::move(content);
      f->FileDate = m.date;
      f->Separate = m.separate;
    }
    TQxBigFileStream out(p, path, fmCreate);
    ASSERT_TRUE(c.WriteArchive(out));
  }

  // The medium: install.dat, game.dat from `members` (none: no archive) and plain files.
  void WriteMedium(const std::string& folder, const TZarnInstallSet& s, const std::vector<MemberSpec>& members,
                   const std::vector<std::pair<std::string, std::string>>& files) {
    MakeFolders(folder);
    s.SaveToFile(p, folder + "install.dat");
    if (!members.empty()) BuildArchive(folder + "game.dat", members);
    for (const auto& f : files) Put(folder + f.first, f.second, kOldDate);
  }

  // ---- runs

  // The run's context: the settings record and, `withArchive`, the archive game.dat of
  // the folder `parameter` opened as the launcher opens it.
  TRunContext& MakeRun(const std::string& parameter, bool withArchive) {
    form.reset();
    archive.reset();
    if (withArchive) {
      archive = std::make_unique<TVrFileCollection>(p);
      archive->Open(parameter.empty() ? std::string() : AddBackslash(parameter) + "game.dat");
    }
    run_ = std::make_unique<TRunContext>(TRunContext{p, app, settings, archive.get(), parameter, nullptr});
    run_->pause = [this](uint32_t ms) {
      pauses.push_back(ms);
      if (onPause) onPause(ms);
    };
    return *run_;
  }

  // Creates the wizard for this run (install mode unless the record says installed).
  TFormType& MakeWizard(const std::string& parameter, bool withArchive) {
    MakeRun(parameter, withArchive);
    form = std::make_unique<TFormType>(*run_, nullptr);
    return *form;
  }

  // Runs the wizard modally until it closes; every scripted step must have been taken.
  int RunWizard() {
    int result = form->ShowModal();
    EXPECT_TRUE(user.Finished()) << "steps not taken:\n" << user.Pending() << Log();
    return result;
  }

  // Installs from a medium folder, reading its install.dat as the launcher does.
  // The folder and confirm pages as a person passes them: the destination typed, then
  // Next twice (the second is "インストール").
  void ChooseDestAndInstall() {
    user.Type("EditDir", WithoutBackslash(dest));
    user.Click("btnNext");
    user.Click("btnNext");
  }
  int RunInstall(const std::string& from = "") {
    std::string folder = from.empty() ? medium : from;
    settings = TZarnInstallSet();
    settings.LoadFromFile(p, folder + "install.dat");
    MakeWizard(folder, true);
    return RunWizard();
  }

  // The installed copy's record, started from the destination as the uninstaller is.
  int RunUninstall() {
    settings = TZarnInstallSet();
    settings.LoadFromFile(p, dest + "install.dat");
    MakeWizard(dest, false);
    return RunWizard();
  }

  std::string Log() const {
    std::string text;
    for (const std::string& line : user.Log()) text += p.SjisToUtf8(line) + "\n";
    return text;
  }

  // ---- scripts

  // file page -> seldir (typing the destination) -> confirm -> install; exit page closed.
  void ScriptPlainInstall(const std::string& folder) {
    user.Click("btnNext");  // file
    user.Type("EditDir", WithoutBackslash(folder));
    user.Click("btnNext");  // seldir
    user.Click("btnNext");  // confirm: the job runs
    ScriptClose();
  }

  void ScriptClose() {
    user.Do("on the exit page", [](TForm& f) {
      EXPECT_EQ(static_cast<TFormType&>(f).CurrentPage(), TFormType::pgExit);
    });
    user.Click("btnAbort");
  }

  void ScriptUninstall(bool deleteSave) {
    if (deleteSave) user.Check("CheckDelSave");
    user.Click("btnNext");  // uninst: the job runs
    ScriptClose();
  }

  static std::string WithoutBackslash(std::string s) {
    if (s.size() > 3 && s.back() == '\\') s.pop_back();
    return s;
  }

  // ---- reading back

  TZarnInstallSet InstalledRecord() {
    TZarnInstallSet s;
    s.LoadFromFile(p, dest + "install.dat");
    return s;
  }

  std::string RegValue(const std::string& name) { return settings.ReadRegString(p, name, "<none>"); }

  std::string ProgramsFolder() {
    std::string folder;
    p.SpecialFolder(p.Version().platformId == 2 ? csidlCommonPrograms : csidlPrograms, folder);
    return AddBackslash(folder) + title + "\\";
  }

  // A shortcut of the program group, read back.
  ShellLinkData Shortcut(const std::string& name) {
    ShellLinkData link;
    std::string error;
    EXPECT_TRUE(ReadShortcut(p, ProgramsFolder() + name + ".lnk", link, error)) << p.SjisToUtf8(name) << ": " << error;
    return link;
  }

  // Names (lower case) of the members of the destination's data file.
  std::vector<std::string> DataMembers(const std::string& file) {
    TVrFileCollection c(p);
    c.OpenPath(file, true);
    std::vector<std::string> names;
    for (int i = 0; i < c.MemberCount(); ++i) names.push_back(c.Files(i)->Name());
    return names;
  }

  // XORs one byte of a file.
  void FlipByte(const std::string& path, int64_t position) {
    auto h = p.OpenFile(path, FileAccess::ReadWrite, FileShare::None, FileCreate::OpenExisting);
    ASSERT_TRUE(h);
    uint8_t b = 0;
    ASSERT_EQ(h->Seek(position, soBeginning), position);
    ASSERT_EQ(h->Read(&b, 1), 1);
    b ^= 0x5A;
    ASSERT_EQ(h->Seek(position, soBeginning), position);
    ASSERT_EQ(h->Write(&b, 1), 1);
  }

  // Where member `name` of an archive file keeps its stored bytes, and how many.
  std::pair<int64_t, int64_t> MemberBytes(const std::string& archiveFile, const std::string& name) {
    TVrFileCollection c(p);
    c.Open(archiveFile);
    int k = c.IndexOf(name);
    EXPECT_GE(k, 0) << name;
    if (k < 0) return {0, 0};
    return {c.Files(k)->Offset, c.Files(k)->Size};
  }

  // Changes the CRC recorded for member number `index` in an archive file of its own.
  void DamageRecordedCRC(const std::string& archiveFile, int index) {
    int64_t at = 10;
    {
      TVrFileCollection c(p);
      c.Open(archiveFile);
      int n = c.MemberCount();
      for (int i = 0; i < n; ++i) at += 4 + static_cast<int64_t>(c.Files(i)->Name().size());
      at += (n + 1) * 8 + n + 4 * n + 4 * index;
    }
    FlipByte(archiveFile, at);
  }

  // The work folders of updates left in the temporary folder.
  std::vector<std::string> WorkFolders() {
    std::vector<DirEntry> entries;
    std::vector<std::string> found;
    p.ListDirectory(p.TempPath(), entries);
    for (const DirEntry& e : entries)
      if ((e.attributes & faDirectory) && e.name.compare(0, 9, "~zmupdate") == 0) found.push_back(e.name);
    return found;
  }

  std::string Extract(const std::string& archiveFile, const std::string& member) {
    TVrFileCollection c(p);
    c.OpenPath(archiveFile, true);
    TMemoryStream m;
    c.ExtractToStream(m, member);
    return m.ToString();
  }

 private:
  std::unique_ptr<TRunContext> run_;
};

inline bool Contains(const std::vector<std::string>& v, const std::string& s) {
  for (const std::string& x : v)
    if (x == s) return true;
  return false;
}

inline bool Contains(const TStringList& v, const std::string& s) { return v.IndexOfExact(s) >= 0; }

// Whether a shortcut's target is the file expected. Wine keeps a target's path in the
// ANSI code page only, so there the Japanese folder names cannot be compared.
inline bool SameTarget(const std::string& target, const std::string& expected) {
#ifdef _WIN32
  return SameText(ExtractFileName(target), ExtractFileName(expected));
#else
  return SameText(target, expected);
#endif
}

}  // namespace testing
}  // namespace zarn
