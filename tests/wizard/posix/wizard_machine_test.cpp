// Wizard runs that need the emulated machine: a drive with a given amount of free
// space, a full disk, installs into the Windows folder, and uninstalls started from
// folders that are not a game's.
#include <unistd.h>

#include "platform/posix/emulated_machine.h"
#include "wizard/wizard_support.h"

namespace zarn {
namespace testing {
namespace {

class WizardOnMachine : public WizardFixture {
 protected:
  MachineFaults& Faults() { return dynamic_cast<EmulatedMachine&>(machine.platform()).Faults(); }

  // A full install with `programBytes` to install, stopped on the confirm page.
  void FullKindNeeding(int64_t programBytes) {
    settings.InstallKind = ikFull;
    settings.ProgramSize = programBytes;
    settings.DataSize = settings.SoundSize = settings.MovieSize = 0;
    WriteMedium(medium, settings, {}, {});
  }
};

TEST_F(WizardOnMachine, FreeSpaceIsShownWithThousandsSeparators) {
  FullKindNeeding(1000);
  Faults().diskFreeBytes = int64_t(12345) * 1048576 + 1048575;
  user.Do("seldir", [](TForm& f) {
    EXPECT_EQ(static_cast<TFormType&>(f).LabelSzDrv.Caption(), "このドライブには 12,345 MBの空きがあります");
    EXPECT_EQ(static_cast<TFormType&>(f).DriveFreeMB('C'), 12345);
  });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
}

TEST_F(WizardOnMachine, JustEnoughFreeSpaceAsksNothing) {
  FullKindNeeding(int64_t(1907) * 1048576 + 1048575);  // 1,907 MB by whole megabytes
  Faults().diskFreeBytes = 2000000000;                  // 1,907 MB free
  user.Type("EditDir", WithoutBackslash(dest));
  user.Click("btnNext");
  user.Do("confirm without a question", [](TForm& f) {
    EXPECT_EQ(static_cast<TFormType&>(f).CurrentPage(), TFormType::pgConfirm);
  });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
  EXPECT_TRUE(user.Dialogs().size() == 1u);
}

TEST_F(WizardOnMachine, TooLittleFreeSpaceIsAskedAbout) {
  FullKindNeeding(int64_t(1908) * 1048576);
  Faults().diskFreeBytes = 2000000000;
  const char* question = "ドライブにじゅうぶんな空き容量がありません\r\nこのまま処理を続けますか？";
  user.Type("EditDir", WithoutBackslash(dest));
  user.Click("btnNext");
  user.Answer(mrNo).Expect(mtWarning, question);
  user.Do("stays", [](TForm& f) { EXPECT_EQ(static_cast<TFormType&>(f).CurrentPage(), TFormType::pgSelDir); });
  user.Click("btnNext");
  user.Answer(mrYes).Expect(mtWarning, question);
  user.Do("goes on", [](TForm& f) { EXPECT_EQ(static_cast<TFormType&>(f).CurrentPage(), TFormType::pgConfirm); });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
}

TEST_F(WizardOnMachine, AFullDiskWhileCopyingEndsAsAnErrorNamingTheFile) {
  settings.DiscFiles.Clear();
  settings.DiscFiles.Add("big.bin");
  WriteMedium(medium, settings, {}, {{"big.bin", std::string(5000, 'b')}});
  user.Click("btnNext");
  user.Type("EditDir", WithoutBackslash(dest));
  user.Click("btnNext");
  user.Do("the disk fills up", [&](TForm&) { Faults().diskFreeBytes = 1000; });
  user.Click("btnNext");
  user.AcceptError("big.bin\r\nファイルがコピーできません");
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrAbort);
  Faults().diskFreeBytes = -1;
  EXPECT_FALSE(Exists(dest + "install.dat"));
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
}

TEST_F(WizardOnMachine, AFullDiskWhileWritingASeparateFileLeavesNoPartOfIt) {
  settings.FilesInArchive = true;
  std::string content;
  for (int i = 0; i < 4000; ++i) content += static_cast<char>(i * 7919 % 251);  // hardly compressible
  WriteMedium(medium, settings, {{"movie\\op.avi", content, kOldDate, true}}, {});
  user.Click("btnNext");
  user.Type("EditDir", WithoutBackslash(dest));
  user.Click("btnNext");
  user.Do("the disk fills up", [&](TForm&) { Faults().diskFreeBytes = 1000; });
  user.Click("btnNext");
  user.AcceptError("op.avi\r\nファイルが作成できません");
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrAbort);
  Faults().diskFreeBytes = -1;
  EXPECT_FALSE(Exists(dest + "movie\\op.avi"));
}

TEST_F(WizardOnMachine, ASystemFolderInstallRewritesItsFilesAndRecordsNothing) {
  settings.InstallKind = ikSystem;
  settings.FilesInArchive = true;
  std::string windows = AddBackslash(p.WindowsDirectory());
  WriteMedium(medium, settings, {{"zarnrt.dll", "runtime 2", kOldDate, true}}, {});
  Put(windows + "zarnrt.dll", "runtime 3", kNewDate);  // newer, and still replaced
  user.Do("opens on confirm", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_EQ(w.CurrentPage(), TFormType::pgConfirm);
    EXPECT_FALSE(w.LabelBack.Visible());
    EXPECT_FALSE(w.btnBack.Enabled());
    EXPECT_EQ(w.DestDir(), AddBackslash(w.Run().platform.WindowsDirectory()));
  });
  user.Click("btnNext");
  ScriptClose();
  EXPECT_EQ(RunInstall(), mrOk);
  EXPECT_EQ(Get(windows + "zarnrt.dll"), "runtime 2");
  EXPECT_EQ(p.FileAge(windows + "zarnrt.dll"), kOldDate);
  EXPECT_FALSE(Exists(windows + "install.dat"));
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
  EXPECT_FALSE(p.DirectoryExists(ProgramsFolder()));
  EXPECT_TRUE(pauses.empty());
}

TEST_F(WizardOnMachine, NoUninstallFromADriveRootOrTheWindowsFolder) {
  for (std::string folder : {std::string("C:\\"), AddBackslash(p.WindowsDirectory()),
                             AddBackslash(p.SystemDirectory()), std::string("C:\\Program Files\\")}) {
    SCOPED_TRACE(folder);
    TZarnInstallSet installed = BaseSettings();
    installed.Installed = true;
    installed.InstalledFiles.Add("install.dat");
    installed.SaveToFile(p, folder + "install.dat");
    Put(folder + "empty-folder-check\\.keep", "");
    p.DeleteFile(folder + "empty-folder-check\\.keep");  // an empty folder a walk would remove
    installed.WriteRegString(p, "InstallPath", folder);
    settings = installed;
    MakeWizard(folder, false);
    user.Click("btnNext");
    user.AcceptError("このフォルダからはアンインストールできません");
    user.Click("btnAbort");
    user.Answer(mrYes).Expect(mtConfirmation, "アンインストールを中断しますか？");
    EXPECT_EQ(RunWizard(), mrAbort);
    EXPECT_TRUE(Exists(folder + "install.dat"));
    EXPECT_TRUE(p.DirectoryExists(folder + "empty-folder-check"));
    EXPECT_EQ(settings.ReadRegString(p, "InstallPath", ""), folder);
    p.DeleteFile(folder + "install.dat");
    p.RemoveDirectory(folder + "empty-folder-check");
  }
}

TEST_F(WizardOnMachine, TheUninstallerFollowsNoLinkOutOfTheFolder) {
  MakeFolders(dest);
  MakeFolders(machine.Scratch() + "elsewhere\\");
  Put(machine.Scratch() + "elsewhere\\precious.txt", "keep");
  auto& machineRef = dynamic_cast<EmulatedMachine&>(machine.platform());
  ASSERT_EQ(symlink(machineRef.HostPath(machine.Scratch() + "elsewhere").c_str(),
                    (machineRef.HostPath(WithoutBackslash(dest)) + "/link").c_str()),
            0);
  settings.Installed = true;
  settings.InstalledFiles.Add("link\\precious.txt");
  settings.InstalledFiles.Add("install.dat");
  settings.SaveToFile(p, dest + "install.dat");
  ScriptUninstall(false);
  EXPECT_EQ(RunUninstall(), mrOk);
  EXPECT_EQ(Get(machine.Scratch() + "elsewhere\\precious.txt"), "keep");
}

}  // namespace
}  // namespace testing
}  // namespace zarn
