// The launch sequence's early ends and its archive detection: the administrator check,
// missing settings, the running game, a second copy, archives carried by the program file
// as a resource or appended, and errors that reach the top.
#include "launch_support.h"
#include "launcher/launch_rules.h"

namespace zarn {
namespace testing {
namespace {

using LaunchGuards = LaunchTest;

TEST_F(LaunchGuards, ANonAdministratorGetsTheMessageAndNothingElse) {
  PutSettings("D:\\install.dat", Settings());
  Boot("D:\\setup.exe", false);
  LaunchRun run(p(), {});
  run.user.Answer(mrOk).Expect(mtWarning, "管理者権限で実行してください");
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::NotAdministrator);
  ASSERT_EQ(run.user.Dialogs().size(), 1u);
  EXPECT_EQ(run.user.Dialogs()[0].caption, "警告");
  EXPECT_EQ(run.user.Dialogs()[0].buttons, mbOK);
  EXPECT_EQ(RegValue("CDDrive"), "<none>");
  EXPECT_TRUE(Started().empty());
  EXPECT_TRUE(run.user.Finished()) << run.user.Pending();
}

TEST_F(LaunchGuards, NoSettingsFileEndsWithItsMessage) {
  LaunchRun run(p(), {});
  run.user.Answer(mrOk).Expect(mtWarning, "インストール設定ファイルがありません");
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::NoSettings);
  EXPECT_TRUE(run.user.Finished()) << run.user.Pending();

  // A folder parameter without install.dat: the same.
  LaunchRun second(p(), {"C:\\"});
  second.user.Answer(mrOk).Expect(mtWarning, "インストール設定ファイルがありません");
  second.Go();
  EXPECT_EQ(second.launcher.End(), TLaunchEnd::NoSettings);
  EXPECT_EQ(second.launcher.SourceDir(), "C:\\");
}

TEST_F(LaunchGuards, TheRunningGameEndsTheRunSilently) {
  PutSettings("D:\\install.dat", Settings());
  ProductKeyWriteString(p(), kKey, "InstallPath", "C:\\Games\\Story");
  bool existed = true;
  auto game = p().CreateMutex("C:-GAMES-STORY-", existed);
  ASSERT_TRUE(game);
  LaunchRun run(p(), {});
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::GameRunning);
  EXPECT_TRUE(run.user.Log().empty()) << "no window, no message";
  EXPECT_FALSE(MutexExists(p(), kTitle));
  EXPECT_EQ(RegValue("CDDrive"), "<none>");

  // Once the game has ended the start menu shows.
  game.reset();
  LaunchRun again(p(), {});
  again.user.Click("btnExit");
  again.Go();
  EXPECT_EQ(again.launcher.End(), TLaunchEnd::MenuClosed);
}

TEST_F(LaunchGuards, TheGameMutexNameFollowsTheFolderAsWritten) {
  // A Japanese folder whose character ends in 0x5C keeps that byte.
  PutSettings("D:\\install.dat", Settings());
  ProductKeyWriteString(p(), kKey, "InstallPath", "c:\\ゲーム\\ソフト\\");
  bool existed = true;
  auto game = p().CreateMutex("C:-ゲーム-ソフト-", existed);
  ASSERT_TRUE(game);
  LaunchRun run(p(), {});
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::GameRunning);
}

TEST_F(LaunchGuards, ASecondCopyEndsSilentlyWhileTheFirstHoldsTheTitle) {
  PutSettings("D:\\install.dat", Settings());
  bool existed = true;
  auto first = p().CreateMutex(kTitle, existed);
  ASSERT_TRUE(first);
  LaunchRun run(p(), {});
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::AlreadyRunning);
  EXPECT_TRUE(run.user.Log().empty());
  EXPECT_TRUE(MutexExists(p(), kTitle)) << "the first copy keeps its mutex";
  EXPECT_EQ(RegValue("CDDrive"), "<none>");
}

TEST_F(LaunchGuards, AResourceArchiveCarriesSettingsAndData) {
  TZarnInstallSet s = Settings();
  s.FilesInArchive = true;
  PutProgramWithResource("D:\\setup.exe", Archive({{"install.dat", SettingsBytes(s)}, {"a.txt", "a"}}));
  // A settings file beside the program is not read.
  TZarnInstallSet other = Settings();
  other.Title = "違う";
  PutSettings("D:\\install.dat", other);
  LaunchRun run(p(), {});
  run.user.Click("btnInstall");
  run.Go();
  EXPECT_TRUE(run.launcher.ResourceArchive());
  EXPECT_FALSE(run.launcher.AppendedArchive());
  ASSERT_EQ(run.wizardCalls.size(), 1u);
  EXPECT_EQ(run.wizardCalls[0].members, 2);
  EXPECT_EQ(run.wizardCalls[0].splashCaption, "物語のセットアップ");
}

TEST_F(LaunchGuards, AResourceThatIsNoArchiveFallsBackToTheTrailer) {
  TZarnInstallSet s = Settings();
  s.UpdateMode = true;
  std::string program = AddPeResource(TestProgram(), "DUMMY", "BINTYPE", "not an archive");
  Put(p(), "D:\\setup.exe", program);
  Put(p(), "C:\\arc.tmp", Archive({{"install.dat", SettingsBytes(s)}}));
  AppendArchive(p(), "D:\\setup.exe", "C:\\arc.tmp");
  LaunchRun run(p(), {});
  run.Go();
  EXPECT_FALSE(run.launcher.ResourceArchive());
  EXPECT_TRUE(run.launcher.AppendedArchive());
  EXPECT_EQ(run.wizardCalls.size(), 1u);
}

TEST_F(LaunchGuards, AProgramWithoutArchiveReadsTheSettingsBesideIt) {
  Put(p(), "D:\\setup.exe", "z");  // shorter than a trailer
  PutSettings("D:\\install.dat", Settings());
  LaunchRun run(p(), {});
  run.user.Click("btnExit");
  run.Go();
  EXPECT_FALSE(run.launcher.ResourceArchive());
  EXPECT_FALSE(run.launcher.AppendedArchive());
  EXPECT_EQ(run.launcher.SourceDir(), "D:\\");
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::MenuClosed);
}

TEST_F(LaunchGuards, ADamagedSettingsFileIsReportedAndLeavesNoMutex) {
  Put(p(), "D:\\install.dat", "is108\x01");
  LaunchRun run(p(), {});
  run.user.AcceptError();
  EXPECT_EQ(run.Go(), 1);
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::Failed);
  EXPECT_FALSE(MutexExists(p(), kTitle));
  EXPECT_TRUE(Started().empty());
  EXPECT_TRUE(run.user.Finished()) << run.user.Pending();
}

TEST_F(LaunchGuards, AnArchiveWithoutSettingsIsReportedWithTheMemberName) {
  PutProgramWithArchive("D:\\setup.exe", Archive({{"a.txt", "a"}}));
  LaunchRun run(p(), {});
  run.user.AcceptError("install.dat:ファイルがありません");
  EXPECT_EQ(run.Go(), 1);
  EXPECT_TRUE(run.user.Finished()) << run.user.Pending();
}

TEST_F(LaunchGuards, AnErrorWhileTheArchiveOpensStillReleasesTheMutex) {
  PutSettings("D:\\install.dat", Settings());
  Put(p(), "D:\\game.dat", std::string("vf\x66\0\0\0\xff\xff\xff\x7f", 10));  // a count far beyond the file
  LaunchRun run(p(), {"D:\\"});
  run.user.AcceptError();
  EXPECT_EQ(run.Go(), 1);
  EXPECT_TRUE(run.wizardCalls.empty());
  EXPECT_FALSE(MutexExists(p(), kTitle));
  EXPECT_TRUE(Started().empty());
  EXPECT_TRUE(run.user.Finished()) << run.user.Pending();
}

TEST_F(LaunchGuards, AnErrorInTheWizardEndsTheRunAfterTheCleanUp) {
  PutSettings("D:\\install.dat", Settings());
  TScriptedUser user;
  HeadlessBackend backend(user);
  TApplication app(p(), backend);
  TLauncher launcher(app, {"D:\\"}, [](TRunContext&, TForm&) { throw EZarnError("壊れたウィザード"); });
  user.AcceptError("壊れたウィザード");
  EXPECT_EQ(launcher.Run(), 1);
  EXPECT_TRUE(app.Forms().empty()) << "the splash window is gone";
  EXPECT_FALSE(MutexExists(p(), kTitle));
}

}  // namespace
}  // namespace testing
}  // namespace zarn

namespace zarn {
namespace testing {
namespace {

// A medium whose title or key would reach outside what the game owns is refused with its
// message before the start menu writes anything.
TEST_F(LaunchGuards, AHostileMediumIsRefusedBeforeAnythingIsWritten) {
  struct Case {
    const char* title;
    const char* key;
    const char* message;
  } cases[] = {{"", kKey, "プログラムグループの名前が作れません"},
               {"..", kKey, "プログラムグループの名前が作れません"},
               {kTitle, "\\Microsoft\\Windows", "このゲームのキーではないので使えません"},
               {kTitle, "Classes", "このゲームのキーではないので使えません"}};
  for (const Case& c : cases) {
    TZarnInstallSet s = Settings();
    s.Title = c.title;
    s.RegistryKey = c.key;
    PutSettings("D:\\install.dat", s);
    LaunchRun run(p(), {});
    run.user.AcceptError(c.message);
    run.Go();
    EXPECT_EQ(run.launcher.End(), TLaunchEnd::Failed) << c.title << " " << c.key;
    EXPECT_TRUE(run.user.Finished()) << run.user.Pending();
    EXPECT_EQ(RegValue("CDDrive"), "<none>");
  }
}

// Windows refuses a mutex name with a backslash; the title's still guards one copy.
TEST_F(LaunchGuards, ATitleWithABackslashStillRunsOneCopy) {
  TZarnInstallSet s = Settings();
  s.Title = "Maker\\物語";
  PutSettings("D:\\install.dat", s);
  bool existed = true;
  EXPECT_FALSE(p().CreateMutex(s.Title, existed)) << "the system refuses such a name";
  LaunchRun run(p(), {});
  run.user.Click("btnExit");
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::MenuClosed);
  EXPECT_EQ(InstanceMutexName("Maker\\物語\\\x83\x5C"), "Maker-物語-\x83\x5C");
  auto first = p().CreateMutex(InstanceMutexName(s.Title), existed);
  ASSERT_TRUE(first);
  LaunchRun second(p(), {});
  second.Go();
  EXPECT_EQ(second.launcher.End(), TLaunchEnd::AlreadyRunning);
}

}  // namespace
}  // namespace testing
}  // namespace zarn
