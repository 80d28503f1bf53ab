// The uninstall job without a window: an installation made by the install job, removed
// with and without its save data, stopped by the user, and records naming what is not
// the game's.
#include "wizard/job_support.h"

namespace zarn {
namespace testing {
namespace {

class UninstallJob : public JobFixture {
 protected:
  // Installs a game with a data file and plain files in subfolders.
  void InstallGame() {
    settings.InstallKind = ikFull;
    settings.DiscFiles.Add("bin\\tool.exe");
    settings.DiscFiles.Add("bin\\deep\\lib.dll");
    WriteMedium(medium, settings, {{"zarn.zpb", "project"}, {"data\\a.txt", "a"}},
                {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"bin\\tool.exe", "tool"},
                 {"bin\\deep\\lib.dll", "lib"}});
    ASSERT_TRUE(Install(Components(true, true, true))) << error;
    ASSERT_TRUE(Exists(ProgramsFolder() + title + ".lnk"));
    NextRun();
  }

  void ExpectGameRemoved() {
    for (const char* name : {"game.exe", "install.exe", "bin\\tool.exe", "bin\\deep\\lib.dll", "game.dat", "game.ext",
                             "install.dat", "game.ini"})
      EXPECT_FALSE(Exists(dest + name)) << name;
    EXPECT_FALSE(p.DirectoryExists(ProgramsFolder()));
    EXPECT_EQ(RegValue("InstallPath"), "<none>");
    // The product key and the parent it left empty.
    EXPECT_FALSE(p.OpenKey(RegRoot::CurrentUser, "Software\\" + machine.ScratchKey(), false));
    EXPECT_FALSE(p.OpenKey(RegRoot::CurrentUser, ProgramsEntryKey(settings.RegistryKey), false));
  }
};

TEST_F(UninstallJob, RemovesTheGameWithOrWithoutItsSaveData) {
  for (bool deleteSave : {false, true}) {
    SCOPED_TRACE(deleteSave ? "save data deleted" : "save data kept");
    dest = machine.Scratch() + (deleteSave ? "games2\\物語\\" : "games\\物語\\");
    NextRun();
    InstallGame();
    Put(dest + "save.dat", "progress");
    Put(dest + "game.ini", "[game]");
    if (!deleteSave) Put(dest + "bin\\deep\\mine.txt", "user file");
    Put(ProgramsFolder() + "user link.lnk", "added by the user");
    std::string userSave = UserSaveFolder();
    if (!userSave.empty()) Put(userSave + "save.dat", "user progress");

    ASSERT_TRUE(Uninstall(deleteSave)) << error;
    EXPECT_TRUE(view.finished);
    EXPECT_EQ(view.finishedText, "アンインストールが完了しました");
    EXPECT_EQ(view.headings, std::vector<std::string>{title + " を削除しています"});
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"ショートカットを削除しています...", "ファイルを削除しています...",
                                                       "レジストリを削除しています..."}));
    EXPECT_EQ(view.pauses, (std::vector<uint32_t>{3000, 1000}));
    EXPECT_EQ(view.leftFor, std::vector<std::string>{p.WindowsDirectory()});
    EXPECT_TRUE(view.asked.empty());

    ExpectGameRemoved();  // the group with the link the user added
    if (deleteSave) {
      EXPECT_FALSE(p.DirectoryExists(dest));  // nothing left in it
    } else {
      EXPECT_EQ(Get(dest + "save.dat"), "progress");
      EXPECT_EQ(Get(dest + "bin\\deep\\mine.txt"), "user file");
    }
    if (!userSave.empty()) {
      EXPECT_EQ(p.DirectoryExists(userSave), !deleteSave);
      RemoveFolderTree(userSave);
    }
  }
}

TEST_F(UninstallJob, AUserSaveFolderWithOtherFilesLosesOnlyTheSaveData) {
  InstallGame();
  std::string userSave = UserSaveFolder();
  if (userSave.empty()) GTEST_SKIP() << "this machine lists no per-user folders";
  Put(userSave + "save.dat", "user progress");
  Put(userSave + "config.txt", "settings");
  ASSERT_TRUE(Uninstall(true)) << error;
  ExpectGameRemoved();
  EXPECT_FALSE(p.DirectoryExists(dest));  // nothing left in it
  EXPECT_FALSE(Exists(userSave + "save.dat"));
  EXPECT_EQ(Get(userSave + "config.txt"), "settings");
  RemoveFolderTree(userSave);
}

// The abort is seen before the group goes and before the files go; the registry goes
// last, so a stopped uninstall leaves the game registered.
TEST_F(UninstallJob, AnAbortLeavesTheGameInstalled) {
  for (int call : {0, 1}) {
    SCOPED_TRACE(call);
    dest = machine.Scratch() + Format("games%d\\物語\\", call);
    NextRun();
    InstallGame();
    view.onMessages = [&](int at) {
      if (at == call) view.abort = true;
    };
    ASSERT_TRUE(Uninstall(false)) << error;
    EXPECT_FALSE(view.finished);
    EXPECT_EQ(p.DirectoryExists(ProgramsFolder()), call == 0);
    EXPECT_TRUE(Exists(dest + "game.exe"));
    EXPECT_TRUE(Exists(dest + "install.dat"));
    EXPECT_EQ(RegValue("InstallPath"), dest);
  }
}

TEST_F(UninstallJob, OnlyPlainNamesInsideTheFolderAreDeleted) {
  MakeFolders(dest);
  Put(machine.Scratch() + "outside.txt", "keep");
  Put(machine.Scratch() + "games\\other.txt", "keep");
  Put(dest + "a.txt", "installed");
  Put(dest + "sub\\b.txt", "installed");
  settings.Installed = true;
  for (const std::string& name :
       {std::string("a.txt"), std::string("..\\..\\outside.txt"), std::string("..\\other.txt"),
        machine.Scratch() + "outside.txt", std::string("\\zarn\\x.txt"), std::string("sub\\b.txt"),
        std::string("sub\\..\\..\\other.txt"), std::string("sub"), std::string("install.dat")})
    settings.InstalledFiles.Add(name);
  settings.SaveToFile(p, dest + "install.dat");
  ASSERT_TRUE(Uninstall(false)) << error;
  EXPECT_TRUE(view.finished);
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
