// The install job without a window: what it installs for each choice, its progress, the
// disc prompt, updates of a folder and of a setup program, and every way it stops short.
#include <algorithm>

#include "wizard/job_support.h"

namespace zarn {
namespace testing {
namespace {

using InstallJob = JobFixture;

// Twelve data members, so the build and the verification report at their tenth item.
std::vector<MemberSpec> ManyMembers() {
  std::vector<MemberSpec> members;
  for (int i = 0; i < 12; ++i) members.push_back({Format("data\\%d.txt", i), std::string(100 + i, 'a' + i)});
  return members;
}

TEST_F(InstallJob, BuildProgressShowsEveryTenthItemAndLargeOnes) {
  WriteMedium(medium, settings, {}, {});
  settings.LoadFromFile(p, medium + "install.dat");
  TInstallJob job(MakeRun(medium, true), Input(), view);
  TVrFileCollection c(p);
  bool cancel = false;

  job.OnBuildProgress(c, nullptr, 3145728, 0, 5, cancel);  // exactly 3 MiB: counted, not shown
  EXPECT_TRUE(view.statuses.empty());
  EXPECT_EQ(view.calls, 0);

  job.OnBuildProgress(c, nullptr, 3145729, 1, 5, cancel);  // larger: shown
  EXPECT_EQ(view.Status(), "データファイルを構築中(2/5)...");
  EXPECT_EQ(view.progress, (3145728 + 3145729) / 10);

  job.OnBuildProgress(c, nullptr, 7, 8, 30, cancel);
  EXPECT_EQ(view.Status(), "データファイルを構築中(2/5)...");
  job.OnBuildProgress(c, nullptr, 7, 9, 30, cancel);
  EXPECT_EQ(view.Status(), "データファイルを構築中(10/30)...");
  job.OnBuildProgress(c, nullptr, 7, 19, 30, cancel);
  EXPECT_EQ(view.Status(), "データファイルを構築中(20/30)...");
  EXPECT_EQ(view.calls, 3);
  EXPECT_FALSE(cancel);

  // A confirmed abort is seen at the next report that is shown, not before.
  view.abort = true;
  job.OnBuildProgress(c, nullptr, 7, 20, 30, cancel);
  EXPECT_FALSE(cancel);
  job.OnBuildProgress(c, nullptr, 7, 29, 30, cancel);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(view.progress, (3145728 + 3145729 + 5 * 7) / 10);
}

TEST_F(InstallJob, VerifyProgressCountsItems) {
  WriteMedium(medium, settings, {}, {});
  settings.LoadFromFile(p, medium + "install.dat");
  TInstallJob job(MakeRun(medium, true), Input(), view);
  TVrFileCollection c(p);
  bool cancel = false;
  job.OnVerifyProgress(c, nullptr, 100, 19, 25, cancel);
  EXPECT_EQ(view.progressMax, 24);
  EXPECT_EQ(view.progress, 19);
  EXPECT_EQ(view.Status(), "データファイルを調べています(20/25)...");
  EXPECT_FALSE(cancel);
  view.abort = true;
  job.OnVerifyProgress(c, nullptr, 100, 24, 25, cancel);
  EXPECT_TRUE(cancel);
}

// The plain files of the list, the data file and the record, for each choice of
// components; the sound and movie extensions are matched whatever their case.
TEST_F(InstallJob, PlainFilesAndTheDataFileFollowTheChosenComponents) {
  struct Case {
    bool data, sound, movie;
  } cases[] = {{true, false, false}, {false, true, true}, {true, true, false}};
  settings.ReadmeFile = "readme.txt";
  for (const char* name : {"readme.txt", "Sound\\bgm01.wav", "movie\\op.mpg"}) settings.DiscFiles.Add(name);
  WriteMedium(medium, settings, GameMembers(),
              {{"game.exe", "MZ game"}, {"install.exe", "MZ setup"}, {"readme.txt", "お読みください"},
               {"Sound\\BGM01.WAV", "RIFF"}, {"movie\\OP.MPG", "mpg"}, {"Sound\\unlisted.wav", "RIFF"},
               {"extra.exe", "not listed"}});
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    dest = machine.Scratch() + Format("games%d\\物語\\", n++);
    NextRun();
    TInstallInput input = Components(c.data, c.sound, c.movie);
    input.neededBytes = 52000;
    ASSERT_TRUE(Install(input)) << error;
    EXPECT_TRUE(view.finished);
    EXPECT_EQ(view.finishedText, "");
    EXPECT_TRUE(view.asked.empty());
    EXPECT_EQ(view.progressMax, 5200);
    std::vector<std::string> headings = {"ショートカットを作成しています", "レジストリを更新しています"};
    if (c.data) headings.insert(headings.begin(), "データファイルをチェックしています");
    EXPECT_EQ(view.headings, headings);
    EXPECT_TRUE(view.progressHidden);
    EXPECT_EQ(view.pauses, (std::vector<uint32_t>{2000, 1000}));

    EXPECT_EQ(Get(dest + "game.exe"), "MZ game");
    EXPECT_EQ(Get(dest + "readme.txt"), "お読みください");
    EXPECT_EQ(Exists(dest + "sound\\bgm01.wav"), c.sound);
    EXPECT_EQ(Exists(dest + "movie\\op.mpg"), c.movie);
    EXPECT_FALSE(Exists(dest + "sound\\unlisted.wav"));
    EXPECT_FALSE(Exists(dest + "extra.exe"));
    // The data file with its directory, without the separate members, which come from
    // the plain files when the files are not in the archive.
    EXPECT_EQ(Exists(dest + "game.dat"), c.data);
    EXPECT_EQ(Exists(dest + "game.ext"), c.data);
    if (c.data) {
      EXPECT_EQ(Extract(dest + "game.dat", "data\\scenario.txt"), "シナリオ");
      EXPECT_FALSE(Contains(DataMembers(dest + "game.dat"), "manual\\説明.txt"));
    }
    EXPECT_FALSE(Exists(dest + "manual\\説明.txt"));

    TZarnInstallSet installed = InstalledRecord();
    EXPECT_TRUE(installed.Installed);
    EXPECT_EQ(installed.DataInstalled, c.data);
    for (const char* name : {"game.exe", "install.exe", "readme.txt", "install.dat"})
      EXPECT_TRUE(Contains(installed.InstalledFiles, name)) << name;
    EXPECT_EQ(Contains(installed.InstalledFiles, "game.dat"), c.data);
    EXPECT_EQ(Contains(installed.InstalledFiles, "Sound\\BGM01.WAV"), c.sound);
    EXPECT_EQ(RegValue("InstallPath"), dest);
  }
}

TEST_F(InstallJob, RecordsTheShortcutsTheRegistryAndOpensTheReadme) {
  settings.ReadmeFile = "doc\\readme.txt";
  settings.OpenReadme = true;
  settings.DiscFiles.Add("doc\\readme.txt");
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"doc\\readme.txt", "読んで"}});
  ASSERT_TRUE(Install()) << error;
  EXPECT_EQ(view.pauses, (std::vector<uint32_t>{2000, 1000, 1000}));

  const std::vector<ShellOpen>& opened = shell.Opened();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].verb, "open");
  EXPECT_TRUE(SameText(AddBackslash(opened[0].file), ProgramsFolder()));
  EXPECT_EQ(opened[1].verb, "open");
  EXPECT_TRUE(SameText(opened[1].file, dest + "doc\\readme.txt"));
  EXPECT_TRUE(SameText(opened[1].directory, dest));
  EXPECT_EQ(opened[1].parameters, "");
  EXPECT_EQ(opened[1].show, 1);

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
  EXPECT_TRUE(SameTarget(readme.target, dest + "doc\\readme.txt"));
  EXPECT_EQ(readme.description, "お読みください");

  EXPECT_EQ(RegValue("InstallPath"), dest);
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

// Characters Windows forbids in file names become their full-width forms: the group and
// its shortcuts exist under the name a person reads as the game's.
TEST_F(InstallJob, ATitleWithForbiddenCharactersGetsItsGroupAndShortcuts) {
  title = "What? Story: <1/2>" + machine.ScratchKey();
  settings.Title = title;
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
  ASSERT_TRUE(Install()) << error;
  const std::string group = "What？ Story： ＜1／2＞" + machine.ScratchKey();
  std::string folder;
  p.SpecialFolder(p.Version().platformId == 2 ? csidlCommonPrograms : csidlPrograms, folder);
  folder = AddBackslash(folder) + group + "\\";
  EXPECT_TRUE(Exists(folder + group + ".lnk"));
  EXPECT_TRUE(Exists(folder + group + "のアンインストール.lnk"));
  NextRun();
  ASSERT_TRUE(Uninstall(false)) << error;
  EXPECT_FALSE(p.DirectoryExists(folder));
  EXPECT_FALSE(Exists(dest + "game.exe"));
}

TEST_F(InstallJob, SeparateFilesAreWrittenUnlessTheTargetIsAsNew) {
  settings.FilesInArchive = true;
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
  ASSERT_TRUE(Install()) << error;
  EXPECT_EQ(Get(dest + "bin\\kept.txt"), "mine");
  EXPECT_EQ(Get(dest + "bin\\same.txt"), "mine too");
  EXPECT_EQ(Get(dest + "bin\\stale.txt"), "member");
  EXPECT_EQ(p.FileAge(dest + "bin\\stale.txt"), kNewDate);
  EXPECT_EQ(Get(dest + "bin\\new.txt"), "member");
  // No plain files and, without the data component, no data file: and yet a success.
  EXPECT_TRUE(view.finished);
  EXPECT_FALSE(Exists(dest + "game.exe"));
  EXPECT_FALSE(Exists(dest + "game.dat"));
  TZarnInstallSet installed = InstalledRecord();
  for (const char* name : {"bin\\kept.txt", "bin\\same.txt", "bin\\stale.txt", "bin\\new.txt", "install.dat"})
    EXPECT_TRUE(Contains(installed.InstalledFiles, name)) << name;
  EXPECT_FALSE(installed.DataInstalled);
}

// ---- several discs

class InstallJobDiscs : public JobFixture {
 protected:
  std::string disc2;

  // Two discs, the program and one data member on the first; the second brings a data
  // member, a plain file and a movie.
  void WriteDiscs() {
    settings = BaseSettings();
    settings.SetDiscCount(2);
    settings.DiscFiles.Clear();
    settings.DiscFiles.Add("game.exe");
    settings.DiscFiles.Add("bin\\tool.exe");
    WriteMedium(medium, settings, {{"zarn.zpb", "project"}, {"data\\one.txt", "disc one"}},
                {{"game.exe", "MZ"}, {"bin\\tool.exe", "tool"}});
    TZarnInstallSet second = settings;
    second.DiscIndex = 1;
    second.DiscFiles.Clear();
    second.DiscFiles.Add("movie\\ed.avi");
    second.DiscFiles.Add("bonus.txt");
    disc2 = machine.Scratch() + "disc2\\";
    WriteMedium(disc2, second, {{"data\\two.txt", "disc two"}}, {{"bonus.txt", "bonus"}, {"movie\\ed.avi", "avi"}});
  }

  // The second disc goes in at the `nth` OK of the prompt.
  void InsertAt(int nth) {
    auto oks = std::make_shared<int>(0);
    view.onPause = [this, nth, oks](uint32_t ms) {
      if (ms != 500 || ++*oks != nth) return;
      RemoveFolderTree(medium);
      MakeFolders(medium + "movie\\");
      for (const char* name : {"install.dat", "game.dat", "bonus.txt", "movie\\ed.avi"})
        ASSERT_TRUE(p.CopyFile(disc2 + name, medium + name, false)) << name;
    };
  }

  TInstallInput AllDiscs() {
    TInstallInput in = Components(true);
    in.allDiscs = true;
    return in;
  }
};

const char* const kDisc2 = "ディスク2を入れてからOKをクリックしてください";
const char* const kStop = "インストールを中断しますか？";

TEST_F(InstallJobDiscs, ThePromptAnsweredOrRefused) {
  struct Case {
    const char* name;
    std::vector<int> answers;
    int insertAt;  // the OK at which the second disc goes in; 0: never
    std::vector<std::string> questions;
    bool finished;
  } cases[] = {
      {"the prompt abandoned", {mrAbort, mrYes}, 0, {kDisc2, kStop}, false},
      {"another game's disc, then abandoned", {mrOk, mrAbort, mrYes}, -1, {kDisc2, kDisc2, kStop}, false},
      {"the disc at the second OK, a No between", {mrOk, mrAbort, mrNo, mrOk}, 2,
       {kDisc2, kDisc2, kStop, kDisc2}, true},
  };
  TZarnInstallSet foreign = BaseSettings();
  foreign.Title = "別のゲーム";
  foreign.DiscIndex = 1;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dest = machine.Scratch() + Format("games%d\\物語\\", n++);
    archive.reset();  // the last run's medium is closed before it is written again
    RemoveFolderTree(medium);
    WriteDiscs();
    NextRun();
    view.answers.assign(c.answers.begin(), c.answers.end());
    if (c.insertAt > 0) InsertAt(c.insertAt);
    if (c.insertAt < 0)
      view.onPause = [&](uint32_t ms) {
        if (ms == 500) foreign.SaveToFile(p, medium + "install.dat");
      };
    ASSERT_TRUE(Install(AllDiscs())) << error;
    EXPECT_EQ(view.Questions(), c.questions);
    EXPECT_EQ(view.finished, c.finished);
    EXPECT_EQ(view.endedWith, c.finished ? mrNone : mrAbort);
    if (c.finished) {
      EXPECT_EQ(Get(dest + "game.exe"), "MZ");
      EXPECT_EQ(Get(dest + "bonus.txt"), "bonus");
      EXPECT_FALSE(Exists(dest + "movie\\ed.avi"));  // movie not chosen
      EXPECT_EQ(Extract(dest + "game.dat", "data\\one.txt"), "disc one");
      EXPECT_EQ(Extract(dest + "game.dat", "data\\two.txt"), "disc two");
      // A fresh install's project file is the first disc's, under its own name.
      EXPECT_EQ(Extract(dest + "game.dat", "zarn.zpb"), "project");
      EXPECT_FALSE(Contains(DataMembers(dest + "game.dat"), "/original_zarn.zpb"));
      // The record names the files of both discs.
      TZarnInstallSet installed = InstalledRecord();
      EXPECT_EQ(installed.DiscIndex, 1);
      EXPECT_TRUE(installed.DataInstalled);
      for (const char* name : {"game.exe", "bin\\tool.exe", "bonus.txt", "game.ext", "game.dat", "install.dat"})
        EXPECT_TRUE(Contains(installed.InstalledFiles, name)) << name;
    } else {
      // Nothing of the first disc is left, the folder with it; the record is this game's.
      EXPECT_FALSE(p.DirectoryExists(dest));
      EXPECT_EQ(settings.Title, title);
      EXPECT_EQ(RegValue("InstallPath"), "<none>");
    }
  }
}

// Stopping at the disc prompt in a folder that held files already: those stay, the
// run's own go, and a file the run replaced is kept as replaced.
TEST_F(InstallJobDiscs, AbandoningThePromptKeepsWhatWasThereBefore) {
  WriteDiscs();
  Put(machine.Scratch() + "games\\kept.txt", "the user's");
  Put(dest + "game.exe", "older program");
  Put(dest + "notes.txt", "mine");
  view.answers = {mrAbort, mrYes};
  ASSERT_TRUE(Install(AllDiscs())) << error;
  EXPECT_EQ(view.endedWith, mrAbort);
  EXPECT_EQ(Get(dest + "notes.txt"), "mine");
  EXPECT_EQ(Get(dest + "game.exe"), "MZ");
  EXPECT_EQ(Get(machine.Scratch() + "games\\kept.txt"), "the user's");
  for (const char* name : {"bin\\tool.exe", "game.dat", "game.ext", "install.dat"})
    EXPECT_FALSE(Exists(dest + name)) << name;
  EXPECT_FALSE(p.DirectoryExists(dest + "bin"));
}

// The next disc's record is as untrusted as the first: a name in it that leaves the
// destination stops the job before anything of that disc is installed or opened.
TEST_F(InstallJobDiscs, TheNextDiscsRecordIsCheckedAsTheFirstIs) {
  struct Case {
    const char* name;
    std::function<void(TZarnInstallSet&)> spoil;
  } cases[] = {
      {"its readme",
       [](TZarnInstallSet& s) {
         s.ReadmeFile = "..\\..\\outside.exe";
         s.OpenReadme = true;
       }},
      {"its program", [](TZarnInstallSet& s) { s.ProgramFile = "C:\\Windows\\notepad.exe"; }},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dest = machine.Scratch() + Format("games%d\\物語\\", n++);
    archive.reset();
    RemoveFolderTree(medium);
    WriteDiscs();
    TZarnInstallSet second;
    second.LoadFromFile(p, disc2 + "install.dat");
    c.spoil(second);
    second.SaveToFile(p, disc2 + "install.dat");
    NextRun();
    InsertAt(1);
    view.answers = {mrOk};
    EXPECT_FALSE(Install(AllDiscs()));
    EXPECT_NE(error.find("ファイル名が正しくありません"), std::string::npos) << p.SjisToUtf8(error);
    EXPECT_FALSE(view.finished);
    EXPECT_TRUE(shell.Opened().empty());
    EXPECT_FALSE(Exists(dest + "bonus.txt"));
    EXPECT_FALSE(Exists(dest + "install.dat"));
    EXPECT_EQ(RegValue("InstallPath"), "<none>");
  }
}

// ---- a folder installation reinstalled and updated

TEST_F(InstallJob, AReinstallRebuildsTheDataFileFromScratch) {
  settings.InstallKind = ikFull;
  WriteMedium(medium, settings, GameMembers(), {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
  ASSERT_TRUE(Install(true)) << error;
  // Leftovers of a larger data file.
  Put(dest + "game.001", "old part");
  Put(dest + "game.002", "old part");
  NextRun();
  ASSERT_TRUE(Install(true)) << error;
  EXPECT_FALSE(Exists(dest + "game.001"));
  EXPECT_FALSE(Exists(dest + "game.002"));
  std::vector<std::string> members = DataMembers(dest + "game.dat");
  EXPECT_EQ(members.size(), 3u);  // no superseded copies: the file was built anew
  EXPECT_TRUE(Contains(members, "zarn.zpb"));
  EXPECT_FALSE(Contains(InstalledRecord().InstalledFiles, "game.001"));
}

TEST_F(InstallJob, UpdatesOfAFolderInstallationKeepTheOriginalProjectOnce) {
  settings.InstallKind = ikFull;
  // A program far bigger than the update, so the programs entry's size tells them apart.
  WriteMedium(medium, settings, GameMembers(), {{"game.exe", "MZ" + std::string(20000, 'x')}, {"install.exe", "MZ setup"}});
  ASSERT_TRUE(Install(true)) << error;

  auto update = [&](const std::string& folder, const std::string& project, int32_t date) {
    TZarnInstallSet u = BaseSettings();
    u.UpdateMode = true;
    u.DiscFiles.Clear();
    u.DiscFiles.Add("patch\\readme.wav");  // sound: an update copies it whatever is chosen
    WriteMedium(folder, u, {{"zarn.zpb", project, date}, {"data\\scenario.txt", project + " シナリオ", date}},
                {{"patch\\readme.wav", project}});
    NextRun();
    TInstallInput in = Input();
    in.source = folder;
    ASSERT_TRUE(Install(in)) << error;
    EXPECT_TRUE(view.finished);
    EXPECT_EQ(view.pauses, std::vector<uint32_t>{1000});  // no shortcuts in an update
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

  // The programs entry still sizes the whole installation, not the last update.
  size_t bytes = 0;
  for (const std::string& name : installed.InstalledFiles)
    if (p.FileExists(dest + name)) bytes += Get(dest + name).size();
  auto entry = p.OpenKey(RegRoot::CurrentUser, ProgramsEntryKey(settings.RegistryKey), false);
  ASSERT_TRUE(entry);
  uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(entry->QueryValue("EstimatedSize", type, data));
  ASSERT_EQ(data.size(), 4u);
  uint32_t kib = 0;
  for (int i = 3; i >= 0; --i) kib = (kib << 8) | uint8_t(data[size_t(i)]);
  EXPECT_GE(bytes, 20000u);
  EXPECT_EQ(kib, (bytes + 1023) / 1024);
}

// ---- a setup program carrying the game in its appended archive, updated

class InstallJobBundle : public BundleFixture {
 protected:
  bool RunUpdate() {
    TInstallInput in = Input();
    in.source = update;
    return Install(in);
  }
};

TEST_F(InstallJobBundle, RebuildsTheProgramWithNewAndCarriedOverMembers) {
  WriteUpdate({{"zarn.zpb", "project 2", kNewDate}, {"data\\a.txt", "a2", kNewDate}, {"data\\b.txt", "b2", kNewDate}});
  ASSERT_TRUE(RunUpdate()) << error;
  EXPECT_TRUE(view.finished);
  EXPECT_TRUE(view.asked.empty());
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
  EXPECT_TRUE(view.pauses.empty());
}

TEST_F(InstallJobBundle, TheMediumsNewProgramReplacesTheOldImage) {
  WriteUpdate({{"install.exe", "MZ new program image", kNewDate, true}, {"data\\a.txt", "a2", kNewDate}});
  ASSERT_TRUE(RunUpdate()) << error;
  EXPECT_EQ(ProgramImage(), "MZ new program image");
  EXPECT_EQ(Extract(bundle, "data\\a.txt"), "a2");
  EXPECT_EQ(Extract(bundle, "zarn.zpb"), "project 1");
}

TEST_F(InstallJobBundle, ABusyWorkFolderNameIsPassedOver) {
  MakeFolders(AddBackslash(p.TempPath()) + "~zmupdate\\");
  Put(AddBackslash(p.TempPath()) + "~zmupdate\\someone else's.txt", "busy");
  WriteUpdate({{"data\\a.txt", "a2", kNewDate}});
  std::vector<std::string> during;
  view.onMessages = [&](int call) {
    if (call == 1) during = WorkFolders();
  };
  ASSERT_TRUE(RunUpdate()) << error;
  EXPECT_TRUE(view.finished);
  EXPECT_TRUE(Contains(during, "~zmupdate2"));
  EXPECT_EQ(Get(AddBackslash(p.TempPath()) + "~zmupdate\\someone else's.txt"), "busy");
  EXPECT_EQ(WorkFolders(), std::vector<std::string>{"~zmupdate"});
  RemoveFolderTree(AddBackslash(p.TempPath()) + "~zmupdate");
}

TEST_F(InstallJobBundle, AbortWhilePackingLeavesTheProgramAndNoWorkFolder) {
  std::vector<MemberSpec> members;
  for (int i = 0; i < 12; ++i) members.push_back({Format("data\\n%d.txt", i), "new", kNewDate});
  WriteUpdate(members);
  std::string before = Get(bundle);
  // Past the job's start, the twelve new members and the four carried over.
  std::string status;
  view.onMessages = [&](int call) {
    if (call != 17) return;
    status = view.Status();
    view.abort = true;
  };
  ASSERT_TRUE(RunUpdate()) << error;
  EXPECT_EQ(status, "データファイルを構築中(10/16)...");
  EXPECT_FALSE(view.finished);
  EXPECT_EQ(Get(bundle), before);
  EXPECT_TRUE(WorkFolders().empty());
}

// ---- stopped by the user

TEST_F(InstallJob, AnAbortTakesBackWhatTheRunMade) {
  struct Case {
    const char* name;
    bool plainFiles;  // the game's program files, else twelve data members
    int call;         // the ProcessMessages call at which the user confirms
    std::string status;
  } cases[] = {
      {"at the second file", true, 2, "install.exe をコピー中..."},
      {"while building", false, 1, "データファイルを構築中(10/13)..."},
      {"while verifying", false, 2, "データファイルを調べています(10/12)..."},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    medium = machine.Scratch() + Format("medium%d\\", n);
    dest = machine.Scratch() + Format("games%d\\物語\\", n++);
    settings = BaseSettings();
    if (!c.plainFiles) settings.DiscFiles.Clear();
    WriteMedium(medium, settings, c.plainFiles ? GameMembers() : ManyMembers(),
                {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
    NextRun();
    std::string status;
    int progress = -1, progressMax = -1;
    view.onMessages = [&](int call) {
      if (call != c.call) return;
      status = view.Status();
      progress = view.progress;
      progressMax = view.progressMax;
      view.abort = true;
    };
    ASSERT_TRUE(Install(!c.plainFiles)) << error;
    EXPECT_EQ(status, c.status);
    if (!c.plainFiles && c.call == 2) {
      EXPECT_EQ(view.headings, std::vector<std::string>{"データファイルをチェックしています"});
      EXPECT_EQ(progressMax, 11);
      EXPECT_EQ(progress, 9);
    }
    EXPECT_FALSE(view.finished);
    // The run's files go, the folder it made with them; nothing is recorded.
    EXPECT_FALSE(p.DirectoryExists(dest));
    EXPECT_EQ(RegValue("InstallPath"), "<none>");
    EXPECT_FALSE(p.DirectoryExists(ProgramsFolder()));
  }
}

// ---- failures

TEST_F(InstallJob, FailuresEndTheJobBeforeAnythingIsRecorded) {
  struct Case {
    const char* name;
    std::function<void()> arrange;  // the medium and the destination as found
    std::string error;              // a fragment of the error raised, "" none
    std::string warning;            // the warning shown instead, "" none
    int endedWith;
    std::function<void()> check;  // what must have been left
  };
  const std::string outside = machine.Scratch() + "outside.exe";
  std::unique_ptr<FileHandle> held;
  Case cases[] = {
      {"a damaged data file fails the check",
       [&] {
         settings.DiscFiles.Clear();
         WriteMedium(medium, settings, ManyMembers(), {});
         auto bytes = MemberBytes(medium + "game.dat", "data\\5.txt");
         FlipByte(medium + "game.dat", bytes.first + bytes.second - 1);
       },
       "",
       "ファイルの内容が正しくありません\r\nインストールしなおしてください\r\n何度も失敗する場合は、"
       "スキャンディスクを実行して\r\nハードディスクに異常がないか調べてください",
       mrAbort, [&] { EXPECT_FALSE(p.DirectoryExists(dest)); }},
      {"a separate file with a wrong checksum",
       [&] {
         settings.FilesInArchive = true;
         WriteMedium(medium, settings, {{"a.txt", "fine", kOldDate, true}, {"b.txt", "damaged", kOldDate, true}}, {});
         DamageRecordedCRC(medium + "game.dat", 1);
       },
       "ファイルが壊れています", "", mrNone,
       [&] {
         EXPECT_EQ(Get(dest + "a.txt"), "fine");
         EXPECT_FALSE(Exists(dest + "b.txt"));
       }},
      {"a member name leaving the destination",
       [&] {
         settings.FilesInArchive = true;
         WriteMedium(medium, settings, {{"ok.txt", "fine", kOldDate, true}, {"..\\..\\evil.txt", "x", kOldDate, true}},
                     {});
       },
       "..\\..\\evil.txt:ファイル名が正しくありません", "", mrNone,
       [&] {
         EXPECT_FALSE(Exists(machine.Scratch() + "evil.txt"));
         EXPECT_FALSE(Exists(dest + "ok.txt"));
       }},
      {"a listed name leaving the destination, before the old data goes",
       [&] {
         settings.DiscFiles.Add("..\\outside.exe");
         WriteMedium(medium, settings, {{"data\\a.txt", "a"}}, {{"game.exe", "MZ"}});
         Put(outside, "victim");
         Put(dest + "game.dat", "old data");
         Put(dest + "game.ext", "old directory");
       },
       "..\\outside.exe:ファイル名が正しくありません", "", mrNone,
       [&] {
         EXPECT_EQ(Get(outside), "victim");
         EXPECT_FALSE(Exists(dest + "game.exe"));
         EXPECT_EQ(Get(dest + "game.dat"), "old data");
         EXPECT_EQ(Get(dest + "game.ext"), "old directory");
       }},
      {"a readme outside the destination",
       [&] {
         settings.ReadmeFile = "C:\\Windows\\notepad.exe";
         settings.OpenReadme = true;
         WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}});
       },
       "ファイル名が正しくありません", "", mrNone, [&] { EXPECT_FALSE(Exists(dest + "game.exe")); }},
      {"a title that names no group: \"\"",
       [&] {
         settings.Title = "";
         WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
       },
       "プログラムグループの名前が作れません", "", mrNone, [&] { EXPECT_FALSE(p.DirectoryExists(dest)); }},
      {"a title that names no group: \"..\"",
       [&] {
         settings.Title = "..";
         WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
       },
       "プログラムグループの名前が作れません", "", mrNone, [&] { EXPECT_FALSE(p.DirectoryExists(dest)); }},
      {"a title that names no group: \" . \"",
       [&] {
         settings.Title = " . ";
         WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
       },
       "プログラムグループの名前が作れません", "", mrNone, [&] { EXPECT_FALSE(p.DirectoryExists(dest)); }},
      {"a file that cannot be copied",
       [&] {
         WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
         Put(dest + "game.exe", "in use");
         // Another program holds the old file open without sharing it.
         held = p.OpenFile(dest + "game.exe", FileAccess::ReadWrite, FileShare::None, FileCreate::OpenExisting);
         ASSERT_TRUE(held);
       },
       "game.exe\r\nファイルがコピーできません", "", mrNone,
       [&] {
         held.reset();
         EXPECT_EQ(Get(dest + "game.exe"), "in use");
       }},
      {"a folder that cannot be made",
       [&] {
         settings.DiscFiles.Add("Sound\\BGM01.WAV");
         WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"Sound\\BGM01.WAV", "RIFF"}});
         Put(dest + "Sound", "a file, not a folder");
       },
       "", "ディレクトリを作成できませんでした", mrOk,
       [&] { EXPECT_EQ(Get(dest + "Sound"), "a file, not a folder"); }},
  };
  int n = 0;
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    medium = machine.Scratch() + Format("medium%d\\", n);
    dest = machine.Scratch() + Format("games%d\\物語\\", n++);
    settings = BaseSettings();
    c.arrange();
    NextRun();
    if (!c.warning.empty()) view.answers = {mrOk};
    bool ended = Install(Components(true, true));
    EXPECT_EQ(ended, c.error.empty());
    if (c.error.empty()) {
      EXPECT_EQ(error, "");
    } else {
      EXPECT_NE(error.find(c.error), std::string::npos) << p.SjisToUtf8(error);
    }
    EXPECT_EQ(view.Questions(), c.warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.warning});
    EXPECT_EQ(view.endedWith, c.endedWith);
    EXPECT_FALSE(view.finished);
    EXPECT_FALSE(Exists(dest + "install.dat"));
    EXPECT_EQ(RegValue("InstallPath"), "<none>");
    c.check();
  }
}

}  // namespace
}  // namespace testing
}  // namespace zarn
