// Wizard runs that need the emulated machine: a drive with a given amount of free
// space, and an install into the Windows folder.

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

TEST_F(WizardOnMachine, ASystemFolderInstallOpensOnConfirmForTheWindowsFolder) {
  settings.InstallKind = ikSystem;
  settings.FilesInArchive = true;
  std::string windows = AddBackslash(p.WindowsDirectory());
  WriteMedium(medium, settings, {{"zarnrt.dll", "runtime 2", kOldDate, true}}, {});
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
  EXPECT_EQ(Get(windows + "zarnrt.dll"), "runtime 2");  // the job was given the Windows folder
}

}  // namespace
}  // namespace testing
}  // namespace zarn
