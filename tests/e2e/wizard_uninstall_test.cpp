// Whole uninstalls: an installation made by the wizard, then removed by the wizard
// started from its folder.
#include "wizard/wizard_support.h"

namespace zarn {
namespace testing {
namespace {

class WizardUninstall : public WizardFixture {
 protected:
  // Installs a game with a data file, plain files in a subfolder and a separate file.
  void InstallGame() {
    settings.InstallKind = ikFull;
    settings.FilesInArchive = false;
    settings.DiscFiles.Add("bin\\tool.exe");
    settings.DiscFiles.Add("bin\\deep\\lib.dll");
    WriteMedium(medium, settings, {{"zarn.zpb", "project"}, {"data\\a.txt", "a"}},
                {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"bin\\tool.exe", "tool"},
                 {"bin\\deep\\lib.dll", "lib"}});
    user.Type("EditDir", WithoutBackslash(dest));
    user.Click("btnNext");
    user.Click("btnNext");
    ScriptClose();
    ASSERT_EQ(RunInstall(), mrOk);
    ASSERT_TRUE(Exists(ProgramsFolder() + title + ".lnk"));
    pauses.clear();
  }

  // The title's save folder in the user's local application data, made on demand.
  std::string UserSaveFolder() {
    std::string local;
    if (!p.SpecialFolder(csidlLocalAppData, local)) return std::string();
    std::string folder = AddBackslash(local) + CleanFolderName(title) + "\\";
    MakeFolders(folder);
    TStringList found;
    UserAppDataDirs(p, title, found);
    for (const std::string& f : found)
      if (SameText(AddBackslash(f), folder)) return folder;
    RemoveFolderTree(folder);
    return std::string();  // this machine lists no per-user folders
  }

  std::string ListOf(const std::string& folder) {
    std::vector<DirEntry> entries;
    std::string text = p.SjisToUtf8(folder) + ":";
    if (p.ListDirectory(folder, entries))
      for (const DirEntry& e : entries) text += " " + p.SjisToUtf8(e.name);
    return text;
  }

  void ExpectGameRemoved() {
    for (const char* name : {"game.exe", "install.exe", "bin\\tool.exe", "bin\\deep\\lib.dll", "game.dat", "game.ext",
                             "install.dat", "game.ini"})
      EXPECT_FALSE(Exists(dest + name)) << name;
    EXPECT_FALSE(p.DirectoryExists(dest + "bin"));
    EXPECT_FALSE(p.DirectoryExists(ProgramsFolder()));
    EXPECT_EQ(RegValue("InstallPath"), "<none>");
    // The product key and the parent it left empty.
    EXPECT_FALSE(p.OpenKey(RegRoot::CurrentUser, "Software\\" + machine.ScratchKey(), false));
    EXPECT_FALSE(p.OpenKey(RegRoot::CurrentUser, ProgramsEntryKey(settings.RegistryKey), false));
  }
};

TEST_F(WizardUninstall, KeepsSaveDataAndWhatTheUserAdded) {
  InstallGame();
  Put(dest + "save.dat", "progress");
  Put(dest + "game.ini", "[game]");
  Put(dest + "bin\\deep\\mine.txt", "user file");
  Put(ProgramsFolder() + "user link.lnk", "added by the user");
  user.Do("save data offered", [](TForm& f) { EXPECT_TRUE(static_cast<TFormType&>(f).CheckDelSave.Visible()); });
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

  EXPECT_EQ(Get(dest + "save.dat"), "progress");
  EXPECT_EQ(Get(dest + "bin\\deep\\mine.txt"), "user file");
  for (const char* name : {"game.exe", "install.exe", "bin\\tool.exe", "bin\\deep\\lib.dll", "game.dat", "game.ext",
                           "install.dat", "game.ini"})
    EXPECT_FALSE(Exists(dest + name)) << name;
  EXPECT_FALSE(p.DirectoryExists(ProgramsFolder())) << ListOf(ProgramsFolder());  // with the link the user added
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
}

TEST_F(WizardUninstall, RemovesSaveDataEverywhereWhenAsked) {
  InstallGame();
  Put(dest + "save.dat", "progress");
  std::string userSave = UserSaveFolder();
  if (!userSave.empty()) Put(userSave + "save.dat", "user progress");
  user.Check("CheckDelSave");
  user.Click("btnNext");
  ScriptClose();
  EXPECT_EQ(RunUninstall(), mrOk);
  ExpectGameRemoved();
  EXPECT_FALSE(p.DirectoryExists(dest));  // nothing left in it
  if (!userSave.empty()) {
    EXPECT_FALSE(p.DirectoryExists(userSave));
  }
}

TEST_F(WizardUninstall, AUserSaveFolderWithOtherFilesLosesOnlyTheSaveData) {
  InstallGame();
  std::string userSave = UserSaveFolder();
  if (userSave.empty()) GTEST_SKIP() << "this machine lists no per-user folders";
  Put(userSave + "save.dat", "user progress");
  Put(userSave + "config.txt", "settings");
  user.Do("offered for the user's save data alone", [](TForm& f) {
    EXPECT_TRUE(static_cast<TFormType&>(f).CheckDelSave.Visible());
  });
  user.Check("CheckDelSave");
  user.Click("btnNext");
  ScriptClose();
  EXPECT_EQ(RunUninstall(), mrOk);
  ExpectGameRemoved();
  EXPECT_FALSE(Exists(userSave + "save.dat"));
  EXPECT_EQ(Get(userSave + "config.txt"), "settings");
  RemoveFolderTree(userSave);
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
  EXPECT_TRUE(Exists(dest + "install.dat"));
  EXPECT_EQ(RegValue("InstallPath"), dest);
}

TEST_F(WizardUninstall, OnlyPlainNamesInsideTheFolderAreDeleted) {
  MakeFolders(dest);
  Put(machine.Scratch() + "outside.txt", "keep");
  Put(machine.Scratch() + "games\\other.txt", "keep");
  Put(dest + "a.txt", "installed");
  Put(dest + "sub\\b.txt", "installed");
  settings.Installed = true;
  for (const std::string& name :
       {std::string("a.txt"), std::string("..\\..\\outside.txt"), std::string("..\\other.txt"),
        machine.Scratch() + "outside.txt", std::string("\\zarn\\x.txt"), std::string("sub\\b.txt"),
        std::string("sub\\..\\..\\other.txt"), std::string("sub")})
    settings.InstalledFiles.Add(name);
  settings.SaveToFile(p, dest + "install.dat");
  settings.InstalledFiles.Add("install.dat");
  settings.SaveToFile(p, dest + "install.dat");
  ScriptUninstall(false);
  EXPECT_EQ(RunUninstall(), mrOk);
  EXPECT_EQ(Get(machine.Scratch() + "outside.txt"), "keep");
  EXPECT_EQ(Get(machine.Scratch() + "games\\other.txt"), "keep");
  EXPECT_FALSE(Exists(dest + "a.txt"));
  EXPECT_FALSE(Exists(dest + "sub\\b.txt"));
  EXPECT_FALSE(p.DirectoryExists(dest));
  EXPECT_TRUE(p.DirectoryExists(machine.Scratch() + "games"));
}

}  // namespace
}  // namespace testing
}  // namespace zarn
