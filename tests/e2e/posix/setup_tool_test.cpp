// zarn-medium and zarn-setup end to end: the demo medium made in each of its forms,
// installed by the person zarn-setup plays on an emulated machine (the temporary copy
// followed as the next run), the game started from the start menu, and the uninstaller
// run from the folder the shortcut points to. Texts the tools print are UTF-8 (u8
// literals); paths on the machine are Shift-JIS (plain literals).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/archive_reader.h"
#include "support/program_image.h"
#include "platform/posix/emulated_machine.h"
#include "settings/install_settings.h"
#include "settings/paths.h"
#include "support/posix/tool_fixture.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

const char kDest[] = "C:\\Program Files\\Zarn\\物語デモ\\";
const char kKey[] = "ZarnDemo\\Story";
const char kGroup[] = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\物語デモ\\";

class SetupTool : public testing::ToolTest {
 protected:
  SetupTool() : ToolTest("zarn-setup") {}
  void SetUp() override {
    ToolTest::SetUp();
    ASSERT_TRUE(fs::exists(ToolPath("zarn-medium"))) << ToolPath("zarn-medium");
  }

  Result Medium(const std::string& args = "") { return Run("zarn-medium", "build -o " + Quote(Path("medium")) + " " + args); }
  // zarn-setup on the test's machine with the medium in D:.
  Result Setup(const std::string& args) {
    return Run("zarn-setup", "--root " + Quote(Path("machine")) + " --drive D=" + Quote(Path("medium")) + " " + args);
  }
  // The machine as it was left, for looking at.
  std::unique_ptr<EmulatedMachine> Machine() {
    MachineOptions o;
    o.root = Path("machine");
    o.drives.push_back({'D', Path("medium"), dtCDROM, ""});
    return std::make_unique<EmulatedMachine>(o);
  }
  static std::string Get(Platform& p, const std::string& path) {
    auto f = p.OpenFile(path, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
    if (!f) return "<missing>";
    std::string out;
    char buf[65536];
    int64_t n;
    while ((n = f->Read(buf, sizeof buf)) > 0) out.append(buf, size_t(n));
    return out;
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  // Installs the medium and checks what a finished installation leaves.
  void InstallAndCheck(const std::string& extra, bool expectCopy) {
    Result r = Setup(u8"--program 'D:\\setup.exe' --auto " + extra);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, u8"window FormStart \"物語デモ\"")) << r.out;
    EXPECT_EQ(Has(r.out, u8"run 2: C:\\WINDOWS\\TEMP\\~zinstall.exe \"D:\\\""), expectCopy) << r.out;
    EXPECT_TRUE(Has(r.out, u8"window FormMain \"物語デモのセットアップ\" 924x568")) << r.out;
    EXPECT_TRUE(Has(r.out, u8"page exit \"完了\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "finished\n")) << r.out;

    auto m = Machine();
    for (const char* name : {"story.exe", "install.exe", "readme.txt", "sound\\theme.wav", "movie\\opening.mpg"})
      EXPECT_TRUE(m->FileExists(std::string(kDest) + name)) << name;
    TZarnInstallSet installed;
    installed.LoadFromFile(*m, std::string(kDest) + "install.dat");
    EXPECT_TRUE(installed.Installed);
    EXPECT_GE(installed.IndexOfInstalledFile("game.dat"), 0);
    TVrFileCollection data(*m);
    data.Open(std::string(kDest) + "game.dat");
    EXPECT_GE(data.IndexOf("image\\back.brm"), 0);
    EXPECT_TRUE(data.Verify());
    EXPECT_EQ(ProductKeyReadString(*m, kKey, "InstallPath", ""), kDest);
    EXPECT_EQ(ProductKeyReadString(*m, kKey, "CDDrive", ""), "D:");
    EXPECT_TRUE(m->FileExists(std::string(kGroup) + "物語デモのアンインストール.lnk"));
  }

  void UninstallAndCheck() {
    Result r = Run("zarn-setup", "--root " + Quote(Path("machine")) +
                                     u8" --program 'C:\\Program Files\\Zarn\\物語デモ\\install.exe' --auto");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, u8"run 2: C:\\WINDOWS\\TEMP\\~zinstall.exe \"C:\\Program Files\\Zarn\\物語デモ\\\"")) << r.out;
    EXPECT_TRUE(Has(r.out, u8"window FormMain \"物語デモの削除\"")) << r.out;
    EXPECT_TRUE(Has(r.out, u8"page uninst")) << r.out;
    auto m = Machine();
    EXPECT_FALSE(m->DirectoryExists(kDest));
    EXPECT_FALSE(m->DirectoryExists(kGroup));
    EXPECT_EQ(ProductKeyReadString(*m, kKey, "InstallPath", "<none>"), "<none>");
    // The copies that ran the installer and the uninstaller go at the next start of Windows.
    EXPECT_EQ(m->PendingDeletes(),
              std::vector<std::string>(2, "C:\\WINDOWS\\TEMP\\~zinstall.exe"));
  }
};

TEST_F(SetupTool, TheDemoMediumInstallsAndUninstalls) {
  Result made = Medium();
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  InstallAndCheck("--screenshots " + Quote(Path("shots")), true);
  EXPECT_TRUE(fs::exists(Path("shots/01-FormStart.png")));
  EXPECT_TRUE(fs::exists(Path("shots/07-FormType-exit.png")));
  UninstallAndCheck();
}

// On a Windows 9x system the program group lives in the user's own Start menu, and the
// temporary copies are deleted at the next start through wininit.ini under their short names.
TEST_F(SetupTool, TheDemoInstallsAndUninstallsOnWindows9x) {
  ASSERT_EQ(Medium().status, 0);
  Result r = Setup(u8"--program 'D:\\setup.exe' --auto --win9x");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string group = "C:\\WINDOWS\\Start Menu\\Programs\\物語デモ\\";
  {
    MachineOptions o;
    o.root = Path("machine");
    o.win9x = true;
    EmulatedMachine m(o);
    EXPECT_TRUE(m.FileExists(std::string(kDest) + "story.exe"));
    EXPECT_TRUE(m.FileExists(group + "物語デモのアンインストール.lnk"));
    EXPECT_FALSE(m.DirectoryExists(kGroup)) << "no group for all users on 9x";
  }
  r = Run("zarn-setup", "--root " + Quote(Path("machine")) +
                            u8" --program 'C:\\Program Files\\Zarn\\物語デモ\\install.exe' --auto --win9x");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  MachineOptions o;
  o.root = Path("machine");
  o.win9x = true;
  EmulatedMachine m(o);
  EXPECT_FALSE(m.DirectoryExists(kDest));
  EXPECT_FALSE(m.DirectoryExists(group));
  std::string wininit = Get(m, "C:\\WINDOWS\\wininit.ini");
  EXPECT_EQ(wininit, "[rename]\r\nNUL=C:\\WINDOWS\\TEMP\\~ZINST~1.EXE\r\nNUL=C:\\WINDOWS\\TEMP\\~ZINST~1.EXE\r\n")
      << wininit;
}

TEST_F(SetupTool, EveryFormOfTheMediumInstalls) {
  // A program image the resource can be written into.
  std::ofstream(Path("setup.exe"), std::ios::binary) << testing::TestProgram();
  for (const char* form : {"files", "resource"}) {
    SCOPED_TRACE(form);
    fs::remove_all(Path("medium"));
    fs::remove_all(Path("machine"));
    Result made = Medium(std::string("--form ") + form + " --setup-exe " + Quote(Path("setup.exe")));
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    InstallAndCheck("", true);
  }
}

TEST_F(SetupTool, SeparateFilesComeFromTheArchiveWithoutACopy) {
  Result made = Medium("--files-in-archive");
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  EXPECT_FALSE(fs::exists(Path("medium/story.exe")));
  InstallAndCheck("", false);
}

TEST_F(SetupTool, ChosenComponentsFolderAndGameStart) {
  ASSERT_EQ(Medium().status, 0);
  Result r = Setup(u8"--program 'D:\\setup.exe' --auto --components sound --dir 'C:\\Games\\物語'");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  auto m = Machine();
  EXPECT_TRUE(m->FileExists("C:\\Games\\物語\\sound\\theme.wav"));
  EXPECT_FALSE(m->FileExists("C:\\Games\\物語\\movie\\opening.mpg"));
  EXPECT_FALSE(m->FileExists("C:\\Games\\物語\\game.dat"));
  m.reset();

  // Now the start menu offers the game; nothing is installed again.
  r = Setup(u8"--program 'D:\\setup.exe' --auto --start-game");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, u8"click ゲームスタート")) << r.out;
  EXPECT_TRUE(Has(r.out, u8"started C:\\Games\\物語\\story.exe (result 42)")) << r.out;
  EXPECT_FALSE(Has(r.out, "run 2")) << r.out;
}

TEST_F(SetupTool, TheRunningGameAndMissingRightsEndTheRun) {
  ASSERT_EQ(Medium().status, 0);
  Result r = Setup(u8"--program 'D:\\setup.exe' --auto --not-admin");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, u8"dialog [警告] 管理者権限で実行してください")) << r.out;
  EXPECT_FALSE(Has(r.out, "window")) << r.out;

  ASSERT_EQ(Setup(u8"--program 'D:\\setup.exe' --auto").status, 0);
  {
    // The game runs: it holds the mutex named after its folder.
    auto m = Machine();
    bool existed = false;
    auto game = m->CreateMutex("C:-PROGRAM FILES-ZARN-物語デモ-", existed);
    ASSERT_TRUE(game);
    r = Setup(u8"--program 'D:\\setup.exe' --auto");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(Has(r.out, "window")) << r.out;
  }
}

TEST_F(SetupTool, ADiscPromptIsAnsweredWithTheFolderGiven) {
  // Two discs made by hand: each has its settings (disc index) and its part of the data.
  auto disc = [&](int index, const std::string& folder, const std::vector<std::pair<std::string, std::string>>& members) {
    fs::create_directories(Path(folder));
    MachineOptions o;
    o.drives.push_back({'X', Path(folder), dtCDROM, ""});
    EmulatedMachine x(o);
    TZarnInstallSet s;
    s.Title = "二枚組";
    s.RegistryKey = "ZarnDemo\\Two";
    s.ProgramFile = "game.exe";
    s.DefaultDir = "Two";
    s.MediaName = "ディスク";
    s.SetDiscCount(2);
    s.DiscIndex = index;
    s.DataSize = 20;
    s.DiscDataSizes = {10, 10};
    s.SaveToFile(x, "X:\\install.dat");
    TVrFileCollection c(x);
    for (const auto& m : members) {
      auto src = std::make_unique<TMemoryStream>();
      src->WriteBuffer(m.second.data(), int64_t(m.second.size()));
      c.AddFile(m.first)->Source = std::move(src);
    }
    TQxBigFileStream out(x, "X:\\game.dat", fmCreate);
    ASSERT_TRUE(c.WriteArchive(out));
    std::ofstream(Path(folder + "/setup.exe"), std::ios::binary) << "setup program";
  };
  disc(0, "medium", {{"one.txt", "first disc"}});
  disc(1, "disc2", {{"two.txt", "second disc"}});
  Result r = Setup("--program 'D:\\setup.exe' --auto --all-discs --disc 2=" + Quote(Path("disc2")));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, u8"dialog [情報] ディスク2を入れてからOKをクリックしてください")) << r.out;
  EXPECT_TRUE(Has(r.out, "put " + Path("disc2") + " into D:")) << r.out;
  auto m = Machine();
  TVrFileCollection data(*m);
  data.Open("C:\\Two\\game.dat");
  EXPECT_GE(data.IndexOf("one.txt"), 0);
  EXPECT_GE(data.IndexOf("two.txt"), 0);
  m.reset();

  // Without a folder for the second disc the person gives up the installation.
  fs::remove_all(Path("machine"));
  r = Setup("--program 'D:\\setup.exe' --auto --all-discs");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(Has(r.out, "no folder for disc 2")) << r.out;
}

// The demo split over two discs by zarn-medium installs whole: the person puts the second
// disc in when asked, and the game's folder holds the files and members of both.
TEST_F(SetupTool, TheTwoDiscDemoInstalls) {
  Result made = Run("zarn-medium", "build --disc-size 40K -o " + Quote(Path("cd")));
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  ASSERT_TRUE(fs::exists(Path("cd/disc2/game.dat"))) << made.out;
  fs::rename(Path("cd/disc1"), Path("medium"));
  Result r = Setup("--program 'D:\\setup.exe' --auto --all-discs --disc 2=" + Quote(Path("cd/disc2")));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, u8"dialog [情報] ディスク2を入れてからOKをクリックしてください")) << r.out;
  EXPECT_TRUE(Has(r.out, u8"page exit \"完了\"")) << r.out;
  auto m = Machine();
  for (const char* name : {"story.exe", "install.exe", "readme.txt", "sound\\theme.wav", "movie\\opening.mpg"})
    EXPECT_TRUE(m->FileExists(std::string(kDest) + name)) << name;
  TVrFileCollection data(*m);
  data.Open(std::string(kDest) + "game.dat");
  for (const char* member : {"image\\back.brm", "image\\chara01.brm", "scenario\\start.txt", "zarn.zpb"})
    EXPECT_GE(data.IndexOf(member), 0) << member;
  EXPECT_TRUE(data.Verify());
  EXPECT_EQ(ProductKeyReadString(*m, kKey, "InstallPath", ""), kDest);
}

// An update made against the installed game carries only the members newer than the
// installed ones (and the start menu's picture), and installing it takes them into the
// game's data file.
TEST_F(SetupTool, AnUpdateCarriesTheNewerMembers) {
  ASSERT_EQ(Run("zarn-medium", "demo " + Quote(Path("game"))).status, 0);
  Result made = Run("zarn-medium", "build --game " + Quote(Path("game")) + " -o " + Quote(Path("medium")));
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  Result r = Setup(u8"--program 'D:\\setup.exe' --auto");
  ASSERT_EQ(r.status, 0) << r.out << r.err;

  const std::string changed = Path("game/archive/scenario/start.txt");
  const auto date = fs::last_write_time(changed);
  Write("game/archive/scenario/start.txt", "*start\r\nnew text\r\n");
  fs::last_write_time(changed, date + std::chrono::hours(24));
  const std::string installed = Path(u8"machine/drive_c/Program Files/Zarn/物語デモ");
  made = Run("zarn-medium", "build --game " + Quote(Path("game")) + " --update folder --installed " +
                                Quote(installed) + " -o " + Quote(Path("update")));
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  EXPECT_TRUE(Has(made.out, "update: 1 of 5 members")) << made.out;
  EXPECT_TRUE(Has(made.out, "archive members: install.dat image\\back.brm scenario\\start.txt\n")) << made.out;

  fs::remove_all(Path("medium"));
  fs::rename(Path("update"), Path("medium"));
  r = Setup(u8"--program 'D:\\setup.exe' --auto");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  auto m = Machine();
  TVrFileCollection data(*m);
  data.Open(std::string(kDest) + "game.dat");
  TMemoryStream text;
  data.ExtractToStream(text, "scenario\\start.txt");
  EXPECT_EQ(text.ToString(), "*start\r\nnew text\r\n");
  EXPECT_GE(data.IndexOf("/scenario\\start.txt"), 0) << "the old member is superseded";
  EXPECT_TRUE(data.Verify());
}

// A game installed as one program with its archive appended: the update made against it
// is taken into a rebuilt program, the members it lacks carried over from the old one.
TEST_F(SetupTool, ABundleUpdateRebuildsTheProgram) {
  ASSERT_EQ(Run("zarn-medium", "demo " + Quote(Path("game"))).status, 0);
  ASSERT_EQ(Run("zarn-medium", "build --game " + Quote(Path("game")) + " -o " + Quote(Path("first"))).status, 0);
  const std::string installed = Path(u8"machine/drive_c/Games/物語");
  fs::create_directories(installed);
  fs::copy_file(Path("first/setup.exe"), installed + "/story.exe");

  const std::string changed = Path("game/archive/scenario/start.txt");
  const auto date = fs::last_write_time(changed);
  Write("game/archive/scenario/start.txt", "*start\r\nbundled\r\n");
  fs::last_write_time(changed, date + std::chrono::hours(24));
  Result made = Run("zarn-medium", "build --game " + Quote(Path("game")) + " --update bundle --installed " +
                                       Quote(installed) + " -o " + Quote(Path("medium")));
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  EXPECT_TRUE(Has(made.out, "update: 1 of 5 members")) << made.out;
  EXPECT_EQ(Run("zarn-medium", "build --game " + Quote(Path("game")) + " --update folder --installed " +
                                   Quote(installed) + " -o " + Quote(Path("wrong")))
                .status,
            2)
      << "no game.dat there";

  Result r = Setup(u8"--program 'D:\\setup.exe' --auto --dir 'C:\\Games\\物語'");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  auto m = Machine();
  TVrFileCollection bundle(*m);
  bundle.Open("C:\\Games\\物語\\story.exe");
  TMemoryStream text;
  bundle.ExtractToStream(text, "scenario\\start.txt");
  EXPECT_EQ(text.ToString(), "*start\r\nbundled\r\n");
  for (const char* member : {"image\\chara01.brm", "system\\config.txt", "zarn.zpb"})
    EXPECT_GE(bundle.IndexOf(member), 0) << member << " carried over";
  EXPECT_TRUE(bundle.Verify());
}

TEST_F(SetupTool, UsageAndHelp) {
  Result help = Run("zarn-setup", "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Has(help.out, "usage: zarn-setup")) << help.out;
  for (const char* bad : {"", "--root x", "--root x --program", "--root x --program y --components data,music",
                          "--root x --program y --drive D", "--root x --program y a b", "--root x --program y --what"}) {
    Result r = Run("zarn-setup", bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_TRUE(Has(r.err, "zarn-setup: ")) << bad << r.err;
  }
  EXPECT_EQ(Run("zarn-medium", "--help").status, 0);
  EXPECT_EQ(Run("zarn-medium", "build").status, 2);
  EXPECT_EQ(Run("zarn-medium", "bake").status, 2);
  EXPECT_EQ(Run("zarn-medium", "build -o x --form resource").status, 2) << "needs a real program";
  // A medium is never made over other files.
  fs::create_directories(Path("busy"));
  std::ofstream(Path("busy/keep.txt")) << "keep";
  Result r = Run("zarn-medium", "build -o " + Quote(Path("busy")));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(fs::exists(Path("busy/keep.txt")));
}

TEST_F(SetupTool, EmbedWritesTheArchiveAsAResource) {
  std::ofstream(Path("setup.exe"), std::ios::binary) << testing::TestProgram();
  std::ofstream(Path("data.arc"), std::ios::binary) << std::string("vf\x66\0\0\0\0\0\0\0", 10);
  Result r = Run("zarn-medium", "embed " + Quote(Path("setup.exe")) + " " + Quote(Path("data.arc")) + " -o " +
                                    Quote(Path("out.exe")));
  ASSERT_EQ(r.status, 0) << r.err;
  MachineOptions o;
  o.drives.push_back({'X', dir_, dtFixed, ""});
  EmulatedMachine x(o);
  auto module = x.LoadModule("X:\\out.exe");
  ASSERT_TRUE(module);
  std::string data;
  ASSERT_TRUE(module->FindResource("DUMMY", "BINTYPE", data));
  EXPECT_EQ(data, std::string("vf\x66\0\0\0\0\0\0\0", 10));
  // Not an archive: refused.
  r = Run("zarn-medium", "embed " + Quote(Path("setup.exe")) + " " + Quote(Path("setup.exe")) + " -o " +
                             Quote(Path("bad.exe")));
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(Path("bad.exe")));
}

}  // namespace
}  // namespace zarn
