// Whole installs that must change nothing the game does not own: names checked before the
// old data goes, a folder that is no full path, titles Windows cannot write as they are,
// the project file of a fresh two-disc install, and an install stopped at the disc prompt.
#include "settings/ownership.h"
#include "wizard/wizard_support.h"

namespace zarn {
namespace testing {
namespace {

class WizardOwnership : public WizardFixture {
 protected:
  // Up to the copy page, where the job refuses; then the user gives up.
  void ScriptRefusal(const std::string& fragment) {
    user.Click("btnNext");
    user.Type("EditDir", WithoutBackslash(dest));
    user.Click("btnNext");
    user.Click("btnNext");
    user.AcceptError(fragment);
    user.Click("btnAbort");
    user.Answer(mrYes);
  }

  std::string GroupFolder(const std::string& group) {
    std::string folder;
    p.SpecialFolder(p.Version().platformId == 2 ? csidlCommonPrograms : csidlPrograms, folder);
    return AddBackslash(folder) + group + "\\";
  }
};

TEST_F(WizardOwnership, ARefusedNameStopsAReinstallBeforeTheOldDataGoes) {
  settings.DiscFiles.Add("..\\outside.exe");
  WriteMedium(medium, settings, {{"data\\a.txt", "a"}}, {{"game.exe", "MZ"}});
  Put(dest + "game.dat", "old data");
  Put(dest + "game.ext", "old directory");
  ScriptRefusal("..\\outside.exe:ファイル名が正しくありません");
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_EQ(Get(dest + "game.dat"), "old data");
  EXPECT_EQ(Get(dest + "game.ext"), "old directory");
}

TEST_F(WizardOwnership, AFolderThatIsNoFullPathIsRefusedOnTheFolderPage) {
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
  const std::string current = AddBackslash(p.GetCurrentDirectory());
  const std::string message = "インストール先はドライブ名から始まるフォルダ（C:\\Games\\ゲーム など）で指定してください";
  user.Click("btnNext");
  for (const char* typed : {"game", "Games\\物語", "\\Games\\物語", "C:Games", "C:\\Games\\..\\.."}) {
    user.Type("EditDir", typed);
    user.Click("btnNext");
    user.Answer(mrOk).Expect(mtWarning, message);
    user.Do("still on the folder page", [](TForm& f) {
      EXPECT_EQ(static_cast<TFormType&>(f).CurrentPage(), TFormType::pgSelDir);
    });
  }
  user.Type("EditDir", WithoutBackslash(dest));
  user.Click("btnNext");
  user.Click("btnNext");
  ScriptClose();
  EXPECT_EQ(RunInstall(), mrOk);
  EXPECT_FALSE(p.DirectoryExists(current + "game"));
  EXPECT_EQ(RegValue("InstallPath"), dest);
}

// Characters Windows forbids in file names become their full-width forms: the group and
// its shortcuts exist under the name a person reads as the game's, and go on uninstall.
TEST_F(WizardOwnership, ATitleWithForbiddenCharactersGetsItsGroupAndShortcuts) {
  title = "What? Story: <1/2>" + machine.ScratchKey();
  settings.Title = title;
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
  ScriptPlainInstall(dest);
  ASSERT_EQ(RunInstall(), mrOk);
  const std::string group = "What？ Story： ＜1／2＞" + machine.ScratchKey();
  EXPECT_TRUE(Exists(GroupFolder(group) + group + ".lnk"));
  EXPECT_TRUE(Exists(GroupFolder(group) + group + "のアンインストール.lnk"));
  ScriptUninstall(false);
  EXPECT_EQ(RunUninstall(), mrOk);
  EXPECT_FALSE(p.DirectoryExists(GroupFolder(group)));
  EXPECT_FALSE(Exists(dest + "game.exe"));
}

TEST_F(WizardOwnership, ATitleThatNamesNoGroupIsRefused) {
  for (const char* bad : {"", "..", " . "}) {
    settings.Title = bad;
    form.reset();
    archive.reset();
    RemoveFolderTree(medium);
    WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
    ScriptRefusal("プログラムグループの名前が作れません");
    EXPECT_EQ(RunInstall(), mrAbort) << bad;
    EXPECT_FALSE(p.DirectoryExists(dest)) << bad;
  }
}

// Two discs installed fresh: the project file the first disc brought is the game's, not
// one an earlier install left, and keeps its name.
TEST_F(WizardOwnership, AFreshTwoDiscInstallKeepsTheProjectFile) {
  settings.SetDiscCount(2);
  settings.DiscFiles.Clear();
  settings.DiscFiles.Add("game.exe");
  WriteMedium(medium, settings, {{"zarn.zpb", "project"}, {"data\\one.txt", "disc one"}}, {{"game.exe", "MZ"}});
  TZarnInstallSet second = settings;
  second.DiscIndex = 1;
  std::string disc2 = machine.Scratch() + "disc2\\";
  WriteMedium(disc2, second, {{"data\\two.txt", "disc two"}}, {});
  onPause = [&](uint32_t ms) {
    if (ms != 500) return;
    for (const char* name : {"install.dat", "game.dat"}) ASSERT_TRUE(p.CopyFile(disc2 + name, medium + name, false));
  };
  user.Click("btnNext");
  user.Check("CheckData");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Answer(mrOk).Expect(mtInformation, "ディスク2を入れてからOKをクリックしてください");
  ScriptClose();
  ASSERT_EQ(RunInstall(), mrOk);
  std::vector<std::string> members = DataMembers(dest + "game.dat");
  EXPECT_TRUE(Contains(members, "zarn.zpb"));
  EXPECT_FALSE(Contains(members, "/original_zarn.zpb"));
  EXPECT_EQ(Extract(dest + "game.dat", "zarn.zpb"), "project");
}

// Stopping at the disc prompt takes back what this run made; what was there before stays.
TEST_F(WizardOwnership, AbandoningTheDiscPromptTakesBackWhatTheRunMade) {
  settings.SetDiscCount(2);
  settings.DiscFiles.Add("bin\\tool.exe");
  WriteMedium(medium, settings, {{"data\\one.txt", "disc one"}},
              {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"bin\\tool.exe", "tool"}});
  Put(machine.Scratch() + "games\\kept.txt", "the user's");
  user.Click("btnNext");
  user.Check("CheckData");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Answer(mrAbort).Expect(mtInformation, "ディスク2を入れてからOKをクリックしてください");
  user.Answer(mrYes).Expect(mtConfirmation, "インストールを中断しますか？");
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_FALSE(p.DirectoryExists(dest)) << "nothing of the first disc is left";
  EXPECT_EQ(Get(machine.Scratch() + "games\\kept.txt"), "the user's");
  EXPECT_EQ(RegValue("InstallPath"), "<none>");

  // Into a folder that held files already: those stay, the run's own go.
  Put(dest + "game.exe", "older program");
  Put(dest + "notes.txt", "mine");
  user.Click("btnNext");
  user.Check("CheckData");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Answer(mrAbort).Expect(mtInformation, "ディスク2を入れてからOKをクリックしてください");
  user.Answer(mrYes).Expect(mtConfirmation, "インストールを中断しますか？");
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_EQ(Get(dest + "notes.txt"), "mine");
  EXPECT_EQ(Get(dest + "game.exe"), "MZ");  // replaced by this run: kept, not deleted
  for (const char* name : {"install.exe", "bin\\tool.exe", "game.dat", "game.ext", "install.dat"})
    EXPECT_FALSE(Exists(dest + name)) << name;
  EXPECT_FALSE(p.DirectoryExists(dest + "bin"));
}

}  // namespace
}  // namespace testing
}  // namespace zarn
