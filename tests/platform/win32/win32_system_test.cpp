// Mutexes, the shell, the administrator query, modules and system folders of the
// Windows backend against the real API (run under Wine).
#include <gtest/gtest.h>

#include "child_process.h"
#include "platform/pe_resources.h"
#include "platform/platform.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::RunChild;
using testing::TestMachine;

// The bytes of test_resource.bin, built into the test program as resources.
const std::string kResource("vf\0\\\x83\\\xff\x01zr", 10);

class Win32System : public ::testing::Test {
 protected:
  Platform& p() { return machine_.platform(); }
  // A mutex name no other test run uses.
  std::string UniqueName(const std::string& stem) { return stem + machine_.ScratchKey(); }
  TestMachine machine_;
};

TEST_F(Win32System, MutexIsSeenFromAnotherProcessUntilReleased) {
  const std::string name = UniqueName("ゲーム表-C:-GAMES-");
  EXPECT_FALSE(p().MutexExists(name));
  EXPECT_EQ(RunChild("mutex-exists", name), testing::kChildNo);

  bool existed = true;
  auto first = p().CreateMutex(name, existed);
  ASSERT_TRUE(first);
  EXPECT_FALSE(existed);
  EXPECT_TRUE(p().MutexExists(name));
  // The system knows it under its Japanese name.
  HANDLE raw = OpenMutexW(SYNCHRONIZE, FALSE, win32::ToWide(name).c_str());
  EXPECT_TRUE(raw != nullptr);
  if (raw) CloseHandle(raw);

  EXPECT_EQ(RunChild("mutex-exists", name), testing::kChildYes);
  EXPECT_EQ(RunChild("mutex-create", name), testing::kChildYes);

  auto second = p().CreateMutex(name, existed);
  ASSERT_TRUE(second);
  EXPECT_TRUE(existed);
  first.reset();
  EXPECT_TRUE(p().MutexExists(name));  // still held through the second handle
  second.reset();
  EXPECT_FALSE(p().MutexExists(name));
  EXPECT_EQ(RunChild("mutex-exists", name), testing::kChildNo);
  EXPECT_EQ(RunChild("mutex-create", name), testing::kChildNo);
}

TEST_F(Win32System, ShellExecuteStartsAProgram) {
  const std::string marker = machine_.Scratch() + "ソフト.txt";
  std::string params = win32::FromWide(testing::ChildParameters("touch", marker));
  intptr_t r = p().ShellExecute("open", p().ProgramFile(), params, machine_.Scratch(), SW_HIDE);
  EXPECT_GT(r, 32);
  uint32_t start = p().TickCount();
  while (!p().FileExists(marker) && p().TickCount() - start < 30000) p().Sleep(50);
  EXPECT_TRUE(p().FileExists(marker));

  r = p().ShellExecute("open", machine_.Scratch() + "none.exe", "", "", SW_HIDE);
  EXPECT_LE(r, 32);
  EXPECT_NE(r, 0);
}

TEST_F(Win32System, AdministratorQueryIsTheShells) {
  // The same export by name, and the group membership it stands for.
  HMODULE shell = LoadLibraryW(L"shell32.dll");
  ASSERT_TRUE(shell);
  typedef BOOL(WINAPI * Query)();
  FARPROC named = GetProcAddress(shell, "IsUserAnAdmin");
  ASSERT_TRUE(named);
  EXPECT_EQ(GetProcAddress(shell, MAKEINTRESOURCEA(680)), named);
  bool byName = reinterpret_cast<Query>(reinterpret_cast<void*>(named))() != FALSE;
  FreeLibrary(shell);

  SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
  PSID admins = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                       0, &admins));
  BOOL member = FALSE;
  ASSERT_TRUE(CheckTokenMembership(nullptr, admins, &member));
  FreeSid(admins);

  EXPECT_EQ(p().IsUserAnAdmin(), byName);
  EXPECT_EQ(p().IsUserAnAdmin(), member != FALSE);
}

TEST_F(Win32System, VersionAndEnvironment) {
  VersionInfo v = p().Version();
  DWORD packed = GetVersion();
  EXPECT_EQ(v.major, packed & 0xFF);
  EXPECT_EQ(v.minor, (packed >> 8) & 0xFF);

  ASSERT_TRUE(SetEnvironmentVariableW(L"ZARN_\u30C6\u30B9\u30C8", L"\u30BD\u30D5\u30C8\\x"));
  EXPECT_EQ(p().EnvironmentVariable("ZARN_テスト"), "ソフト\\x");
  SetEnvironmentVariableW(L"ZARN_\u30C6\u30B9\u30C8", nullptr);
  // Longer than the first buffer.
  std::wstring longValue(5000, L'v');
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZARN_LONG", longValue.c_str()));
  EXPECT_EQ(p().EnvironmentVariable("ZARN_LONG"), std::string(5000, 'v'));
  SetEnvironmentVariableW(L"ZARN_LONG", nullptr);
}

TEST_F(Win32System, ResourcesOfOwnAndOtherModules) {
  auto own = p().OwnModule();
  ASSERT_TRUE(own);
  std::string data;
  ASSERT_TRUE(own->FindResource("ZARNTEST", "BINTYPE", data));
  EXPECT_EQ(data, kResource);
  ASSERT_TRUE(own->FindResource("#101", "#10", data));  // RT_RCDATA by number
  EXPECT_EQ(data, kResource);
  data = "kept";
  EXPECT_FALSE(own->FindResource("DUMMY", "BINTYPE", data));
  EXPECT_FALSE(own->FindResource("#102", "#10", data));
  EXPECT_EQ(data, "kept");
  TResourceStream stream(*own, "ZARNTEST", "BINTYPE");
  EXPECT_EQ(stream.Size(), 10);
  EXPECT_THROW(TResourceStream(*own, "DUMMY", "BINTYPE"), EResNotFound);

  // The program file loaded as data agrees, and so does reading its bytes directly.
  const std::string exe = p().ProgramFile();
  auto other = p().LoadModule(exe);
  ASSERT_TRUE(other);
  ASSERT_TRUE(other->FindResource("zarntest", "bintype", data));  // names ignore case
  EXPECT_EQ(data, kResource);
  TMemoryStream image;
  LoadFileToStream(p(), exe, image);
  std::string parsed;
  ASSERT_TRUE(FindPeResource(image.ToString(), "ZARNTEST", "BINTYPE", parsed));
  EXPECT_EQ(parsed, kResource);
  other.reset();

  EXPECT_FALSE(p().LoadModule(machine_.Scratch() + "none.exe"));
  const std::string text = machine_.Scratch() + "plain.txt";
  auto f = p().OpenFile(text, FileAccess::Write, FileShare::None, FileCreate::CreateNew);
  ASSERT_TRUE(f);
  f->Write("not a program", 13);
  f.reset();
  EXPECT_FALSE(p().LoadModule(text));
}

TEST_F(Win32System, SystemAndSpecialFolders) {
  const std::string temp = p().TempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(p().DirectoryExists(temp));
  EXPECT_EQ(machine_.Scratch().compare(0, temp.size(), temp), 0);

  const std::string windows = p().WindowsDirectory(), system = p().SystemDirectory();
  EXPECT_TRUE(p().DirectoryExists(windows));
  EXPECT_TRUE(p().DirectoryExists(system));
  EXPECT_TRUE(SameText(system.substr(0, windows.size()), windows)) << system;

  std::string path;
  ASSERT_TRUE(p().SpecialFolder(csidlWindows, path));
  EXPECT_TRUE(SameText(path, windows)) << path;
  ASSERT_TRUE(p().SpecialFolder(csidlSystem, path));
  EXPECT_TRUE(SameText(path, system)) << path;

  std::string startMenu, programs;
  ASSERT_TRUE(p().SpecialFolder(csidlStartMenu, startMenu));
  ASSERT_TRUE(p().SpecialFolder(csidlPrograms, programs));
  EXPECT_TRUE(SameText(programs.substr(0, startMenu.size()), startMenu)) << programs;
  for (int csidl : {csidlPrograms, csidlCommonPrograms, csidlStartMenu, csidlDesktopDirectory, csidlAppData,
                    csidlLocalAppData, csidlPersonal, csidlProgramFiles}) {
    path.clear();
    ASSERT_TRUE(p().SpecialFolder(csidl, path)) << csidl;
    EXPECT_EQ(path.substr(1, 2), ":\\") << csidl << " " << path;
    EXPECT_TRUE(p().DirectoryExists(path)) << csidl << " " << path;
  }
  path = "kept";
  EXPECT_FALSE(p().SpecialFolder(0x7F, path));
  EXPECT_EQ(path, "kept");
}

}  // namespace
}  // namespace zarn
