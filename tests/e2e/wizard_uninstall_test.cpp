// Whole uninstalls through the wizard started from the installed folder: the uninstall
// page offers the save data wherever it lies, its choice reaches the job, the delete
// page ends on the exit page, and the abort button stops the job.
#include "wizard/job_support.h"

namespace zarn {
namespace testing {
namespace {

class WizardUninstall : public JobFixture {
 protected:
  // Installs a game with the install job.
  void InstallGame() {
    settings.InstallKind = ikFull;
    WriteMedium(medium, settings, {{"zarn.zpb", "project"}, {"data\\a.txt", "a"}},
                {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
    ASSERT_TRUE(Install(true)) << error;
    pauses.clear();
  }
};

TEST_F(WizardUninstall, TheSaveDataChoiceReachesTheJob) {
  struct Case {
    const char* name;
    bool inFolder, inUserFolder;  // where save data lies
    bool tick;                    // the user ticks "delete the save data"
  } cases[] = {
      {"kept", true, false, false},
      {"deleted", true, false, true},
      {"the user's alone, deleted", false, true, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dest = machine.Scratch() + Format("games%d\\物語\\", n++);
    InstallGame();
    std::string userSave = c.inUserFolder ? UserSaveFolder() : std::string();
    if (c.inUserFolder && userSave.empty()) continue;  // this machine lists no per-user folders
    if (c.inFolder) Put(dest + "save.dat", "progress");
    if (c.inUserFolder) Put(userSave + "save.dat", "user progress");
    user.Do("save data offered", [](TForm& f) { EXPECT_TRUE(static_cast<TFormType&>(f).CheckDelSave.Visible()); });
    if (c.tick) user.Check("CheckDelSave");
    user.Click("btnNext");
    user.Do("exit page", [&](TForm& f) {
      auto& w = static_cast<TFormType&>(f);
      EXPECT_EQ(w.CurrentPage(), TFormType::pgExit);
      EXPECT_EQ(w.LabelExit.Caption(), "アンインストールが完了しました");
      EXPECT_EQ(w.LabelDelTitle.Caption(), title + " を削除しています");
      EXPECT_EQ(w.LabelDel.Caption(), "レジストリを削除しています...");
      EXPECT_EQ(w.btnAbort.Caption(), "閉じる(&C)");
    });
    user.Click("btnAbort");
    EXPECT_EQ(RunUninstall(), mrOk);
    EXPECT_EQ(pauses, (std::vector<uint32_t>{3000, 1000}));
    EXPECT_FALSE(Exists(dest + "game.exe"));
    EXPECT_EQ(Exists(dest + "save.dat"), c.inFolder && !c.tick);
    if (c.inUserFolder) {
      EXPECT_FALSE(Exists(userSave + "save.dat"));
      RemoveFolderTree(userSave);
    }
  }
}

TEST_F(WizardUninstall, AbortConfirmedBeforeTheFilesLeavesTheGameInstalled) {
  InstallGame();
  user.Click("btnNext");
  user.Click("btnAbort").DuringWork(0);  // while the shortcuts are being removed
  user.Answer(mrNo).Expect(mtConfirmation, "アンインストールを中断しますか？");
  user.Click("btnAbort").DuringWork(0);  // before the files
  user.Answer(mrYes).Expect(mtConfirmation, "アンインストールを中断しますか？");
  EXPECT_EQ(RunUninstall(), mrAbort);
  EXPECT_FALSE(p.DirectoryExists(ProgramsFolder()));  // the group went before the question
  EXPECT_TRUE(Exists(dest + "game.exe"));
  EXPECT_EQ(RegValue("InstallPath"), dest);
}

}  // namespace
}  // namespace testing
}  // namespace zarn
