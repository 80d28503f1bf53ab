// Whole installs through the wizard: from its creation to the closed window, checking
// the files in the destination, install.dat read back, the registry, the shortcuts, the
// dialogs shown and the modal result.
#include "wizard/wizard_support.h"

#include <algorithm>

namespace zarn {
namespace testing {
namespace {

using WizardInstall = WizardFixture;

// Members of an ordinary game: data for the data file, a separate file of its own.
std::vector<MemberSpec> GameMembers() {
  return {{"zarn.zpb", "project 1"},
          {"data\\scenario.txt", "シナリオ"},
          {"data\\cg01.brm", std::string(4000, 'c')},
          {"install.dat", "not a record", kOldDate, true},
          {"manual\\説明.txt", "separate file", kOldDate, true}};
}

TEST_F(WizardInstall, EveryPageInOrderInstallsThisDisc) {
  settings.HelloText = "ようこそ、物語の世界へ";
  settings.LicenseText = "使用許諾";
  settings.SetDiscCount(2);
  settings.DiscProgramSizes = {1000, 0};
  settings.DiscDataSizes = {3000, 4000};
  settings.DiscSoundSizes = {0, 600};
  settings.DiscMovieSizes = {0, 800};
  settings.ReadmeFile = "readme.txt";
  settings.DiscFiles.Add("readme.txt");
  settings.DiscFiles.Add("bgm\\title.ogg");
  WriteMedium(medium, settings, GameMembers(),
              {{"game.exe", "MZ game"}, {"install.exe", "MZ setup"}, {"readme.txt", "お読みください"},
               {"bgm\\title.ogg", "sound"}, {"extra.exe", "not listed"}});

  std::vector<std::string> captions;
  auto page = [&](int expected) {
    return [&captions, expected](TForm& f) {
      auto& w = static_cast<TFormType&>(f);
      EXPECT_EQ(w.CurrentPage(), expected);
      captions.push_back(w.Caption());
    };
  };
  user.Do("hello", page(TFormType::pgHello));
  user.Do("back is disabled on the first page", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_TRUE(w.btnBack.Visible());
    EXPECT_FALSE(w.btnBack.Enabled());
    EXPECT_EQ(w.EditHello.Text(), "ようこそ、物語の世界へ");
  });
  user.Click("btnNext");
  user.Do("license", page(TFormType::pgLicense));
  user.Do("next waits for the licence box", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_FALSE(w.btnNext.Enabled());
    EXPECT_TRUE(w.btnBack.Enabled());
  });
  user.Check("CheckLicense");
  user.Do("ticked", [](TForm& f) { EXPECT_TRUE(static_cast<TFormType&>(f).btnNext.Enabled()); });
  user.Check("CheckLicense", false);
  user.Do("unticked", [](TForm& f) { EXPECT_FALSE(static_cast<TFormType&>(f).btnNext.Enabled()); });
  user.Check("CheckLicense");
  user.Click("btnNext");
  user.Do("media", page(TFormType::pgMedia));
  user.Do("media texts", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_EQ(w.LabelDisk.Caption(), "インストールするディスクを指定してください");
    EXPECT_EQ(w.RadioDiskAll.Caption(), "全てのディスクをインストール");
    EXPECT_TRUE(w.RadioDiskAll.Checked());
  });
  user.Check("RadioDiskThis");
  user.Click("btnNext");
  user.Do("file", page(TFormType::pgFile));
  user.Do("this disc's components", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_TRUE(w.CheckProg.Visible());
    EXPECT_TRUE(w.CheckData.Visible());
    EXPECT_FALSE(w.CheckSound.Visible());  // disc 1 has no sound
    EXPECT_FALSE(w.CheckMovie.Visible());
    EXPECT_EQ(w.LabelSize.Caption(), "最低 0.00 MBのディスクの空き容量が必要です");
  });
  user.Check("CheckData");
  user.Do("untick the program", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_FALSE(w.CheckProg.Enabled());
    w.CheckProg.SetChecked(false);  // ticks itself again
  });
  user.Do("sizes", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_TRUE(w.CheckProg.Checked());
    EXPECT_EQ(w.NeededBytes, 4000);
  });
  user.Click("btnNext");
  user.Do("seldir", page(TFormType::pgSelDir));
  user.Type("EditDir", WithoutBackslash(dest));
  user.Click("btnNext");
  user.Do("confirm", page(TFormType::pgConfirm));
  user.Do("install button", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_EQ(w.btnNext.Caption(), "インストール");
    EXPECT_TRUE(w.LabelBack.Visible());
    EXPECT_TRUE(w.LabelBack2.Visible());
  });
  user.Click("btnNext");
  user.Do("exit", page(TFormType::pgExit));
  user.Do("close button", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_EQ(w.btnAbort.Caption(), "閉じる(&C)");
    EXPECT_FALSE(w.btnNext.Visible());
    EXPECT_FALSE(w.btnBack.Visible());
    EXPECT_EQ(w.LabelExit.Caption(), "インストールが完了しました");
  });
  user.Click("btnAbort");
  EXPECT_EQ(RunInstall(), mrOk);

  EXPECT_EQ(captions, (std::vector<std::string>{"ようこそ", "ライセンス契約", "インストールするディスク",
                                                "インストールするファイル", "インストール先の選択",
                                                "インストール準備完了", "完了"}));
  EXPECT_TRUE(user.Dialogs().empty());

  // Plain files of the list only; sound left out (not ticked).
  EXPECT_EQ(Get(dest + "game.exe"), "MZ game");
  EXPECT_EQ(Get(dest + "readme.txt"), "お読みください");
  EXPECT_FALSE(Exists(dest + "bgm\\title.ogg"));
  EXPECT_FALSE(Exists(dest + "extra.exe"));
  // The data file with its directory, without the separate members.
  EXPECT_EQ(Extract(dest + "game.dat", "data\\scenario.txt"), "シナリオ");
  EXPECT_FALSE(Contains(DataMembers(dest + "game.dat"), "manual\\説明.txt"));
  EXPECT_TRUE(Exists(dest + "game.ext"));
  EXPECT_FALSE(Exists(dest + "manual\\説明.txt"));  // separate files come from the medium's plain files here

  TZarnInstallSet installed = InstalledRecord();
  EXPECT_TRUE(installed.Installed);
  EXPECT_TRUE(installed.DataInstalled);
  EXPECT_EQ(installed.Title, title);
  for (const char* name : {"game.exe", "install.exe", "readme.txt", "game.ext", "game.dat", "install.dat"})
    EXPECT_TRUE(Contains(installed.InstalledFiles, name)) << name;
  EXPECT_FALSE(Contains(installed.InstalledFiles, "manual\\説明.txt"));  // FilesInArchive is not set

  EXPECT_EQ(RegValue("InstallPath"), dest);
  ShellLinkData game = Shortcut(title);
  EXPECT_TRUE(SameTarget(game.target, dest + "game.exe")) << p.SjisToUtf8(game.target);
  EXPECT_TRUE(SameText(AddBackslash(game.workingDirectory), dest));
  EXPECT_EQ(game.description, title);
  EXPECT_EQ(game.iconIndex, 0);
  EXPECT_EQ(game.arguments, "");
  EXPECT_EQ(game.showCommand, 1);
  ShellLinkData uninstaller = Shortcut(title + "のアンインストール");
  EXPECT_TRUE(SameTarget(uninstaller.target, dest + "install.exe"));
  EXPECT_EQ(uninstaller.description, title + "のアンインストール");
  EXPECT_EQ(uninstaller.iconIndex, 1);
  ShellLinkData readme = Shortcut("お読みください");
  EXPECT_TRUE(SameTarget(readme.target, dest + "readme.txt"));
  EXPECT_EQ(readme.description, "お読みください");
  EXPECT_EQ(pauses, (std::vector<uint32_t>{2000, 1000}));

  // The list of installed programs knows the game.
  auto entry = p.OpenKey(RegRoot::CurrentUser, ProgramsEntryKey(settings.RegistryKey), false);
  ASSERT_TRUE(entry);
  uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(entry->QueryValue("DisplayName", type, data));
  EXPECT_EQ(data, title + '\0');
  ASSERT_TRUE(entry->QueryValue("UninstallString", type, data));
  EXPECT_EQ(data, "\"" + dest + "install.exe\"" + '\0');
  ASSERT_TRUE(entry->QueryValue("EstimatedSize", type, data));
  EXPECT_EQ(type, regDword);
}

TEST_F(WizardInstall, FullKindCopiesSoundAndMovieWhateverTheirCase) {
  settings.InstallKind = ikFull;
  settings.DiscFiles.Add("sound\\bgm01.wav");
  settings.DiscFiles.Add("movie\\op.mpg");
  WriteMedium(medium, settings, GameMembers(),
              {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"Sound\\BGM01.WAV", "RIFF"}, {"movie\\OP.MPG", "mpg"},
               {"Sound\\unlisted.wav", "RIFF"}});
  user.Type("EditDir", WithoutBackslash(dest));
  user.Click("btnNext");  // seldir
  user.Click("btnNext");  // confirm
  ScriptClose();
  EXPECT_EQ(RunInstall(), mrOk);
  EXPECT_EQ(Get(dest + "sound\\bgm01.wav"), "RIFF");
  EXPECT_EQ(Get(dest + "movie\\op.mpg"), "mpg");
  EXPECT_FALSE(Exists(dest + "sound\\unlisted.wav"));
  TZarnInstallSet installed = InstalledRecord();
  EXPECT_TRUE(Contains(installed.InstalledFiles, "Sound\\BGM01.WAV"));
  EXPECT_TRUE(installed.DataInstalled);
}

TEST_F(WizardInstall, AbortConfirmedWhileCopyingStopsBeforeTheNextFile) {
  WriteMedium(medium, settings, GameMembers(), {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Click("btnAbort").DuringWork(2);  // at the first file
  user.Answer(mrNo).Expect(mtConfirmation, "インストールを中断しますか？");
  user.Click("btnAbort").DuringWork();  // at the second file
  user.Answer(mrYes).Expect(mtConfirmation, "インストールを中断しますか？");
  EXPECT_EQ(RunInstall(), mrAbort);
  // The first file was copied after the No, the second never; the abort takes back what
  // the run made, the folder with it.
  EXPECT_FALSE(Exists(dest + "game.exe"));
  EXPECT_FALSE(Exists(dest + "install.exe"));
  EXPECT_FALSE(p.DirectoryExists(dest));
  EXPECT_FALSE(Exists(dest + "install.dat"));
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
  EXPECT_FALSE(p.DirectoryExists(ProgramsFolder()));
}

// Twelve data members, so the build and the verification report at their tenth item.
std::vector<MemberSpec> ManyMembers() {
  std::vector<MemberSpec> members;
  for (int i = 0; i < 12; ++i) members.push_back({Format("data\\%d.txt", i), std::string(100 + i, 'a' + i)});
  return members;
}

TEST_F(WizardInstall, AbortConfirmedWhileBuildingLeavesNoRecord) {
  settings.DiscFiles.Clear();
  WriteMedium(medium, settings, ManyMembers(), {});
  user.Check("CheckData");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Do("building", [](TForm& f) {
    EXPECT_EQ(static_cast<TFormType&>(f).LabelCopy.Caption(), "データファイルを構築中(10/13)...");
    static_cast<TFormType&>(f).btnAbort.UserClick();
  }).DuringWork(2);
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_FALSE(Exists(dest + "install.dat"));
  EXPECT_FALSE(Exists(dest + "game.ext"));  // a stopped build writes no directory
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
}

TEST_F(WizardInstall, AbortConfirmedWhileVerifying) {
  settings.DiscFiles.Clear();
  WriteMedium(medium, settings, ManyMembers(), {});
  user.Check("CheckData");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Do("verifying", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_EQ(w.LabelCopyCap.Caption(), "データファイルをチェックしています");
    EXPECT_EQ(w.LabelCopy.Caption(), "データファイルを調べています(10/12)...");
    EXPECT_EQ(w.Progress.Max(), 11);
    EXPECT_EQ(w.Progress.Position(), 9);
    w.btnAbort.UserClick();
  }).DuringWork(3);
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrAbort);
  // The data file this run built goes with the abort.
  EXPECT_FALSE(Exists(dest + "game.ext"));
  EXPECT_FALSE(Exists(dest + "game.dat"));
  EXPECT_FALSE(Exists(dest + "install.dat"));
}

TEST_F(WizardInstall, ADamagedDataFileFailsVerification) {
  settings.DiscFiles.Clear();
  WriteMedium(medium, settings, ManyMembers(), {});
  auto bytes = MemberBytes(medium + "game.dat", "data\\5.txt");
  FlipByte(medium + "game.dat", bytes.first + bytes.second - 1);
  user.Check("CheckData");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Answer(mrOk).Expect(mtWarning,
                           "ファイルの内容が正しくありません\r\nインストールしなおしてください\r\n何度も失敗する場合は、"
                           "スキャンディスクを実行して\r\nハードディスクに異常がないか調べてください");
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_FALSE(Exists(dest + "install.dat"));
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
}

TEST_F(WizardInstall, TwoDiscsPromptUntilTheSecondIsIn) {
  settings.SetDiscCount(2);
  settings.DiscProgramSizes = {1000, 0};
  settings.DiscDataSizes = {3000, 3000};
  settings.DiscSoundSizes = {0, 0};
  settings.DiscMovieSizes = {0, 0};
  settings.DiscFiles.Clear();
  settings.DiscFiles.Add("game.exe");
  WriteMedium(medium, settings, {{"data\\one.txt", "disc one"}}, {{"game.exe", "MZ"}});
  // The second disc, inserted at the second OK.
  TZarnInstallSet second = settings;
  second.DiscIndex = 1;
  second.DiscFiles.Clear();
  second.DiscFiles.Add("movie\\ed.avi");
  second.DiscFiles.Add("bonus.txt");
  std::string disc2 = machine.Scratch() + "disc2\\";
  WriteMedium(disc2, second, {{"data\\two.txt", "disc two"}}, {{"bonus.txt", "bonus"}, {"movie\\ed.avi", "avi"}});
  int oks = 0;
  onPause = [&](uint32_t ms) {
    if (ms != 500 || ++oks != 2) return;
    RemoveFolderTree(medium);
    MakeFolders(medium);
    for (const char* name : {"install.dat", "game.dat", "bonus.txt", "movie\\ed.avi"}) {
      MakeFolders(medium + "movie\\");
      ASSERT_TRUE(p.CopyFile(disc2 + name, medium + name, false)) << name;
    }
  };

  user.Do("all discs", [](TForm& f) { EXPECT_TRUE(static_cast<TFormType&>(f).RadioDiskAll.Checked()); });
  user.Click("btnNext");
  user.Check("CheckData");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Answer(mrOk).Expect(mtInformation, "ディスク2を入れてからOKをクリックしてください");
  user.Answer(mrAbort).Expect(mtInformation, "ディスク2を入れてからOKをクリックしてください");
  user.Answer(mrNo).Expect(mtConfirmation, "インストールを中断しますか？");
  user.Answer(mrOk).Expect(mtInformation, "ディスク2を入れてからOKをクリックしてください");
  ScriptClose();
  EXPECT_EQ(RunInstall(), mrOk);
  EXPECT_EQ(oks, 2);

  EXPECT_EQ(Get(dest + "game.exe"), "MZ");
  EXPECT_EQ(Get(dest + "bonus.txt"), "bonus");
  EXPECT_FALSE(Exists(dest + "movie\\ed.avi"));  // movie not ticked
  EXPECT_EQ(Extract(dest + "game.dat", "data\\one.txt"), "disc one");
  EXPECT_EQ(Extract(dest + "game.dat", "data\\two.txt"), "disc two");
  // The record names the files of both discs.
  TZarnInstallSet installed = InstalledRecord();
  EXPECT_EQ(installed.DiscIndex, 1);
  EXPECT_TRUE(installed.DataInstalled);
  for (const char* name : {"game.exe", "bonus.txt", "game.ext", "game.dat", "install.dat"})
    EXPECT_TRUE(Contains(installed.InstalledFiles, name)) << name;
}

TEST_F(WizardInstall, AbandoningTheDiscPromptEndsTheInstall) {
  settings.SetDiscCount(2);
  settings.DiscFiles.Clear();
  WriteMedium(medium, settings, {{"data\\one.txt", "disc one"}}, {});
  user.Click("btnNext");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Answer(mrAbort).Expect(mtInformation, "ディスク2を入れてからOKをクリックしてください");
  user.Answer(mrYes).Expect(mtConfirmation, "インストールを中断しますか？");
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_FALSE(Exists(dest + "install.dat"));
}

TEST_F(WizardInstall, AnotherGamesDiscIsNotTakenForTheNextDisc) {
  settings.SetDiscCount(2);
  settings.DiscFiles.Clear();
  WriteMedium(medium, settings, {}, {});
  TZarnInstallSet foreign = BaseSettings();
  foreign.Title = "別のゲーム";
  foreign.DiscIndex = 1;
  onPause = [&](uint32_t ms) {
    if (ms == 500) foreign.SaveToFile(p, medium + "install.dat");
  };
  user.Click("btnNext");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Answer(mrOk);
  user.Answer(mrAbort).Expect(mtInformation, "ディスク2を入れてからOKをクリックしてください");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_EQ(settings.Title, title);
}

TEST_F(WizardInstall, AReinstallRebuildsTheDataFileFromScratch) {
  settings.InstallKind = ikFull;
  WriteMedium(medium, settings, GameMembers(), {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
  ChooseDestAndInstall();
  ScriptClose();
  ASSERT_EQ(RunInstall(), mrOk);
  // Leftovers of a larger data file.
  Put(dest + "game.001", "old part");
  Put(dest + "game.002", "old part");

  user.Do("the registered folder is proposed", [&](TForm& f) {
    EXPECT_EQ(static_cast<TFormType&>(f).EditDir.Text(), WithoutBackslash(dest));
  });
  user.Click("btnNext");
  user.Click("btnNext");
  ScriptClose();
  ASSERT_EQ(RunInstall(), mrOk);
  EXPECT_FALSE(Exists(dest + "game.001"));
  EXPECT_FALSE(Exists(dest + "game.002"));
  std::vector<std::string> members = DataMembers(dest + "game.dat");
  EXPECT_EQ(members.size(), 3u);  // no superseded copies: the file was built anew
  EXPECT_TRUE(Contains(members, "zarn.zpb"));
  EXPECT_FALSE(Contains(InstalledRecord().InstalledFiles, "game.001"));
}

TEST_F(WizardInstall, UpdatesOfAFolderInstallationKeepTheOriginalProjectOnce) {
  settings.InstallKind = ikFull;
  WriteMedium(medium, settings, GameMembers(), {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
  ChooseDestAndInstall();
  ScriptClose();
  ASSERT_EQ(RunInstall(), mrOk);

  auto update = [&](const std::string& folder, const std::string& project, int32_t date) {
    TZarnInstallSet u = BaseSettings();
    u.UpdateMode = true;
    u.DiscFiles.Clear();
    u.DiscFiles.Add("patch\\readme.wav");  // sound: an update copies it whatever is ticked
    WriteMedium(folder, u, {{"zarn.zpb", project, date}, {"data\\scenario.txt", project + " シナリオ", date}},
                {{"patch\\readme.wav", project}});
    user.Do("update opens on the folder page", [&](TForm& f) {
      EXPECT_EQ(static_cast<TFormType&>(f).CurrentPage(), TFormType::pgSelDir);
      EXPECT_EQ(static_cast<TFormType&>(f).EditDir.Text(), WithoutBackslash(dest));
    });
    user.Click("btnNext");
    user.Click("btnNext");
    ScriptClose();
    pauses.clear();
    EXPECT_EQ(RunInstall(folder), mrOk);
    EXPECT_EQ(pauses, std::vector<uint32_t>{1000});  // no shortcuts in an update
  };
  update(machine.Scratch() + "update1\\", "project 2", kNewDate);
  EXPECT_EQ(Extract(dest + "game.dat", "/original_zarn.zpb"), "project 1");
  EXPECT_EQ(Extract(dest + "game.dat", "zarn.zpb"), "project 2");
  update(machine.Scratch() + "update2\\", "project 3", kNewDate + (1 << 16));

  std::vector<std::string> members = DataMembers(dest + "game.dat");
  EXPECT_EQ(std::count(members.begin(), members.end(), "/original_zarn.zpb"), 1);
  EXPECT_EQ(Extract(dest + "game.dat", "/original_zarn.zpb"), "project 1");
  EXPECT_EQ(Extract(dest + "game.dat", "zarn.zpb"), "project 3");
  EXPECT_EQ(Extract(dest + "game.dat", "data\\scenario.txt"), "project 3 シナリオ");
  EXPECT_EQ(Get(dest + "patch\\readme.wav"), "project 3");
  TZarnInstallSet installed = InstalledRecord();
  EXPECT_TRUE(installed.Installed);
  EXPECT_FALSE(installed.UpdateMode);  // the installed record stays the installation's own
  EXPECT_TRUE(Contains(installed.InstalledFiles, "patch\\readme.wav"));
  EXPECT_TRUE(Contains(installed.InstalledFiles, "game.exe"));
}

TEST_F(WizardInstall, SeparateFilesAreWrittenUnlessTheTargetIsAsNew) {
  settings.FilesInArchive = true;
  settings.DiscFiles.Add("game.exe");
  WriteMedium(medium, settings,
              {{"bin\\kept.txt", "member", kOldDate, true},
               {"bin\\same.txt", "member", kOldDate, true},
               {"bin\\stale.txt", "member", kNewDate, true},
               {"bin\\new.txt", "member", kNewDate, true},
               {"data\\in-data.txt", "data"}},
              {{"game.exe", "plain file"}});
  Put(dest + "bin\\kept.txt", "mine", kNewDate);
  Put(dest + "bin\\same.txt", "mine too", kOldDate);
  Put(dest + "bin\\stale.txt", "stale", kOldDate);
  ScriptPlainInstall(dest);
  EXPECT_EQ(RunInstall(), mrOk);
  EXPECT_EQ(Get(dest + "bin\\kept.txt"), "mine");
  EXPECT_EQ(Get(dest + "bin\\same.txt"), "mine too");
  EXPECT_EQ(Get(dest + "bin\\stale.txt"), "member");
  EXPECT_EQ(p.FileAge(dest + "bin\\stale.txt"), kNewDate);
  EXPECT_EQ(Get(dest + "bin\\new.txt"), "member");
  // No plain files and, without the data component, no data file: and yet a success.
  EXPECT_FALSE(Exists(dest + "game.exe"));
  EXPECT_FALSE(Exists(dest + "game.dat"));
  TZarnInstallSet installed = InstalledRecord();
  for (const char* name : {"bin\\kept.txt", "bin\\same.txt", "bin\\stale.txt", "bin\\new.txt", "install.dat"})
    EXPECT_TRUE(Contains(installed.InstalledFiles, name)) << name;
  EXPECT_FALSE(installed.DataInstalled);
}

TEST_F(WizardInstall, ASeparateFileWithAWrongChecksumIsNotWritten) {
  settings.FilesInArchive = true;
  WriteMedium(medium, settings, {{"a.txt", "fine", kOldDate, true}, {"b.txt", "damaged", kOldDate, true}}, {});
  DamageRecordedCRC(medium + "game.dat", 1);
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.AcceptError("ファイルが壊れています");
  user.Do("stays on the copy page with only abort", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_EQ(w.CurrentPage(), TFormType::pgCopy);
    EXPECT_FALSE(w.btnNext.Visible());
    EXPECT_TRUE(w.btnAbort.CanUserAct());
  });
  user.Click("btnAbort");
  user.Answer(mrYes).Expect(mtConfirmation, "インストールを中断しますか？");
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_EQ(Get(dest + "a.txt"), "fine");
  EXPECT_FALSE(Exists(dest + "b.txt"));
  EXPECT_FALSE(Exists(dest + "install.dat"));
}

TEST_F(WizardInstall, TheShellOpensTheProgramGroupAndTheReadme) {
  settings.ReadmeFile = "doc\\readme.txt";
  settings.OpenReadme = true;
  settings.DiscFiles.Add("doc\\readme.txt");
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"doc\\readme.txt", "お読みください"}});
  ScriptPlainInstall(dest);
  EXPECT_EQ(RunInstall(), mrOk);
  const std::vector<ShellOpen>& opened = shell.Opened();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].verb, "open");
  EXPECT_TRUE(SameText(AddBackslash(opened[0].file), ProgramsFolder()));
  EXPECT_EQ(opened[1].verb, "open");
  EXPECT_TRUE(SameText(opened[1].file, dest + "doc\\readme.txt"));
  EXPECT_TRUE(SameText(opened[1].directory, dest));
  EXPECT_EQ(opened[1].parameters, "");
  EXPECT_EQ(opened[1].show, 1);
  EXPECT_EQ(pauses, (std::vector<uint32_t>{2000, 1000, 1000}));
  ShellLinkData readme = Shortcut("お読みください");
  EXPECT_TRUE(SameTarget(readme.target, dest + "doc\\readme.txt"));
}

// An installation that is nothing but a setup program with the game in its appended
// archive; the update medium carries newer members.
class WizardBundleUpdate : public WizardFixture {
 protected:
  std::string bundle, update;

  void SetUp() override {
    WizardFixture::SetUp();
    bundle = dest + "install.exe";
    update = machine.Scratch() + "update\\";
    TZarnInstallSet installed = BaseSettings();
    TMemoryStream record;
    installed.SaveToStream(record);
    std::vector<MemberSpec> old = {{"install.dat", record.ToString(), kOldDate, true},
                                   {"zarn.zpb", "project 1"},
                                   {"data\\a.txt", "a1"},
                                   {"data\\keep.txt", "kept"}};
    BuildArchive(machine.Scratch() + "old.pak", old);
    Put(bundle, "MZ program image");
    AppendArchive(p, bundle, machine.Scratch() + "old.pak");
  }

  void WriteUpdate(std::vector<MemberSpec> members) {
    TZarnInstallSet u = BaseSettings();
    u.UpdateMode = true;
    u.DiscFiles.Clear();
    TMemoryStream record;
    u.SaveToStream(record);
    members.push_back({"install.dat", record.ToString(), kNewDate, true});
    WriteMedium(update, u, members, {});
  }

  void ScriptUpToTheJob() {
    user.Type("EditDir", WithoutBackslash(dest));
    user.Click("btnNext");  // seldir: the bundle holds our title
    user.Click("btnNext");  // confirm
  }

  std::string ProgramImage() {
    std::string all = Get(bundle);
    int64_t start = 0;
    for (int i = 0; i < 4; ++i) start |= int64_t(static_cast<uint8_t>(all[all.size() - 6 + i])) << (8 * i);
    EXPECT_EQ(all.substr(all.size() - 2), "zr");
    return all.substr(0, static_cast<size_t>(start));
  }
};

TEST_F(WizardBundleUpdate, RebuildsTheProgramWithNewAndCarriedOverMembers) {
  WriteUpdate({{"zarn.zpb", "project 2", kNewDate}, {"data\\a.txt", "a2", kNewDate}, {"data\\b.txt", "b2", kNewDate}});
  ScriptUpToTheJob();
  ScriptClose();
  EXPECT_EQ(RunInstall(update), mrOk);
  EXPECT_TRUE(user.Dialogs().empty());
  EXPECT_EQ(ProgramImage(), "MZ program image");
  EXPECT_EQ(Extract(bundle, "zarn.zpb"), "project 2");
  EXPECT_EQ(Extract(bundle, "data\\a.txt"), "a2");
  EXPECT_EQ(Extract(bundle, "data\\b.txt"), "b2");
  EXPECT_EQ(Extract(bundle, "data\\keep.txt"), "kept");
  TZarnInstallSet record;
  TMemoryStream m;
  m.Assign(Extract(bundle, "install.dat"));
  record.LoadFromStream(m);
  EXPECT_EQ(record.Title, title);  // the bundle is still found as this game's
  EXPECT_EQ(FindInstaller(p, dest, title), bundle);
  // Nothing else is written: no record, no registry, no shortcuts; no work folder left.
  EXPECT_FALSE(Exists(dest + "install.dat"));
  EXPECT_FALSE(Exists(dest + "game.dat"));
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
  EXPECT_TRUE(WorkFolders().empty());
  EXPECT_TRUE(pauses.empty());
}

TEST_F(WizardBundleUpdate, TheMediumsNewProgramReplacesTheOldImage) {
  WriteUpdate({{"install.exe", "MZ new program image", kNewDate, true}, {"data\\a.txt", "a2", kNewDate}});
  ScriptUpToTheJob();
  ScriptClose();
  EXPECT_EQ(RunInstall(update), mrOk);
  EXPECT_EQ(ProgramImage(), "MZ new program image");
  EXPECT_EQ(Extract(bundle, "data\\a.txt"), "a2");
  EXPECT_EQ(Extract(bundle, "zarn.zpb"), "project 1");
}

TEST_F(WizardBundleUpdate, AbortWhilePackingLeavesTheProgramAndNoWorkFolder) {
  std::vector<MemberSpec> members;
  for (int i = 0; i < 12; ++i) members.push_back({Format("data\\n%d.txt", i), "new", kNewDate});
  WriteUpdate(members);
  std::string before = Get(bundle);
  ScriptUpToTheJob();
  // Past the copy page, the job's start, the twelve new members and the four carried over.
  user.Do("packing", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_EQ(w.LabelCopy.Caption(), "データファイルを構築中(10/16)...");
    w.btnAbort.UserClick();
  }).DuringWork(18);
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(update), mrAbort);
  EXPECT_EQ(Get(bundle), before);
  EXPECT_TRUE(WorkFolders().empty());
}

TEST_F(WizardBundleUpdate, ABusyWorkFolderNameIsPassedOver) {
  MakeFolders(AddBackslash(p.TempPath()) + "~zmupdate\\");
  Put(AddBackslash(p.TempPath()) + "~zmupdate\\someone else's.txt", "busy");
  WriteUpdate({{"data\\a.txt", "a2", kNewDate}});
  std::vector<std::string> during;
  ScriptUpToTheJob();
  user.Do("while the job works", [&](TForm&) { during = WorkFolders(); }).DuringWork(2);
  ScriptClose();
  EXPECT_EQ(RunInstall(update), mrOk);
  EXPECT_TRUE(Contains(during, "~zmupdate2"));
  EXPECT_EQ(Get(AddBackslash(p.TempPath()) + "~zmupdate\\someone else's.txt"), "busy");
  EXPECT_EQ(WorkFolders(), std::vector<std::string>{"~zmupdate"});
  RemoveFolderTree(AddBackslash(p.TempPath()) + "~zmupdate");
}

// Up to the copy page, where the job refuses; then the user gives up.
void ScriptRefusal(TScriptedUser& user, const std::string& dest, const std::string& fragment) {
  std::string folder = dest.substr(0, dest.size() - 1);
  user.Click("btnNext");
  user.Type("EditDir", folder);
  user.Click("btnNext");
  user.Click("btnNext");
  user.AcceptError(fragment);
  user.Click("btnAbort");
  user.Answer(mrYes);
}

TEST_F(WizardInstall, AMemberNameLeavingTheDestinationIsRefused) {
  settings.FilesInArchive = true;
  WriteMedium(medium, settings, {{"ok.txt", "fine", kOldDate, true}, {"..\\..\\evil.txt", "x", kOldDate, true}}, {});
  ScriptRefusal(user, dest, "..\\..\\evil.txt:ファイル名が正しくありません");
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_FALSE(Exists(machine.Scratch() + "evil.txt"));
  EXPECT_FALSE(Exists(dest + "install.dat"));
}

TEST_F(WizardInstall, AListedNameLeavingTheDestinationIsRefused) {
  settings.DiscFiles.Add("..\\outside.exe");
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}});
  Put(machine.Scratch() + "outside.exe", "victim");
  ScriptRefusal(user, dest, "..\\outside.exe:ファイル名が正しくありません");
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_FALSE(Exists(dest + "game.exe"));  // refused before anything was copied
}

TEST_F(WizardInstall, AReadmeOutsideTheDestinationIsRefused) {
  settings.ReadmeFile = "C:\\Windows\\notepad.exe";
  settings.OpenReadme = true;
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}});
  ScriptRefusal(user, dest, "ファイル名が正しくありません");
  EXPECT_EQ(RunInstall(), mrAbort);
  EXPECT_FALSE(Exists(dest + "install.dat"));
}

TEST_F(WizardInstall, AFileThatCannotBeCopiedIsNamedAndNotRecorded) {
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
  Put(dest + "game.exe", "in use");
  // Another program holds the old file open without sharing it.
  auto held = p.OpenFile(dest + "game.exe", FileAccess::ReadWrite, FileShare::None, FileCreate::OpenExisting);
  ASSERT_TRUE(held);
  ScriptRefusal(user, dest, "game.exe\r\nファイルがコピーできません");
  EXPECT_EQ(RunInstall(), mrAbort);
  held.reset();
  EXPECT_EQ(Get(dest + "game.exe"), "in use");
  EXPECT_FALSE(Exists(dest + "install.dat"));
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
}

// A plain file whose folder cannot be made (a file stands in its place) ends the job with
// a warning and the window closing as OK, nothing recorded.
TEST_F(WizardInstall, AFolderThatCannotBeMadeEndsTheCopyWithAWarning) {
  settings.DiscFiles.Add("Sound\\BGM01.WAV");
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"Sound\\BGM01.WAV", "RIFF"}});
  Put(dest + "Sound", "a file, not a folder");
  user.Check("CheckSound");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Answer(mrOk).Expect(mtWarning, "ディレクトリを作成できませんでした");
  EXPECT_EQ(RunInstall(), mrOk);
  EXPECT_EQ(Get(dest + "Sound"), "a file, not a folder");
  EXPECT_FALSE(Exists(dest + "install.dat"));
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
}

}  // namespace
}  // namespace testing
}  // namespace zarn
