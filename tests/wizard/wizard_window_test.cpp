// The wizard's pages, buttons and checks, each run from creation to the closed window.
#include "wizard/wizard_support.h"

namespace zarn {
namespace testing {
namespace {

using WizardPages = WizardFixture;

TFormType& W(TForm& f) { return static_cast<TFormType&>(f); }

TEST_F(WizardPages, WithoutTextsOneDiscOpensOnTheFilePage) {
  WriteMedium(medium, settings, {}, {});
  user.Do("first page", [](TForm& f) {
    EXPECT_EQ(W(f).CurrentPage(), TFormType::pgFile);
    EXPECT_EQ(W(f).FirstOpenPage(), TFormType::pgFile);
    EXPECT_FALSE(W(f).btnBack.Enabled());
    EXPECT_TRUE(W(f).btnNext.Enabled());
    EXPECT_TRUE(W(f).LabelBack.Visible());
    EXPECT_TRUE(W(f).LabelBack2.Visible());
    EXPECT_FALSE(W(f).PageEnabled[TFormType::pgMedia]);
  });
  // Abort on a question page asks; No keeps the window, Yes closes it with Cancel.
  user.Click("btnAbort");
  user.Answer(mrNo).Expect(mtConfirmation, "インストールを中断しますか？");
  user.Do("still open", [](TForm& f) { EXPECT_EQ(W(f).CurrentPage(), TFormType::pgFile); });
  user.CloseWindow();
  user.Answer(mrYes).Expect(mtConfirmation, "インストールを中断しますか？");
  EXPECT_EQ(RunInstall(), mrCancel);
  EXPECT_FALSE(p.DirectoryExists(dest));
}

TEST_F(WizardPages, BackVisitsOnlyEnabledPages) {
  settings.LicenseText = "許諾";
  WriteMedium(medium, settings, {}, {});
  user.Check("CheckLicense");
  user.Click("btnNext");
  user.Do("file", [](TForm& f) { EXPECT_EQ(W(f).CurrentPage(), TFormType::pgFile); });
  user.Click("btnNext");
  user.Click("btnBack");
  user.Click("btnBack");  // the media page is skipped
  user.Do("back on the licence page", [](TForm& f) {
    EXPECT_EQ(W(f).CurrentPage(), TFormType::pgLicense);
    EXPECT_EQ(W(f).Caption(), "ライセンス契約");
    EXPECT_TRUE(W(f).btnNext.Enabled());  // still ticked
    EXPECT_FALSE(W(f).btnBack.Enabled());
    EXPECT_EQ(W(f).btnNext.Caption(), "次へ(&N) >");
  });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
}

TEST_F(WizardPages, FullKindOpensOnTheFolderPageWithBothSizes) {
  settings.InstallKind = ikFull;
  WriteMedium(medium, settings, {}, {});
  user.Do("seldir", [](TForm& f) {
    TFormType& w = W(f);
    EXPECT_EQ(w.CurrentPage(), TFormType::pgSelDir);
    EXPECT_EQ(w.Caption(), "インストール先の選択");
    EXPECT_TRUE(w.CheckData.Checked() && w.CheckSound.Checked() && w.CheckMovie.Checked());
    EXPECT_EQ(w.NeededBytes, 5200);
    EXPECT_EQ(w.LabelSzNeed.Caption(), "インストールには最低 0.00 MBのディスクの空き容量が必要です");
    EXPECT_EQ(w.LabelSzDrv.Caption().compare(0, 17, "このドライブには "), 0);
    EXPECT_NE(w.LabelSzDrv.Caption().find(" MBの空きがあります"), std::string::npos);
    EXPECT_FALSE(w.btnBack.Enabled());
  });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
}

TEST_F(WizardPages, SizesFollowTheComponentsAndTheDiscChoice) {
  settings.SetDiscCount(2);
  settings.DiscProgramSizes = {1048576, 0};
  settings.DiscDataSizes = {3 * 1048576, 5 * 1048576};
  settings.DiscSoundSizes = {0, 1572864};
  settings.DiscMovieSizes = {0, 0};
  settings.ProgramSize = 1048576;
  settings.DataSize = 8 * 1048576;
  settings.SoundSize = 1572864;
  settings.MovieSize = 0;
  WriteMedium(medium, settings, {}, {});
  user.Do("media page, all discs", [](TForm& f) { EXPECT_TRUE(W(f).RadioDiskAll.Checked()); });
  user.Click("btnNext");
  user.Do("all discs", [](TForm& f) {
    TFormType& w = W(f);
    EXPECT_TRUE(w.CheckSound.Visible());
    EXPECT_FALSE(w.CheckMovie.Visible());
    EXPECT_EQ(w.LabelSize.Caption(), "最低 1.00 MBのディスクの空き容量が必要です");
  });
  user.Check("CheckData");
  user.Check("CheckSound");
  user.Do("with data and sound", [](TForm& f) {
    EXPECT_EQ(W(f).LabelSize.Caption(), "最低 10.50 MBのディスクの空き容量が必要です");
  });
  user.Click("btnBack");
  user.Check("RadioDiskThis");
  user.Click("btnNext");
  user.Do("this disc only", [](TForm& f) {
    TFormType& w = W(f);
    EXPECT_FALSE(w.CheckSound.Visible());  // the first disc has no sound
    EXPECT_EQ(w.NeededBytes, 4 * 1048576 + 0);  // program + data of disc 1 (sound: none on it)
    EXPECT_EQ(w.LabelSize.Caption(), "最低 4.00 MBのディスクの空き容量が必要です");
  });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
}

TEST_F(WizardPages, ARegisteredFolderIsProposedAsItIs) {
  std::string installed = machine.Scratch() + "既存";
  MakeFolders(installed + "\\");
  settings.WriteRegString(p, "InstallPath", installed + "\\");
  WriteMedium(medium, settings, {}, {});
  std::string other = WithoutBackslash(machine.Scratch());
  user.Click("btnNext");
  user.Do("proposal", [installed](TForm& f) {
    EXPECT_EQ(W(f).EditDir.Text(), installed);
    EXPECT_EQ(W(f).SubFolderName, "");
    EXPECT_TRUE(SameText(W(f).Directory.Directory(), installed));
  });
  user.ChooseFolder("Directory", other);
  user.Do("no product folder appended", [other](TForm& f) { EXPECT_TRUE(SameText(W(f).EditDir.Text(), other)); });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
}

TEST_F(WizardPages, TheDefaultFolderLiesOnTheWindowsDrive) {
  settings.DefaultDir = "\\" + machine.ScratchKey() + "\\物語\\";
  WriteMedium(medium, settings, {}, {});
  std::string drive = ExtractFileDrive(p.WindowsDirectory());
  std::string expected = drive + "\\" + machine.ScratchKey() + "\\物語";
  std::string chosen = WithoutBackslash(machine.Scratch());
  user.Click("btnNext");
  user.Do("proposal", [&](TForm& f) {
    EXPECT_EQ(W(f).EditDir.Text(), expected);
    EXPECT_EQ(W(f).SubFolderName, machine.ScratchKey() + "\\物語");
    EXPECT_TRUE(SameText(W(f).Directory.Directory(), drive + "\\"));  // the nearest folder that exists
  });
  user.ChooseFolder("Directory", chosen);
  user.Do("product folder appended", [&](TForm& f) {
    EXPECT_TRUE(SameText(W(f).EditDir.Text(), chosen + "\\" + machine.ScratchKey() + "\\物語"));
    EXPECT_TRUE(SameText(W(f).DestDir(), chosen + "\\" + machine.ScratchKey() + "\\物語\\"));
  });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
}

TEST_F(WizardPages, TheProgramFilesMarkerWithTwoMissingLevels) {
  std::string programFiles = SpecialFolderPath(p, csidlProgramFiles);
  ASSERT_FALSE(programFiles.empty());
  settings.DefaultDir = "<ProgramFiles>\\Maker" + machine.ScratchKey() + "\\物語\\";
  WriteMedium(medium, settings, {}, {});
  user.Click("btnNext");
  user.Do("proposal", [&](TForm& f) {
    EXPECT_EQ(W(f).EditDir.Text(), WithoutBackslash(AddBackslash(programFiles)) + "\\Maker" + machine.ScratchKey() +
                                       "\\物語");
    EXPECT_TRUE(SameText(W(f).Directory.Directory(), WithoutBackslash(AddBackslash(programFiles))));
  });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
}

TEST_F(WizardPages, ABareDriveRootIsRefusedAndFourCharactersAreTaken) {
  WriteMedium(medium, settings, {}, {});
  user.Click("btnNext");
  user.Type("EditDir", "C:\\");
  user.Click("btnNext");
  user.Answer(mrOk).Expect(mtWarning, "正しいインストール先を指定してください");
  user.Do("stays", [](TForm& f) { EXPECT_EQ(W(f).CurrentPage(), TFormType::pgSelDir); });
  user.Type("EditDir", "C:");
  user.Click("btnNext");
  user.Answer(mrOk).Expect(mtWarning, "正しいインストール先を指定してください");
  user.Type("EditDir", "C:\\x");
  user.Click("btnNext");
  user.Do("confirm", [](TForm& f) {
    EXPECT_EQ(W(f).CurrentPage(), TFormType::pgConfirm);
    EXPECT_EQ(W(f).DestDir(), "C:\\x\\");
  });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
  EXPECT_FALSE(p.DirectoryExists("C:\\x"));
}

TEST_F(WizardPages, AFolderThatIsNoFullPathIsRefusedOnTheFolderPage) {
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

TEST_F(WizardPages, TheSourceFolderComesFromTheParameterOrTheProgram) {
  WriteMedium(medium, settings, {}, {});
  settings.LoadFromFile(p, medium + "install.dat");
  // A folder parameter, with or without its backslash.
  EXPECT_EQ(MakeWizard(medium, false).SourceFolder(), medium);
  EXPECT_EQ(MakeWizard(WithoutBackslash(medium), false).SourceFolder(), medium);
  // An archive file given on the command line: the folder it lies in.
  Put(medium + "game.dat", "archive");
  EXPECT_EQ(MakeWizard(medium + "game.dat", false).SourceFolder(), medium);
  // None: the program's own folder.
  std::string program = p.ProgramFile();
  std::string folder = program.substr(0, program.size() - ExtractFileName(program).size());
  EXPECT_EQ(MakeWizard("", false).SourceFolder(), AddBackslash(folder));
}

TEST_F(WizardPages, AnUpdateNeedsAnInstallationOfTheSameTitle) {
  settings.UpdateMode = true;
  WriteMedium(medium, settings, {}, {});
  TZarnInstallSet other = BaseSettings();
  other.Title = "別のゲーム";
  MakeFolders(dest);
  other.SaveToFile(p, dest + "install.dat");
  user.Do("opens on the folder page", [](TForm& f) {
    EXPECT_EQ(W(f).CurrentPage(), TFormType::pgSelDir);
    EXPECT_FALSE(W(f).PageEnabled[TFormType::pgFile]);
  });
  user.Type("EditDir", WithoutBackslash(machine.Scratch()) + "\\nothing");
  user.Click("btnNext");
  user.Answer(mrOk).Expect(mtWarning, "正しいインストール先を指定してください");
  user.Type("EditDir", WithoutBackslash(dest));
  user.Click("btnNext");
  user.Answer(mrOk).Expect(mtWarning, "正しいインストール先を指定してください");
  user.Do("our title now", [&](TForm&) { settings.SaveToFile(p, dest + "install.dat"); });
  user.Click("btnNext");
  user.Do("confirm", [](TForm& f) { EXPECT_EQ(W(f).CurrentPage(), TFormType::pgConfirm); });
  user.Click("btnAbort");
  user.Answer(mrYes);
  EXPECT_EQ(RunInstall(), mrCancel);
}

TEST_F(WizardPages, TheUninstallerAsksBeforeItStarts) {
  MakeFolders(dest);
  settings.Installed = true;
  settings.SaveToFile(p, dest + "install.dat");
  user.Do("uninst page", [&](TForm& f) {
    TFormType& w = W(f);
    EXPECT_EQ(w.CurrentPage(), TFormType::pgUninst);
    EXPECT_EQ(w.Caption(), "アンインストール");
    EXPECT_EQ(w.LabelUninst.Caption(), title + " をコンピュータから削除します");
    EXPECT_EQ(w.btnNext.Caption(), "実行");
    EXPECT_FALSE(w.btnBack.Visible());
    EXPECT_FALSE(w.CheckDelSave.Visible());  // no save data anywhere
  });
  user.CloseWindow();
  user.Answer(mrNo).Expect(mtConfirmation, "アンインストールを中断しますか？");
  user.Click("btnAbort");
  user.Answer(mrYes).Expect(mtConfirmation, "アンインストールを中断しますか？");
  EXPECT_EQ(RunUninstall(), mrCancel);
  EXPECT_TRUE(Exists(dest + "install.dat"));
}

}  // namespace
}  // namespace testing
}  // namespace zarn
