// The emulated machine beyond the shared contract: other processes, the shell log,
// the 9x family, deletion at restart, injected faults and program files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "machine_fixture.h"
#include "support/program_image.h"
#include "platform/posix/ini_text.h"
#include "runtime/error.h"

namespace zarn {
namespace {

using testing::Get;
using testing::MachineFolder;
using testing::Put;

// Runs `body` in a child process with a machine object of its own; its exit status.
template <typename F>
int InChild(const MachineFolder& folder, F body) {
  pid_t child = fork();
  if (child == 0) {
    auto m = folder.Make();
    _exit(body(*m));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Machine : public ::testing::Test {
 protected:
  MachineFolder folder_;
  std::unique_ptr<EmulatedMachine> m_ = folder_.Make();
};

TEST_F(Machine, MutexesAreSeenByOtherMachineObjectsAndProcesses) {
  const std::string name = "C:-GAMES-ソフト-";
  auto other = folder_.Make();
  EXPECT_EQ(InChild(folder_, [&](EmulatedMachine& m) { return m.MutexExists(name) ? 1 : 0; }), 0);
  bool existed = true;
  auto held = m_->CreateMutex(name, existed);
  ASSERT_TRUE(held);
  EXPECT_FALSE(existed);
  EXPECT_TRUE(other->MutexExists(name));
  EXPECT_EQ(InChild(folder_, [&](EmulatedMachine& m) { return m.MutexExists(name) ? 1 : 0; }), 1);
  EXPECT_EQ(InChild(folder_, [&](EmulatedMachine& m) {
              bool e = false;
              auto mine = m.CreateMutex(name, e);
              return mine && e ? 1 : 0;
            }),
            1);
  // "Global\" and "Local\" name the same mutex.
  EXPECT_TRUE(other->MutexExists("Global\\" + name));
  held.reset();
  EXPECT_FALSE(other->MutexExists(name));
  EXPECT_EQ(InChild(folder_, [&](EmulatedMachine& m) { return m.MutexExists(name) ? 1 : 0; }), 0);
  // A machine folder of its own has mutexes of its own.
  MachineFolder elsewhere;
  auto held2 = m_->CreateMutex(name, existed);
  EXPECT_FALSE(elsewhere.Make()->MutexExists(name));
}

// Windows counts a mutex name's characters: a title of 140 kanji (280 bytes) names a
// mutex; 260 characters do not, nor does a backslash outside the namespace prefix.
TEST_F(Machine, MutexNamesAreLimitedInCharacters) {
  std::string kanji;
  for (int i = 0; i < 140; ++i) kanji += "物";
  bool existed = true;
  auto held = m_->CreateMutex(kanji, existed);
  ASSERT_TRUE(held);
  EXPECT_FALSE(existed);
  EXPECT_TRUE(folder_.Make()->MutexExists(kanji));
  EXPECT_FALSE(m_->CreateMutex(std::string(260, 'a'), existed));
  EXPECT_TRUE(m_->CreateMutex(std::string(259, 'a'), existed));
  EXPECT_FALSE(m_->CreateMutex("a\\b", existed));
}

TEST_F(Machine, SharingHoldsAcrossProcesses) {
  Put(*m_, "C:\\shared.bin", "abc");
  int toChild[2], toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto m = folder_.Make();
    auto f = m->OpenFile("C:\\SHARED.BIN", FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
    char c = f ? 'y' : 'n';
    (void)!write(toParent[1], &c, 1);
    (void)!read(toChild[0], &c, 1);  // hold the file until told
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(toParent[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  EXPECT_FALSE(m_->OpenFile("C:\\shared.bin", FileAccess::Write, FileShare::ReadWrite, FileCreate::OpenExisting));
  EXPECT_FALSE(m_->DeleteFile("C:\\shared.bin"));
  EXPECT_TRUE(m_->OpenFile("C:\\shared.bin", FileAccess::Read, FileShare::ReadWrite, FileCreate::OpenExisting));
  ASSERT_EQ(write(toChild[1], "x", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  // The child's end released its locks.
  EXPECT_TRUE(m_->OpenFile("C:\\shared.bin", FileAccess::Write, FileShare::None, FileCreate::OpenExisting));
  EXPECT_TRUE(m_->DeleteFile("C:\\shared.bin"));
}

TEST_F(Machine, ShellRequestsAreLoggedNotRun) {
  ASSERT_TRUE(m_->CreateDirectory("C:\\Games"));
  Put(*m_, "C:\\Games\\game.exe", "MZ");
  EXPECT_EQ(m_->ShellExecute("open", "C:\\GAMES\\GAME.EXE", "\"D:\\\"", "", 5), 42);
  EXPECT_EQ(m_->ShellExecute("open", "game.exe", "a\tb\nc%d", "C:\\Games", 1), 42);  // found in the directory
  EXPECT_EQ(m_->ShellExecute("open", "C:\\Games\\none.exe", "", "", 1), 2);
  EXPECT_EQ(m_->ShellExecute("open", "C:\\None\\none.exe", "", "", 1), 3);
  EXPECT_EQ(m_->ShellExecute("open", "C:\\bad|name", "", "", 1), 2);

  // Another machine object (the launcher that follows the started program) reads it.
  auto log = folder_.Make()->ShellLog();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].verb, "open");
  EXPECT_EQ(log[0].file, "C:\\GAMES\\GAME.EXE");
  EXPECT_EQ(log[0].parameters, "\"D:\\\"");
  EXPECT_EQ(log[0].show, 5);
  EXPECT_EQ(log[0].result, 42);
  EXPECT_EQ(log[1].parameters, "a\tb\nc%d");
  EXPECT_EQ(log[1].directory, "C:\\Games");
  EXPECT_EQ(log[2].result, 2);
  EXPECT_EQ(log[3].result, 3);
  // One line per request in the machine folder.
  std::string text = testing::ReadHost(folder_.Host("shell.log"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
}

TEST_F(Machine, DeleteAtRebootOnNtGoesToTheSessionManager) {
  Put(*m_, "C:\\WINDOWS\\TEMP\\~zinstall.exe", "copy");
  Put(*m_, "C:\\WINDOWS\\TEMP\\~zinstall0.exe", "copy");
  ASSERT_TRUE(m_->DeleteAtReboot("c:\\windows\\temp\\~ZINSTALL.EXE"));
  ASSERT_TRUE(m_->DeleteAtReboot("C:\\WINDOWS\\TEMP\\~zinstall0.exe"));
  auto key = m_->OpenKey(RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", false);
  ASSERT_TRUE(key);
  uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(key->QueryValue("PendingFileRenameOperations", type, data));
  EXPECT_EQ(type, regMultiSz);
  // Pairs of (\??\source, empty target), the list ended by one more NUL.
  const char kExpected[] = "\\??\\C:\\WINDOWS\\TEMP\\~zinstall.exe\0\0\\??\\C:\\WINDOWS\\TEMP\\~zinstall0.exe\0\0\0";
  EXPECT_EQ(data, std::string(kExpected, sizeof kExpected - 1));
  EXPECT_EQ(m_->PendingDeletes(),
            (std::vector<std::string>{"C:\\WINDOWS\\TEMP\\~zinstall.exe", "C:\\WINDOWS\\TEMP\\~zinstall0.exe"}));
  // Nothing goes before the restart, and it runs once.
  EXPECT_TRUE(m_->FileExists("C:\\WINDOWS\\TEMP\\~zinstall.exe"));
  m_->Restart();
  EXPECT_FALSE(m_->FileExists("C:\\WINDOWS\\TEMP\\~zinstall.exe"));
  EXPECT_FALSE(m_->FileExists("C:\\WINDOWS\\TEMP\\~zinstall0.exe"));
  EXPECT_TRUE(m_->PendingDeletes().empty());
}

TEST_F(Machine, TheNineXFamily) {
  auto m = folder_.Make(true);
  VersionInfo v = m->Version();
  EXPECT_EQ(v.platformId, 1u);
  EXPECT_EQ(v.major, 4u);
  EXPECT_EQ(v.minor, 10u);
  EXPECT_EQ(m->SystemDirectory(), "C:\\WINDOWS\\SYSTEM");
  EXPECT_TRUE(m->DirectoryExists(m->SystemDirectory()));
  EXPECT_EQ(m->EnvironmentVariable("USERPROFILE"), "");
  EXPECT_EQ(m->EnvironmentVariable("windir"), "C:\\WINDOWS");
  std::string programs;
  ASSERT_TRUE(m->SpecialFolder(csidlPrograms, programs));
  EXPECT_EQ(programs, "C:\\WINDOWS\\Start Menu\\Programs");
  EXPECT_TRUE(m->DirectoryExists(programs));

  // Delete at restart goes into wininit.ini, with the short path.
  Put(*m, "C:\\WINDOWS\\TEMP\\~zinstall.exe", "copy");
  ASSERT_TRUE(m->DeleteAtReboot("C:\\WINDOWS\\TEMP\\~zinstall.exe"));
  EXPECT_EQ(m->ReadProfileString("wininit.ini", "rename", "NUL", ""), "C:\\WINDOWS\\TEMP\\~ZINST~1.EXE");
  std::string ini = testing::ReadHost(folder_.Host("drive_c/WINDOWS/wininit.ini"));
  EXPECT_EQ(ini, "[rename]\r\nNUL=C:\\WINDOWS\\TEMP\\~ZINST~1.EXE\r\n");
  EXPECT_EQ(m->PendingDeletes(), std::vector<std::string>{"C:\\WINDOWS\\TEMP\\~ZINST~1.EXE"});
  m->Restart();
  EXPECT_FALSE(m->FileExists("C:\\WINDOWS\\TEMP\\~zinstall.exe"));
  EXPECT_EQ(m->ReadProfileString("wininit.ini", "rename", "NUL", "gone"), "gone");
}

TEST_F(Machine, NineXMachineHasNoProfileList) {
  MachineFolder fresh;
  auto m = fresh.Make(true);
  EXPECT_FALSE(m->OpenKey(RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", false));
  auto cv = m->OpenKey(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", false);
  ASSERT_TRUE(cv);
  uint32_t type;
  std::string data;
  EXPECT_TRUE(cv->QueryValue("ProgramFilesDir", type, data));
  // HKEY_CURRENT_USER is the default user's branch.
  ASSERT_TRUE(m->OpenKey(RegRoot::CurrentUser, "Software\\Zarn", true));
  EXPECT_TRUE(m->OpenKey(RegRoot::Users, ".DEFAULT\\Software\\Zarn", false));
}

TEST_F(Machine, DiskFullAfterSomeBytes) {
  m_->Faults().diskFreeBytes = 10;
  DiskSpace space;
  ASSERT_TRUE(m_->DiskFreeSpaceEx("C:\\", space));
  EXPECT_EQ(space.freeToCaller, 10);
  DiskClusters clusters;
  ASSERT_TRUE(m_->DiskFreeSpace("C:\\", clusters));
  EXPECT_EQ(clusters.freeClusters, 0u);

  auto f = m_->OpenFile("C:\\full.bin", FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Write("123456", 6), 6);
  EXPECT_EQ(f->Write("abcdef", 6), 4);  // short: the disk is full
  EXPECT_EQ(f->Write("x", 1), -1);
  EXPECT_FALSE(f->SetSize(100));
  f.reset();
  EXPECT_EQ(Get(*m_, "C:\\full.bin"), "123456abcd");

  // A copy that runs out of room leaves no partial file.
  m_->Faults().diskFreeBytes = -1;
  Put(*m_, "C:\\source.bin", std::string(5000, 's'));
  m_->Faults().diskFreeBytes = 100;
  EXPECT_FALSE(m_->CopyFile("C:\\source.bin", "C:\\target.bin", false));
  EXPECT_FALSE(m_->FileExists("C:\\target.bin"));
  m_->Faults().diskFreeBytes = -1;
  EXPECT_TRUE(m_->CopyFile("C:\\source.bin", "C:\\target.bin", false));
}

// Names Windows holds but the host cannot (over 255 bytes of UTF-8) end the run with a
// message that says so; names Windows itself refuses are simply refused.
TEST_F(Machine, NamesOnlyWindowsCanHoldAreAnErrorThatSaysSo) {
  std::string kanji91, kanji256;
  for (int i = 0; i < 91; ++i) kanji91 += "\x8a\xbf";  // 漢
  for (int i = 0; i < 256; ++i) kanji256 += "\x8a\xbf";
  const std::string ascii255(255, 'a');
  EXPECT_TRUE(m_->CreateDirectory("C:\\" + ascii255));
  try {
    m_->CreateDirectory("C:\\" + kanji91);
    ADD_FAILURE() << "a 91-kanji name went unreported";
  } catch (const EZarnError& e) {
    EXPECT_NE(std::string(e.what()).find("255"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(m_->CreateDirectory("C:\\" + kanji256));
  EXPECT_FALSE(m_->FileExists("C:\\" + kanji256));
}

TEST_F(Machine, TheNthWriteFails) {
  m_->Faults().writesBeforeFailure = 2;
  auto f = m_->OpenFile("C:\\n.bin", FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Write("a", 1), 1);
  EXPECT_EQ(f->Write("b", 1), 1);
  EXPECT_EQ(f->Write("c", 1), -1);
  EXPECT_EQ(f->Write("d", 1), -1);  // and every one after it
  m_->Faults().writesBeforeFailure = -1;
  EXPECT_EQ(f->Write("e", 1), 1);
}

TEST_F(Machine, AFileHeldAsARunningProgram) {
  Put(*m_, "C:\\WINDOWS\\TEMP\\~zinstall.exe", "old copy");
  Put(*m_, "C:\\setup.exe", "new copy");
  ASSERT_TRUE(m_->HoldAsRunning("C:\\WINDOWS\\TEMP\\~zinstall.exe"));
  EXPECT_FALSE(m_->HoldAsRunning("C:\\none.exe"));
  EXPECT_FALSE(m_->CopyFile("C:\\setup.exe", "C:\\WINDOWS\\TEMP\\~zinstall.exe", false));
  EXPECT_FALSE(m_->DeleteFile("C:\\WINDOWS\\TEMP\\~zinstall.exe"));
  EXPECT_EQ(Get(*m_, "C:\\WINDOWS\\TEMP\\~zinstall.exe"), "old copy");
  // Another process sees it held too.
  EXPECT_EQ(InChild(folder_, [](EmulatedMachine& m) { return m.DeleteFile("C:\\WINDOWS\\TEMP\\~zinstall.exe"); }),
            0);
  m_->ReleaseRunning("c:\\windows\\temp\\~ZINSTALL.EXE");
  EXPECT_TRUE(m_->CopyFile("C:\\setup.exe", "C:\\WINDOWS\\TEMP\\~zinstall.exe", false));
  EXPECT_EQ(Get(*m_, "C:\\WINDOWS\\TEMP\\~zinstall.exe"), "new copy");
}

TEST_F(Machine, ReadOnlyRefusesWritingEvenToRoot) {
  Put(*m_, "C:\\ro.txt", "x");
  Put(*m_, "C:\\other.txt", "y");
  ASSERT_TRUE(m_->SetFileAttributes("C:\\ro.txt", faReadOnly));
  EXPECT_FALSE(m_->OpenFile("C:\\ro.txt", FileAccess::Write, FileShare::None, FileCreate::OpenExisting));
  EXPECT_FALSE(m_->OpenFile("C:\\ro.txt", FileAccess::ReadWrite, FileShare::None, FileCreate::OpenAlways));
  EXPECT_FALSE(m_->OpenFile("C:\\ro.txt", FileAccess::Read, FileShare::Read, FileCreate::CreateAlways));
  EXPECT_FALSE(m_->CopyFile("C:\\other.txt", "C:\\ro.txt", false));
  EXPECT_FALSE(m_->ReplaceFile("C:\\other.txt", "C:\\ro.txt"));
  EXPECT_EQ(Get(*m_, "C:\\ro.txt"), "x");
  // Renaming a read-only file is allowed, as on Windows; the case of a name changes too.
  EXPECT_TRUE(m_->MoveFile("C:\\ro.txt", "C:\\RO.TXT"));
  EXPECT_TRUE(testing::HostExists(folder_.Host("drive_c/RO.TXT")));
  EXPECT_FALSE(testing::HostExists(folder_.Host("drive_c/ro.txt")));
}

TEST_F(Machine, AttributesLiveOnTheHostFile) {
  Put(*m_, "C:\\a.txt", "x");
  ASSERT_TRUE(m_->SetFileAttributes("C:\\a.txt", faReadOnly | faHidden));
  struct stat st;
  ASSERT_EQ(stat(folder_.Host("drive_c/a.txt").c_str(), &st), 0);
  EXPECT_FALSE(st.st_mode & S_IWUSR);
  // Another machine object, and a rename, keep them.
  auto other = folder_.Make();
  EXPECT_EQ(other->GetFileAttributes("C:\\A.TXT") & (faReadOnly | faHidden), faReadOnly | faHidden);
  ASSERT_TRUE(other->MoveFile("C:\\a.txt", "C:\\b.txt"));
  EXPECT_EQ(m_->GetFileAttributes("C:\\b.txt") & (faReadOnly | faHidden | faArchive), faReadOnly | faHidden);
  // A host file that was never given attributes reports archive; a new file as well.
  testing::WriteHost(folder_.Host("drive_c/host.txt"), "h");
  EXPECT_EQ(m_->GetFileAttributes("C:\\host.txt"), faArchive);
  ASSERT_TRUE(m_->SetFileAttributes("C:\\host.txt", faNormal));
  EXPECT_EQ(m_->GetFileAttributes("C:\\host.txt"), faNormal);
  // Read-only folders cannot be removed.
  ASSERT_TRUE(m_->CreateDirectory("C:\\ro"));
  ASSERT_TRUE(m_->SetFileAttributes("C:\\ro", faReadOnly));
  EXPECT_FALSE(m_->RemoveDirectory("C:\\ro"));
  ASSERT_TRUE(m_->SetFileAttributes("C:\\ro", 0));
  EXPECT_TRUE(m_->RemoveDirectory("C:\\ro"));
}

TEST_F(Machine, TheCurrentDirectoryCannotBeRemoved) {
  ASSERT_TRUE(m_->CreateDirectory("C:\\work"));
  ASSERT_TRUE(m_->CreateDirectory("C:\\work\\inner"));
  ASSERT_TRUE(m_->SetCurrentDirectory("C:\\work\\inner"));
  EXPECT_FALSE(m_->RemoveDirectory("C:\\work\\inner"));
  ASSERT_TRUE(m_->SetCurrentDirectory("C:\\"));
  EXPECT_TRUE(m_->RemoveDirectory("C:\\work\\inner"));
}

TEST_F(Machine, ReplaceSwapsTheNameInOneStep) {
  Put(*m_, "C:\\game.ext", "old directory");
  Put(*m_, "C:\\game.ext.new", "new directory");
  struct stat before;
  ASSERT_EQ(stat(folder_.Host("drive_c/game.ext.new").c_str(), &before), 0);
  ASSERT_TRUE(m_->ReplaceFile("C:\\game.ext.new", "C:\\GAME.EXT"));
  struct stat after;
  ASSERT_EQ(stat(folder_.Host("drive_c/game.ext").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // the new file itself, renamed over
  EXPECT_EQ(Get(*m_, "C:\\game.ext"), "new directory");
  {
    auto open = m_->OpenFile("C:\\game.ext", FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
    Put(*m_, "C:\\other", "o");
    EXPECT_FALSE(m_->ReplaceFile("C:\\other", "C:\\game.ext"));
  }
  EXPECT_EQ(Get(*m_, "C:\\game.ext"), "new directory");
}

TEST_F(Machine, ProgramFileResources) {
  Put(*m_, "C:\\setup.exe", testing::BuildTestPeImage() + std::string(100000, '\0') + "zr");
  MachineOptions o = folder_.Options();
  o.programFile = "C:\\SETUP.EXE";
  EmulatedMachine m(o);
  EXPECT_EQ(m.ProgramFile(), "C:\\SETUP.EXE");
  std::string data;
  ASSERT_TRUE(m.OwnModule()->FindResource("DUMMY", "BINTYPE", data));
  EXPECT_EQ(data, testing::kTestArchive);
  auto other = m.LoadModule("C:\\setup.exe");
  ASSERT_TRUE(other);
  EXPECT_TRUE(other->FindResource("#101", "#10", data));
  EXPECT_EQ(data, testing::kTestNumbered);
  // The test program itself (an ELF file) is the default: it exists, but has no resources.
  EXPECT_TRUE(m_->FileExists(m_->ProgramFile()));
  EXPECT_FALSE(m_->OwnModule()->FindResource("DUMMY", "BINTYPE", data));
}

TEST_F(Machine, HostPlatformFollowsZarnRoot) {
  const char* old = std::getenv("ZARN_ROOT");
  std::string saved = old ? old : "";
  setenv("ZARN_ROOT", folder_.root().c_str(), 1);
  auto p = CreateHostPlatform();
  ASSERT_TRUE(m_->OpenKey(RegRoot::CurrentUser, "Software\\Seen", true));
  EXPECT_TRUE(p->OpenKey(RegRoot::CurrentUser, "Software\\Seen", false));
  unsetenv("ZARN_ROOT");
  auto bare = CreateHostPlatform();
  EXPECT_EQ(bare->LogicalDrives(), 1u << 25);
  EXPECT_FALSE(bare->OpenKey(RegRoot::CurrentUser, "Software\\Seen", false));
  if (old) setenv("ZARN_ROOT", saved.c_str(), 1);
}

TEST(IniText, WritingKeepsTheRestOfTheFile) {
  std::string text = "; comment\r\n[boot]\r\nshell=Explorer.exe\r\n\r\n[Rename]\r\nA=1\r\n\r\n[other]\r\nx=y\r\n";
  text = posix::IniWrite(text, "rename", "NUL", "C:\\X.EXE");
  EXPECT_EQ(text,
            "; comment\r\n[boot]\r\nshell=Explorer.exe\r\n\r\n[Rename]\r\nA=1\r\nNUL=C:\\X.EXE\r\n\r\n[other]\r\nx=y\r\n");
  text = posix::IniWrite(text, " RENAME ", "nul", "C:\\Y.EXE");
  EXPECT_NE(text.find("nul=C:\\Y.EXE\r\n"), std::string::npos);
  EXPECT_EQ(text.find("C:\\X.EXE"), std::string::npos);
  text = posix::IniWrite(text, "new", "k", "v");
  EXPECT_EQ(text.substr(text.size() - 14), "\r\n[new]\r\nk=v\r\n");
  std::string value;
  EXPECT_TRUE(posix::IniRead("[s]\n k = \"quoted value\" \n", "S", "K", value));
  EXPECT_EQ(value, "quoted value");
  EXPECT_FALSE(posix::IniRead("[s]\n;k=v\n", "s", "k", value));
  EXPECT_EQ(posix::IniRemoveSection(text, "rename").find("Rename"), std::string::npos);
}

}  // namespace
}  // namespace zarn
