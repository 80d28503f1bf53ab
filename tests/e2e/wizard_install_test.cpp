// Whole installs through the wizard: from its creation to the closed window, checking
// what the pages pass to the install job (read back from what it installed), the abort
// button and the error report on the copy page, and the modal result the window closes
// with. What the job does with its input is tested on the job itself.
#include "wizard/job_support.h"


namespace zarn {
namespace testing {
namespace {

using WizardInstall = WizardFixture;

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

  // What the pages chose reached the job: this disc's files, the data file, no sound.
  EXPECT_EQ(Get(dest + "game.exe"), "MZ game");
  EXPECT_EQ(Get(dest + "readme.txt"), "お読みください");
  EXPECT_FALSE(Exists(dest + "bgm\\title.ogg"));
  EXPECT_EQ(Extract(dest + "game.dat", "data\\scenario.txt"), "シナリオ");
  TZarnInstallSet installed = InstalledRecord();
  EXPECT_TRUE(installed.DataInstalled);
  EXPECT_EQ(installed.DiscIndex, 0);
  EXPECT_EQ(RegValue("InstallPath"), dest);
  EXPECT_TRUE(Exists(ProgramsFolder() + title + ".lnk"));
  EXPECT_EQ(pauses, (std::vector<uint32_t>{2000, 1000}));  // the run's waits
}

// Each box of the file page reaches the job as its own component, and the bytes they
// need as the length of the progress bar.
TEST_F(WizardInstall, TheChosenComponentsReachTheJob) {
  settings.DiscFiles.Add("sound\\bgm01.wav");
  settings.DiscFiles.Add("movie\\op.mpg");
  WriteMedium(medium, settings, GameMembers(),
              {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"sound\\bgm01.wav", "RIFF"}, {"movie\\op.mpg", "mpg"}});
  user.Check("CheckSound");
  user.Click("btnNext");
  ChooseDestAndInstall();
  user.Do("the progress bar's length", [](TForm& f) {
    auto& w = static_cast<TFormType&>(f);
    EXPECT_EQ(w.NeededBytes, 1500);
    EXPECT_EQ(w.Progress.Max(), 150);
  }).DuringWork(2);  // at the first file
  ScriptClose();
  EXPECT_EQ(RunInstall(), mrOk);
  EXPECT_EQ(Get(dest + "sound\\bgm01.wav"), "RIFF");
  EXPECT_FALSE(Exists(dest + "movie\\op.mpg"));
  EXPECT_FALSE(Exists(dest + "game.dat"));
  EXPECT_FALSE(InstalledRecord().DataInstalled);
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
  EXPECT_FALSE(Exists(dest + "b.txt"));
  EXPECT_FALSE(Exists(dest + "install.dat"));
}

// An installation that is nothing but a setup program with the game in its appended
// archive: the folder page takes it as the title's, and the job updates it.
class WizardBundleUpdate : public BundleFixture {
 protected:
  void ScriptUpToTheJob() {
    user.Type("EditDir", WithoutBackslash(dest));
    user.Click("btnNext");  // seldir: the bundle holds our title
    user.Click("btnNext");  // confirm
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
  EXPECT_FALSE(Exists(dest + "install.dat"));
  EXPECT_TRUE(WorkFolders().empty());
  EXPECT_TRUE(pauses.empty());
}

}  // namespace
}  // namespace testing
}  // namespace zarn
