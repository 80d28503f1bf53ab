// The launch sequence on the emulated machine, one mode of the program at a time: what
// it starts last (RunFile and RunParams), the copies it leaves in the temporary folder,
// what it schedules for deletion, the mutexes and the "CDDrive" value.
#include "launcher/command_line.h"
#include "launch_support.h"

namespace zarn {
namespace testing {
namespace {

using LaunchModes = LaunchTest;

// The parameters of a command line, without the program's name.
std::vector<std::string> Params(const std::string& commandLine) {
  std::vector<std::string> words = SplitCommandLine(commandLine);
  words.erase(words.begin());
  return words;
}

// ---- uninstall mode (Installed set)

TEST_F(LaunchModes, InstalledCopyWithoutParameterHandsOverToATemporaryCopy) {
  TZarnInstallSet s = Settings();
  s.Installed = true;
  p().CreateDirectory("C:\\Games");
  p().CreateDirectory("C:\\Games\\Story");
  PutSettings("C:\\Games\\Story\\install.dat", s);
  Put(p(), "C:\\Games\\Story\\install.exe", "program bytes");
  Boot("C:\\Games\\Story\\install.exe");

  LaunchRun run(p(), {});
  EXPECT_EQ(run.Go(), 0);
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::CopyMade);
  EXPECT_TRUE(run.wizardCalls.empty());
  const std::string copy = TempDir() + "~zinstall.exe";
  EXPECT_EQ(run.launcher.RunFile(), copy);
  // The folder in quotes, its backslash directly before the closing quote.
  EXPECT_EQ(run.launcher.RunParams(), "\"C:\\Games\\Story\\\"");
  EXPECT_EQ(Get(p(), copy), "program bytes");
  ASSERT_EQ(Started().size(), 1u);
  EXPECT_EQ(Started()[0].verb, "open");
  EXPECT_EQ(Started()[0].file, copy);
  EXPECT_EQ(Started()[0].parameters, "\"C:\\Games\\Story\\\"");
  EXPECT_EQ(Started()[0].directory, "");
  EXPECT_EQ(Started()[0].show, 5);
  EXPECT_GT(run.launcher.StartResult(), 32);
  EXPECT_TRUE(machine->PendingDeletes().empty());
  EXPECT_FALSE(MutexExists(p(), kTitle)) << "the title's mutex is released before the copy starts";
  EXPECT_EQ(RegValue("CDDrive"), "<none>") << "only the start menu writes CDDrive";
  EXPECT_TRUE(run.user.Log().empty()) << "no window is shown";
}

TEST_F(LaunchModes, TemporaryCopyOfTheUninstallerRemovesItselfAndRunsTheUninstallWizard) {
  TZarnInstallSet s = Settings();
  s.Installed = true;
  p().CreateDirectory("C:\\Games");
  p().CreateDirectory("C:\\Games\\Story");
  PutSettings("C:\\Games\\Story\\install.dat", s);
  const std::string copy = TempDir() + "~zinstall.exe";
  Put(p(), copy, "program bytes");
  Boot(copy);

  // The parameter as the copy's command line delivers it.
  LaunchRun run(p(), Params("~zinstall.exe \"C:\\Games\\Story\\\""));
  EXPECT_EQ(run.Go(), 0);
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::WizardRun);
  ASSERT_EQ(run.wizardCalls.size(), 1u);
  const WizardCall& w = run.wizardCalls[0];
  EXPECT_TRUE(w.installed);
  EXPECT_FALSE(w.hasArchive) << "no archive in uninstall mode";
  EXPECT_EQ(w.parameter, "C:\\Games\\Story\\");
  EXPECT_EQ(w.splashName, "FormMain");
  EXPECT_EQ(w.splashCaption, "物語の削除");
  EXPECT_TRUE(w.splashShowing);
  EXPECT_TRUE(w.titleMutexHeld);
  EXPECT_EQ(machine->PendingDeletes(), std::vector<std::string>{copy});
  EXPECT_TRUE(Started().empty());
  EXPECT_EQ(run.launcher.RunFile(), "");
  EXPECT_FALSE(MutexExists(p(), kTitle));
}

TEST_F(LaunchModes, OnlyTemporaryCopiesScheduleTheirOwnDeletion) {
  // An uninstaller started with a parameter from its own folder runs the wizard but
  // must not remove the program file the shortcut points to.
  TZarnInstallSet s = Settings();
  s.Installed = true;
  p().CreateDirectory("C:\\Games");
  PutSettings("C:\\Games\\install.dat", s);
  Put(p(), "C:\\Games\\install.exe", "program");
  Boot("C:\\Games\\install.exe");
  LaunchRun run(p(), {"C:\\Games\\"});
  run.Go();
  EXPECT_EQ(run.wizardCalls.size(), 1u);
  EXPECT_TRUE(machine->PendingDeletes().empty());
}

// ---- install mode with a parameter

TEST_F(LaunchModes, CopyWithTheMediumAsParameterRunsTheInstallWizardAndRemovesItself) {
  TZarnInstallSet s = Settings();
  PutSettings("D:\\install.dat", s);
  Put(p(), "D:\\game.dat", Archive({{"script.txt", "text"}, {"bg.brm", "picture"}}));
  const std::string copy = TempDir() + "~zinstall.exe";
  Put(p(), copy, "program");
  Boot(copy);

  LaunchRun run(p(), {"D:\\"});
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::WizardRun);
  EXPECT_EQ(run.launcher.SourceDir(), "D:\\");
  ASSERT_EQ(run.wizardCalls.size(), 1u);
  EXPECT_FALSE(run.wizardCalls[0].installed);
  EXPECT_TRUE(run.wizardCalls[0].hasArchive);
  EXPECT_EQ(run.wizardCalls[0].members, 2) << "the medium's game.dat is opened";
  EXPECT_EQ(run.wizardCalls[0].splashCaption, "物語のセットアップ");
  EXPECT_EQ(machine->PendingDeletes(), std::vector<std::string>{copy});
  EXPECT_TRUE(Started().empty());
  EXPECT_EQ(RegValue("CDDrive"), "<none>");
}

TEST_F(LaunchModes, FilesInArchiveKeepsTheProgramFile) {
  TZarnInstallSet s = Settings();
  s.FilesInArchive = true;
  PutSettings("D:\\install.dat", s);
  const std::string copy = TempDir() + "~zinstall.exe";
  Put(p(), copy, "program");
  Boot(copy);
  LaunchRun run(p(), {"D:\\"});
  run.Go();
  ASSERT_EQ(run.wizardCalls.size(), 1u);
  EXPECT_EQ(run.wizardCalls[0].members, 0) << "no game.dat on the medium: an empty archive";
  EXPECT_TRUE(machine->PendingDeletes().empty());
}

TEST_F(LaunchModes, AFolderParameterIsNeverOpenedAsAnArchive) {
  TZarnInstallSet s = Settings();
  p().CreateDirectory("D:\\disc1");
  PutSettings("D:\\disc1\\install.dat", s);
  Put(p(), "D:\\disc1\\game.dat", Archive({{"a.txt", "a"}}));
  LaunchRun run(p(), {"D:\\disc1"});
  run.Go();
  EXPECT_EQ(run.launcher.SourceDir(), "D:\\disc1");
  ASSERT_EQ(run.wizardCalls.size(), 1u) << "a parameter skips the start menu";
  EXPECT_EQ(run.wizardCalls[0].members, 1);
  EXPECT_TRUE(machine->PendingDeletes().empty()) << "the medium's own program is not a temporary copy";
}

TEST_F(LaunchModes, AFileParameterIsTheArchiveAndCarriesTheSettings) {
  TZarnInstallSet s = Settings();
  s.Title = "別の物語";
  Put(p(), "C:\\update.arc", Archive({{"install.dat", SettingsBytes(s)}, {"new.txt", "n"}}));
  LaunchRun run(p(), {"C:\\update.arc"});
  run.Go();
  EXPECT_EQ(run.launcher.SourceDir(), "C:\\update.arc");
  ASSERT_EQ(run.wizardCalls.size(), 1u);
  EXPECT_EQ(run.wizardCalls[0].members, 2);
  EXPECT_EQ(run.wizardCalls[0].splashCaption, "別の物語のセットアップ");
  EXPECT_FALSE(p().FileExists("D:\\install.dat"));
}

// ---- install mode without a parameter: update and system-folder packages

TEST_F(LaunchModes, UpdateAndSystemPackagesRunTheWizardAtOnce) {
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    TZarnInstallSet s = Settings();
    s.UpdateMode = kind < 2;
    s.InstallKind = kind < 2 ? ikNormal : ikSystem;
    s.FilesInArchive = kind % 2 == 1;
    PutSettings("D:\\install.dat", s);
    LaunchRun run(p(), {});
    run.Go();
    EXPECT_EQ(run.launcher.End(), TLaunchEnd::WizardRun);
    ASSERT_EQ(run.wizardCalls.size(), 1u);
    EXPECT_TRUE(run.user.Log().empty()) << "no start menu";
    EXPECT_EQ(RegValue("CDDrive"), "<none>");
    // Started directly from the medium or a download folder: the package stays whole.
    EXPECT_TRUE(machine->PendingDeletes().empty());
  }
}

TEST_F(LaunchModes, AnUpdateWithItsFilesBesideAPlainProgramReadsGameDat) {
  TZarnInstallSet s = Settings();
  s.UpdateMode = true;
  PutSettings("D:\\install.dat", s);
  Put(p(), "D:\\game.dat", Archive({{"patch1.txt", "1"}, {"patch2.txt", "2"}, {"zarn.zpb", "p"}}));
  LaunchRun run(p(), {});
  EXPECT_EQ(run.Go(), 0);
  ASSERT_EQ(run.wizardCalls.size(), 1u);
  EXPECT_EQ(run.wizardCalls[0].members, 3);
}

TEST_F(LaunchModes, UpdateModeOpensTheArchiveAppendedToItsProgram) {
  // Settings beside the program, archive inside it: the appended archive is found by its
  // trailer, so the settings come from the archive too.
  TZarnInstallSet s = Settings();
  s.UpdateMode = true;
  PutProgramWithArchive("D:\\setup.exe", Archive({{"install.dat", SettingsBytes(s)}, {"patch.txt", "p"}}));
  LaunchRun run(p(), {});
  run.Go();
  EXPECT_TRUE(run.launcher.AppendedArchive());
  EXPECT_FALSE(run.launcher.ResourceArchive());
  ASSERT_EQ(run.wizardCalls.size(), 1u);
  EXPECT_EQ(run.wizardCalls[0].members, 2);
  EXPECT_EQ(run.launcher.SourceDir(), "") << "the data is inside the program";
}

// ---- the start menu

TEST_F(LaunchModes, StartMenuFromADriveRootWritesTheDriveAndHandsOverToACopy) {
  TZarnInstallSet s = Settings();
  PutSettings("D:\\install.dat", s);
  Put(p(), "D:\\setup.exe", "the setup program");
  LaunchRun run(p(), {});
  run.user.Click("btnInstall").OnForm("FormStart");
  run.Go();
  EXPECT_EQ(RegValue("CDDrive"), "D:");
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::CopyMade);
  const std::string copy = TempDir() + "~zinstall.exe";
  EXPECT_EQ(run.launcher.RunFile(), copy);
  EXPECT_EQ(run.launcher.RunParams(), "\"D:\\\"");
  EXPECT_EQ(Get(p(), copy), "the setup program");
  ASSERT_EQ(Started().size(), 1u);
  EXPECT_EQ(Started()[0].parameters, "\"D:\\\"");
  EXPECT_TRUE(run.wizardCalls.empty());
  EXPECT_TRUE(machine->PendingDeletes().empty());
  EXPECT_FALSE(MutexExists(p(), kTitle));
  EXPECT_TRUE(run.user.Finished()) << run.user.Pending();
}

TEST_F(LaunchModes, StartMenuInADeeperFolderWritesAnEmptyDrive) {
  TZarnInstallSet s = Settings();
  p().CreateDirectory("D:\\setup");
  PutSettings("D:\\setup\\install.dat", s);
  Put(p(), "D:\\setup\\setup.exe", "x");
  ProductKeyWriteString(p(), kKey, "CDDrive", "E:");
  Boot("D:\\setup\\setup.exe");
  LaunchRun run(p(), {});
  run.user.Click("btnExit");
  run.Go();
  EXPECT_EQ(RegValue("CDDrive"), "");
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::MenuClosed);
  EXPECT_TRUE(Started().empty());
}

TEST_F(LaunchModes, StartMenuClosedOrLeftStartsNothing) {
  PutSettings("D:\\install.dat", Settings());
  for (bool close : {false, true}) {
    LaunchRun run(p(), {});
    if (close)
      run.user.CloseWindow();
    else
      run.user.Click("btnExit");
    run.Go();
    EXPECT_EQ(run.launcher.End(), TLaunchEnd::MenuClosed);
    EXPECT_EQ(run.launcher.RunFile(), "");
    EXPECT_TRUE(run.wizardCalls.empty());
  }
  EXPECT_TRUE(Started().empty());
  EXPECT_FALSE(p().FileExists(TempDir() + "~zinstall.exe"));
}

TEST_F(LaunchModes, StartMenuGameStartRunsTheInstalledGameLast) {
  PutSettings("D:\\install.dat", Settings());
  p().CreateDirectory("C:\\Games");
  Put(p(), "C:\\Games\\story.exe", "game");
  ProductKeyWriteString(p(), kKey, "InstallPath", "C:\\Games");
  LaunchRun run(p(), {});
  run.user.Click("btnStart");
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::StartChosen);
  EXPECT_EQ(run.launcher.RunFile(), "C:\\Games\\story.exe");
  EXPECT_EQ(run.launcher.RunParams(), "");
  ASSERT_EQ(Started().size(), 1u);
  EXPECT_EQ(Started()[0].file, "C:\\Games\\story.exe");
  EXPECT_EQ(Started()[0].parameters, "");
}

TEST_F(LaunchModes, StartMenuInstallWithFilesInArchiveRunsTheWizardHere) {
  TZarnInstallSet s = Settings();
  s.FilesInArchive = true;
  PutSettings("D:\\install.dat", s);
  Put(p(), "D:\\game.dat", Archive({{"a.txt", "a"}}));
  LaunchRun run(p(), {});
  run.user.Click("btnInstall");
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::WizardRun);
  ASSERT_EQ(run.wizardCalls.size(), 1u);
  EXPECT_EQ(run.wizardCalls[0].members, 1);
  EXPECT_EQ(run.wizardCalls[0].parameter, "");
  EXPECT_TRUE(Started().empty());
  EXPECT_EQ(RegValue("CDDrive"), "D:");
  EXPECT_TRUE(machine->PendingDeletes().empty());
}

TEST_F(LaunchModes, TheCopyThatWasStartedRunsTheWizardAsTheNextProcess) {
  TZarnInstallSet s = Settings();
  PutSettings("D:\\install.dat", s);
  Put(p(), "D:\\game.dat", Archive({{"a.txt", "a"}, {"b.txt", "b"}}));
  Put(p(), "D:\\setup.exe", "program");
  std::string file, params;
  {
    LaunchRun first(p(), {});
    first.user.Click("btnInstall");
    first.Go();
    file = first.launcher.RunFile();
    params = first.launcher.RunParams();
  }
  Boot(file);
  LaunchRun second(p(), Params(QuoteParameter(file) + " " + params));
  second.Go();
  ASSERT_EQ(second.wizardCalls.size(), 1u);
  EXPECT_EQ(second.wizardCalls[0].parameter, "D:\\");
  EXPECT_EQ(second.wizardCalls[0].members, 2);
  EXPECT_TRUE(second.wizardCalls[0].titleMutexHeld);
  EXPECT_EQ(machine->PendingDeletes(), std::vector<std::string>{file});
}

// ---- the temporary copy's attempts

TEST_F(LaunchModes, ACopyHeldByARunningProgramMovesToTheNextName) {
  PutSettings("D:\\install.dat", Settings());
  Put(p(), "D:\\setup.exe", "new program");
  Put(p(), TempDir() + "~zinstall.exe", "running copy");
  ASSERT_TRUE(machine->HoldAsRunning(TempDir() + "~zinstall.exe"));
  // A read-only leftover of an earlier run is overwritten.
  Put(p(), TempDir() + "~zinstall0.exe", "old copy");
  p().SetFileAttributes(TempDir() + "~zinstall0.exe", faReadOnly);
  LaunchRun run(p(), {});
  run.user.Click("btnInstall");
  run.Go();
  EXPECT_EQ(run.launcher.RunFile(), TempDir() + "~zinstall0.exe");
  EXPECT_EQ(Get(p(), TempDir() + "~zinstall0.exe"), "new program");
  EXPECT_EQ(Get(p(), TempDir() + "~zinstall.exe"), "running copy");
  machine->ReleaseRunning(TempDir() + "~zinstall.exe");
}

TEST_F(LaunchModes, WhenEveryCopyFailsNothingIsStarted) {
  PutSettings("D:\\install.dat", Settings());
  Put(p(), "D:\\setup.exe", "program");
  std::vector<std::string> names{TempDir() + "~zinstall.exe"};
  for (int n = 0; n <= 98; ++n) names.push_back(TempDir() + "~zinstall" + std::to_string(n) + ".exe");
  for (const std::string& name : names) {
    Put(p(), name, "busy");
    ASSERT_TRUE(machine->HoldAsRunning(name));
  }
  // The hundred-and-first name is free but never tried.
  LaunchRun run(p(), {});
  run.user.Click("btnInstall");
  run.user.Answer(mrOk).Expect(mtWarning, "ファイルをコピーできません");
  run.Go();
  EXPECT_EQ(run.launcher.End(), TLaunchEnd::CopyFailed);
  EXPECT_EQ(run.launcher.RunFile(), "");
  EXPECT_TRUE(Started().empty());
  EXPECT_FALSE(p().FileExists(TempDir() + "~zinstall99.exe"));
  EXPECT_FALSE(MutexExists(p(), kTitle));
  EXPECT_TRUE(run.user.Finished()) << run.user.Pending();
  for (const std::string& name : names) machine->ReleaseRunning(name);
}

TEST_F(LaunchModes, AStartTheShellRefusesIsReportedWithItsCode) {
  PutSettings("D:\\install.dat", Settings());
  p().CreateDirectory("C:\\Games");
  Put(p(), "C:\\Games\\story.exe", "game");
  ProductKeyWriteString(p(), kKey, "InstallPath", "C:\\Games\\");
  LaunchRun run(p(), {});
  // The game disappears while the menu is open.
  run.user.Do("remove the game", [&](TForm&) { p().DeleteFile("C:\\Games\\story.exe"); });
  run.user.Click("btnStart");
  run.user.Answer(mrOk).Expect(mtWarning, "プログラムを実行できませんでした\r\nエラーコード[2]");
  run.Go();
  EXPECT_EQ(run.launcher.StartResult(), 2);
  EXPECT_TRUE(run.user.Finished()) << run.user.Pending();
}

}  // namespace
}  // namespace testing
}  // namespace zarn
