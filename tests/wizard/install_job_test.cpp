// The install job's progress reports and the wizard's source folder.
#include "wizard/install_job.h"

#include "wizard/wizard_support.h"

namespace zarn {
namespace testing {
namespace {

using WizardJob = WizardFixture;

TEST_F(WizardJob, BuildProgressShowsEveryTenthItemAndLargeOnes) {
  WriteMedium(medium, settings, {}, {});
  settings.LoadFromFile(p, medium + "install.dat");
  TFormType& w = MakeWizard(medium, true);
  TInstallJob job(w);
  TVrFileCollection c(p);
  w.Progress.SetRange(0, 10000000);
  w.LabelCopy.SetCaption("...");
  bool cancel = false;

  job.OnBuildProgress(c, nullptr, 3145728, 0, 5, cancel);  // exactly 3 MiB: counted, not shown
  EXPECT_EQ(w.ProgressTotal, 3145728);
  EXPECT_EQ(w.LabelCopy.Caption(), "...");
  EXPECT_EQ(w.Progress.Position(), 0);

  job.OnBuildProgress(c, nullptr, 3145729, 1, 5, cancel);  // larger: shown
  EXPECT_EQ(w.LabelCopy.Caption(), "データファイルを構築中(2/5)...");
  EXPECT_EQ(w.Progress.Position(), (3145728 + 3145729) / 10);

  job.OnBuildProgress(c, nullptr, 7, 8, 30, cancel);
  EXPECT_EQ(w.LabelCopy.Caption(), "データファイルを構築中(2/5)...");
  job.OnBuildProgress(c, nullptr, 7, 9, 30, cancel);
  EXPECT_EQ(w.LabelCopy.Caption(), "データファイルを構築中(10/30)...");
  job.OnBuildProgress(c, nullptr, 7, 19, 30, cancel);
  EXPECT_EQ(w.LabelCopy.Caption(), "データファイルを構築中(20/30)...");
  EXPECT_FALSE(cancel);

  // A confirmed abort is seen at the next report that is shown, not before.
  w.SetModalResult(mrAbort);
  job.OnBuildProgress(c, nullptr, 7, 20, 30, cancel);
  EXPECT_FALSE(cancel);
  job.OnBuildProgress(c, nullptr, 7, 29, 30, cancel);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(w.ProgressTotal, 3145728 + 3145729 + 5 * 7);
}

TEST_F(WizardJob, VerifyProgressCountsItems) {
  WriteMedium(medium, settings, {}, {});
  settings.LoadFromFile(p, medium + "install.dat");
  TFormType& w = MakeWizard(medium, true);
  TInstallJob job(w);
  TVrFileCollection c(p);
  bool cancel = false;
  job.OnVerifyProgress(c, nullptr, 100, 19, 25, cancel);
  EXPECT_EQ(w.Progress.Max(), 24);
  EXPECT_EQ(w.Progress.Position(), 19);
  EXPECT_EQ(w.LabelCopy.Caption(), "データファイルを調べています(20/25)...");
  EXPECT_FALSE(cancel);
  w.SetModalResult(mrAbort);
  job.OnVerifyProgress(c, nullptr, 100, 24, 25, cancel);
  EXPECT_TRUE(cancel);
}

TEST_F(WizardJob, TheSourceFolderComesFromTheParameterOrTheProgram) {
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

}  // namespace
}  // namespace testing
}  // namespace zarn
