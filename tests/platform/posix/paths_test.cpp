// Windows paths on the emulated machine: syntax, mapping to host folders, names found
// without regard to case, and the limits no path may cross.
#include <gtest/gtest.h>

#include "machine_fixture.h"
#include "platform/posix/win_path.h"

namespace zarn {
namespace {

using posix::ParseWinPath;
using posix::WinPath;
using testing::Get;
using testing::HostExists;
using testing::MachineFolder;
using testing::Put;

WinPath Current(const std::string& text) {
  WinPath root, w;
  root.drive = 'C';
  EXPECT_TRUE(ParseWinPath(text, root, w)) << text;
  return w;
}

std::string Parsed(const std::string& path, const std::string& current = "C:\\Work\\Here") {
  WinPath w;
  if (!ParseWinPath(path, Current(current), w)) return "<invalid>";
  return w.Text() + (w.trailingSeparator ? "|" : "");
}

TEST(WinPathSyntax, FormsOfPaths) {
  EXPECT_EQ(Parsed("D:\\Games\\Story"), "D:\\Games\\Story");
  EXPECT_EQ(Parsed("d:/games/story/"), "D:\\games\\story|");
  EXPECT_EQ(Parsed("\\Other"), "C:\\Other");
  EXPECT_EQ(Parsed("file.txt"), "C:\\Work\\Here\\file.txt");
  EXPECT_EQ(Parsed("C:file.txt"), "C:\\Work\\Here\\file.txt");  // drive-relative, same drive
  EXPECT_EQ(Parsed("D:file.txt"), "D:\\file.txt");               // another drive: its root
  EXPECT_EQ(Parsed("C:\\"), "C:\\");
  EXPECT_EQ(Parsed("C:"), "C:\\Work\\Here");
  EXPECT_EQ(Parsed("\\\\?\\C:\\long\\form"), "C:\\long\\form");
  EXPECT_EQ(Parsed("a\\\\b\\.\\c"), "C:\\Work\\Here\\a\\b\\c");
}

TEST(WinPathSyntax, DotDotNeverLeavesTheRoot) {
  EXPECT_EQ(Parsed("C:\\a\\..\\..\\b"), "C:\\b");
  EXPECT_EQ(Parsed("..\\..\\..\\..\\etc\\passwd"), "C:\\etc\\passwd");
  EXPECT_EQ(Parsed("C:\\..\\.."), "C:\\");
  EXPECT_EQ(Parsed("C:/../../x"), "C:\\x");
}

TEST(WinPathSyntax, NamesAreCleanedAndChecked) {
  EXPECT_EQ(Parsed("C:\\file.txt. . "), "C:\\file.txt");  // trailing dots and spaces go
  EXPECT_EQ(Parsed("C:\\a\\...\\b"), "C:\\a\\b");
  EXPECT_EQ(Parsed("C:\\ leading"), "C:\\ leading");
  for (const char* bad : {"C:\\a<b", "C:\\a>b", "C:\\a\"b", "C:\\a|b", "C:\\a?b", "C:\\a*b", "C:\\a:b",
                          "C:\\a\tb", "C:\\CON", "C:\\dir\\nul.txt", "C:\\com1", "C:\\LPT9.log", "\\\\server\\share",
                          "\\\\.\\PhysicalDrive0", "", "1:\\x"})
    EXPECT_EQ(Parsed(bad), "<invalid>") << bad;
  EXPECT_EQ(Parsed("C:\\CONFIG.SYS"), "C:\\CONFIG.SYS");
  EXPECT_EQ(Parsed("C:\\com10"), "C:\\com10");
  // Trail bytes 0x5C and 0x7C belong to their characters: ソ is 83 5C, ポ is 83 7C.
  EXPECT_EQ(Parsed("C:\\ソ\\ポ"), "C:\\ソ\\ポ");
  EXPECT_EQ(Parsed("C:\\ソ\\"), "C:\\ソ|");
  // A lead byte without its trail byte is no name.
  EXPECT_EQ(Parsed(std::string("C:\\a\x83")), "<invalid>");
}

TEST(WinPathSyntax, PathsOf260CharactersAreRefused) {
  std::string ok = "C:\\" + std::string(255, 'a');  // 258 characters
  EXPECT_NE(Parsed(ok), "<invalid>");
  EXPECT_EQ(Parsed(ok + "bc"), "<invalid>");
  // Double-byte characters count once.
  std::string kana;
  for (int i = 0; i < 128; ++i) kana += "ア";
  EXPECT_NE(Parsed("C:\\" + kana), "<invalid>");
}

TEST(WinPathSyntax, ShortNames) {
  EXPECT_TRUE(posix::IsShortName("README.TXT"));
  EXPECT_TRUE(posix::IsShortName("readme.txt"));
  EXPECT_TRUE(posix::IsShortName("A"));
  EXPECT_TRUE(posix::IsShortName("ソフト.DAT"));  // 6 bytes
  EXPECT_FALSE(posix::IsShortName("LONGNAME1.TXT"));
  EXPECT_FALSE(posix::IsShortName("A.TEXT"));
  EXPECT_FALSE(posix::IsShortName("A B.TXT"));
  EXPECT_FALSE(posix::IsShortName("A.B.C"));
  EXPECT_FALSE(posix::IsShortName(".profile"));
  EXPECT_FALSE(posix::IsShortName("A+B"));
  EXPECT_FALSE(posix::IsShortName("NAME."));
  EXPECT_EQ(posix::MakeShortName("Program Files", 1), "PROGRA~1");
  EXPECT_EQ(posix::MakeShortName("install.data", 2), "INSTAL~2.DAT");
  EXPECT_EQ(posix::MakeShortName("a+b=c;d.text", 1), "A_B_C_~1.TEX");
  EXPECT_EQ(posix::MakeShortName("longname.x", 12), "LONGN~12.X");
  // A double-byte character is never split: ゲーム is 6 bytes, セ would make 8.
  EXPECT_EQ(posix::MakeShortName("ゲームセーブ.dat", 1), "ゲーム~1.DAT");
  EXPECT_EQ(posix::MakeShortName("...", 1), "_~1");
}

class EmulatedPaths : public ::testing::Test {
 protected:
  MachineFolder folder_;
  std::unique_ptr<EmulatedMachine> m_ = folder_.Make();
};

TEST_F(EmulatedPaths, DrivesMapToHostFolders) {
  EXPECT_EQ(m_->HostPath("C:\\"), folder_.Host("drive_c"));
  EXPECT_EQ(m_->HostPath("c:\\windows\\temp"), folder_.Host("drive_c/WINDOWS/TEMP"));
  EXPECT_EQ(m_->HostPath("Z:\\tmp"), "/tmp");
  EXPECT_EQ(m_->HostPath("Q:\\x"), "");  // no such drive
  EXPECT_EQ(m_->WindowsPath(folder_.Host("drive_c/WINDOWS")), "C:\\WINDOWS");
  EXPECT_EQ(m_->WindowsPath("/usr/lib"), "Z:\\usr\\lib");
  std::string rootText = "Z:" + folder_.root();
  for (char& c : rootText)
    if (c == '/') c = '\\';
  EXPECT_EQ(m_->WindowsPath(folder_.root()), rootText);  // the machine folder itself is on Z:
  // Japanese names are UTF-8 on the host.
  Put(*m_, "C:\\セーブ表.dat", "x");
  EXPECT_TRUE(HostExists(folder_.Host("drive_c/\xE3\x82\xBB\xE3\x83\xBC\xE3\x83\x96\xE8\xA1\xA8.dat")));
  EXPECT_EQ(m_->LogicalDrives(), (1u << 2) | (1u << 25));
}

TEST_F(EmulatedPaths, ExistingNamesAreFoundInTheirOwnCase) {
  ASSERT_TRUE(m_->CreateDirectory("C:\\Games"));
  Put(*m_, "C:\\Games\\Game.DAT", "data");
  EXPECT_EQ(m_->HostPath("C:\\GAMES\\game.dat"), folder_.Host("drive_c/Games/Game.DAT"));
  // A missing tail keeps the spelling it was given.
  EXPECT_EQ(m_->HostPath("C:\\games\\New\\File.txt"), folder_.Host("drive_c/Games/New/File.txt"));
  ASSERT_TRUE(m_->CreateDirectory("C:\\GAMES\\new"));
  EXPECT_TRUE(HostExists(folder_.Host("drive_c/Games/new")));
  ASSERT_TRUE(m_->SetCurrentDirectory("c:\\games\\NEW"));
  EXPECT_EQ(m_->GetCurrentDirectory(), "C:\\Games\\new");
}

TEST_F(EmulatedPaths, DotDotCannotEscapeTheDriveFolder) {
  Put(*m_, "C:\\a\\..\\..\\..\\escape.txt", "x");
  EXPECT_TRUE(HostExists(folder_.Host("drive_c/escape.txt")));
  EXPECT_FALSE(HostExists(folder_.Host("escape.txt")));
  EXPECT_EQ(m_->HostPath("C:\\..\\system.reg"), folder_.Host("drive_c/system.reg"));
  EXPECT_FALSE(m_->FileExists("C:\\..\\system.reg"));
  ASSERT_TRUE(m_->SetCurrentDirectory("C:\\WINDOWS"));
  EXPECT_EQ(m_->HostPath("..\\..\\..\\x"), folder_.Host("drive_c/x"));
}

TEST_F(EmulatedPaths, ExtraDrivesAndMediaTypes) {
  MachineFolder medium;
  testing::WriteHost(medium.Host("SETUP.EXE"), "MZ");
  MachineOptions o = folder_.Options();
  o.drives.push_back({'D', medium.root(), dtCDROM, "ZARN_DISC1"});
  EmulatedMachine m(o);
  EXPECT_EQ(m.DriveType("D:\\"), static_cast<uint32_t>(dtCDROM));
  EXPECT_EQ(m.DriveType("d:"), static_cast<uint32_t>(dtCDROM));
  EXPECT_EQ(m.DriveType("C:\\"), static_cast<uint32_t>(dtFixed));
  EXPECT_EQ(m.DriveType("E:\\"), static_cast<uint32_t>(dtNoRoot));
  EXPECT_EQ(m.DriveType("C:\\WINDOWS\\"), static_cast<uint32_t>(dtNoRoot));
  EXPECT_EQ(m.VolumeLabel("D:\\"), "ZARN_DISC1");
  EXPECT_EQ(m.LogicalDrives(), (1u << 2) | (1u << 3) | (1u << 25));
  EXPECT_TRUE(m.FileExists("D:\\setup.exe"));
  EXPECT_EQ(m.WindowsPath(medium.Host("SETUP.EXE")), "D:\\SETUP.EXE");
  // A drive_x folder of the machine is a drive of its own.
  ASSERT_EQ(mkdir(folder_.Host("drive_e").c_str(), 0777), 0);
  EmulatedMachine again(folder_.Options());
  EXPECT_TRUE(again.LogicalDrives() & (1u << 4));
  EXPECT_EQ(again.DriveType("E:\\"), static_cast<uint32_t>(dtFixed));
}

TEST_F(EmulatedPaths, HostNamesOutsideTheCodePage) {
  testing::WriteHost(folder_.Host("drive_c/caf\xC3\xA9-\xF0\x9F\x98\x80.txt"), "x");
  std::vector<DirEntry> entries;
  ASSERT_TRUE(m_->ListDirectory("C:\\", entries));
  bool seen = false;
  for (const DirEntry& e : entries) seen = seen || e.name == "caf?-?.txt";
  EXPECT_TRUE(seen);
}

TEST_F(EmulatedPaths, ShortNamesAreNumberedAndResolve) {
  ASSERT_TRUE(m_->CreateDirectory("C:\\Long Folder Name"));
  Put(*m_, "C:\\Long Folder Name\\INSTAL~1.BIN", "taken");  // a real 8.3 name, made first
  Put(*m_, "C:\\Long Folder Name\\install data one.bin", "1");
  Put(*m_, "C:\\Long Folder Name\\install data two.bin", "2");
  EXPECT_EQ(m_->ShortPath("C:\\long folder name\\install data one.bin"), "C:\\LONGFO~1\\INSTAL~2.BIN");
  EXPECT_EQ(m_->ShortPath("C:\\Long Folder Name\\install data two.bin"), "C:\\LONGFO~1\\INSTAL~3.BIN");
  EXPECT_EQ(Get(*m_, "C:\\LONGFO~1\\INSTAL~3.BIN"), "2");
  EXPECT_EQ(Get(*m_, "C:\\longfo~1\\instal~1.bin"), "taken");
  EXPECT_EQ(m_->ShortPath("C:\\Long Folder Name\\"), "C:\\LONGFO~1\\");
  EXPECT_EQ(m_->ShortPath("C:\\WINDOWS\\TEMP"), "C:\\WINDOWS\\TEMP");
}

TEST_F(EmulatedPaths, CurrentDirectoryDefaultsToTheHostsWhenMapped) {
  MachineOptions o;
  o.root = folder_.root();
  char old[4096];
  ASSERT_TRUE(getcwd(old, sizeof old));
  ASSERT_EQ(chdir("/tmp"), 0);
  EmulatedMachine m(o);
  ASSERT_EQ(chdir(old), 0);
  EXPECT_EQ(m.GetCurrentDirectory(), "Z:\\tmp");
  // Without a machine folder there is only Z:, and the temporary folder is the host's.
  EmulatedMachine bare{MachineOptions()};
  EXPECT_EQ(bare.LogicalDrives(), 1u << 25);
  EXPECT_EQ(bare.TempPath().substr(0, 3), "Z:\\");
  EXPECT_EQ(bare.TempPath().back(), '\\');
  std::string path;
  EXPECT_FALSE(bare.SpecialFolder(csidlPrograms, path));
}

}  // namespace
}  // namespace zarn
