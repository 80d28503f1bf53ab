// The jobs on what only the emulated machine can arrange: a disk that fills up, the
// Windows folder as the destination, uninstalls started from folders that are not a
// game's, and a link out of the installed folder.
#include <unistd.h>

#include "platform/posix/emulated_machine.h"
#include "wizard/job_support.h"

namespace zarn {
namespace testing {
namespace {

class JobOnMachine : public JobFixture {
 protected:
  MachineFaults& Faults() { return dynamic_cast<EmulatedMachine&>(machine.platform()).Faults(); }
};

// A full disk ends the job with an error naming the file; no part of it is left, and
// nothing is recorded.
TEST_F(JobOnMachine, AFullDiskEndsTheJobNamingTheFile) {
  std::string content;
  for (int i = 0; i < 5000; ++i) content += static_cast<char>(i * 7919 % 251);  // hardly compressible
  struct Case {
    const char* name;
    bool separate;  // a separate file of the archive, else a plain file
    std::string file, error;
  } cases[] = {
      {"copying a plain file", false, "big.bin", "big.bin\r\nファイルがコピーできません"},
      {"writing a separate file", true, "movie\\op.avi", "op.avi\r\nファイルが作成できません"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    medium = machine.Scratch() + Format("medium%d\\", n);
    dest = machine.Scratch() + Format("games%d\\物語\\", n++);
    settings = BaseSettings();
    settings.FilesInArchive = c.separate;
    settings.DiscFiles.Clear();
    if (c.separate) {
      WriteMedium(medium, settings, {{c.file, content, kOldDate, true}}, {});
    } else {
      settings.DiscFiles.Add(c.file);
      WriteMedium(medium, settings, {}, {{c.file, content}});
    }
    NextRun();
    Faults().diskFreeBytes = 1000;
    EXPECT_FALSE(Install());
    Faults().diskFreeBytes = -1;
    EXPECT_NE(error.find(c.error), std::string::npos) << p.SjisToUtf8(error);
    EXPECT_FALSE(Exists(dest + c.file));
    EXPECT_FALSE(Exists(dest + "install.dat"));
    EXPECT_EQ(RegValue("InstallPath"), "<none>");
  }
}

// The rebuilt program goes in beside the old one and is swapped in: a disk that fills
// while it is copied leaves the old program whole and no copy behind.
class BundleOnMachine : public BundleFixture {};

TEST_F(BundleOnMachine, AFullDiskWhileTheNewProgramGoesInKeepsTheOldOne) {
  MachineFaults& faults = dynamic_cast<EmulatedMachine&>(machine.platform()).Faults();
  std::vector<MemberSpec> members;  // enough for the verification to report progress
  for (int i = 0; i < 12; ++i) members.push_back({Format("data\\n%d.txt", i), "new", kNewDate});
  WriteUpdate(members);
  const std::string before = Get(bundle);
  view.onMessages = [&](int) {
    if (!view.headings.empty() && view.headings.back() == "データファイルをチェックしています") faults.diskFreeBytes = 100;
  };
  TInstallInput in = Input();
  in.source = update;
  EXPECT_FALSE(Install(in));
  faults.diskFreeBytes = -1;
  EXPECT_NE(error.find(" --> " + bundle + "コピーできません"), std::string::npos) << p.SjisToUtf8(error);
  EXPECT_EQ(Get(bundle), before);
  EXPECT_FALSE(Exists(bundle + ".tmp"));
  EXPECT_TRUE(WorkFolders().empty());
}

TEST_F(JobOnMachine, ASystemFolderInstallRewritesItsFilesAndRecordsNothing) {
  settings.InstallKind = ikSystem;
  settings.FilesInArchive = true;
  std::string windows = AddBackslash(p.WindowsDirectory());
  WriteMedium(medium, settings, {{"zarnrt.dll", "runtime 2", kOldDate, true}}, {});
  Put(windows + "zarnrt.dll", "runtime 3", kNewDate);  // newer, and still replaced
  TInstallInput in = Input();
  in.dest = windows;
  ASSERT_TRUE(Install(in)) << error;
  EXPECT_TRUE(view.finished);
  EXPECT_EQ(Get(windows + "zarnrt.dll"), "runtime 2");
  EXPECT_EQ(p.FileAge(windows + "zarnrt.dll"), kOldDate);
  EXPECT_FALSE(Exists(windows + "install.dat"));
  EXPECT_EQ(RegValue("InstallPath"), "<none>");
  EXPECT_FALSE(p.DirectoryExists(ProgramsFolder()));
  EXPECT_TRUE(view.pauses.empty());
}

TEST_F(JobOnMachine, NoUninstallFromADriveRootOrTheWindowsFolder) {
  for (std::string folder : {std::string("C:\\"), AddBackslash(p.WindowsDirectory()),
                             AddBackslash(p.SystemDirectory()), std::string("C:\\Program Files\\")}) {
    SCOPED_TRACE(folder);
    TZarnInstallSet installed = BaseSettings();
    installed.Installed = true;
    installed.InstalledFiles.Add("install.dat");
    installed.SaveToFile(p, folder + "install.dat");
    Put(folder + "empty-folder-check\\.keep", "");
    p.DeleteFile(folder + "empty-folder-check\\.keep");  // an empty folder a walk would remove
    installed.WriteRegString(p, "InstallPath", folder);
    NextRun();
    EXPECT_FALSE(Uninstall(false, folder));
    EXPECT_NE(error.find("このフォルダからはアンインストールできません"), std::string::npos) << p.SjisToUtf8(error);
    EXPECT_TRUE(Exists(folder + "install.dat"));
    EXPECT_TRUE(p.DirectoryExists(folder + "empty-folder-check"));
    EXPECT_EQ(settings.ReadRegString(p, "InstallPath", ""), folder);
    p.DeleteFile(folder + "install.dat");
    p.RemoveDirectory(folder + "empty-folder-check");
  }
}

TEST_F(JobOnMachine, TheUninstallerFollowsNoLinkOutOfTheFolder) {
  MakeFolders(dest);
  MakeFolders(machine.Scratch() + "elsewhere\\");
  Put(machine.Scratch() + "elsewhere\\precious.txt", "keep");
  auto& machineRef = dynamic_cast<EmulatedMachine&>(machine.platform());
  ASSERT_EQ(symlink(machineRef.HostPath(machine.Scratch() + "elsewhere").c_str(),
                    (machineRef.HostPath(WithoutBackslash(dest)) + "/link").c_str()),
            0);
  settings.Installed = true;
  settings.InstalledFiles.Add("link\\precious.txt");
  settings.InstalledFiles.Add("install.dat");
  settings.SaveToFile(p, dest + "install.dat");
  ASSERT_TRUE(Uninstall(false)) << error;
  EXPECT_TRUE(view.finished);
  EXPECT_EQ(Get(machine.Scratch() + "elsewhere\\precious.txt"), "keep");
}

}  // namespace
}  // namespace testing
}  // namespace zarn
