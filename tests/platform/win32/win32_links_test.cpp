// Symbolic links under Windows: the backend shows them as reparse points, and the code that
// writes and deletes for the install replaces or removes a link, never what it leads to.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"
#include "settings/paths.h"
#include "support/test_machine.h"
#include "wizard/job_files.h"

namespace zarn {
namespace {

// CreateSymbolicLinkW is looked up at run time: the program must also start on Windows XP.
bool MakeLink(const std::string& link, const std::string& target, bool folder) {
  using CreateLink = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
  auto create = reinterpret_cast<CreateLink>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
  if (!create) return false;
  const DWORD kFolder = 0x1, kUnprivileged = 0x2;
  DWORD flags = folder ? kFolder : 0;
  std::wstring l = win32::ToWide(link), t = win32::ToWide(target);
  return create(l.c_str(), t.c_str(), flags | kUnprivileged) || create(l.c_str(), t.c_str(), flags);
}

// Wine makes a host symbolic link and shows it as what it leads to, so nothing on it can
// tell a link from its target; Windows reports it as a reparse point.
const char kNotReparsePoints[] = "symbolic links are not reported as reparse points here (Wine)";

class Win32Links : public ::testing::Test {
 protected:
  Platform& p() { return machine_.platform(); }
  std::string Path(const std::string& name) { return machine_.Scratch() + name; }
  void Put(const std::string& path, const std::string& bytes) {
    auto f = p().OpenFile(path, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
    ASSERT_TRUE(f) << path;
    ASSERT_EQ(f->Write(bytes.data(), static_cast<int64_t>(bytes.size())), static_cast<int64_t>(bytes.size()));
  }
  std::string Get(const std::string& path) {
    auto f = p().OpenFile(path, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
    if (!f) return "<missing>";
    std::string out(4096, '\0');
    int64_t n = f->Read(&out[0], static_cast<int64_t>(out.size()));
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
  }
  bool IsLink(const std::string& path) {
    uint32_t a = p().GetFileAttributes(path);
    return a != faInvalid && (a & faReparsePoint);
  }
  testing::TestMachine machine_;
};

TEST_F(Win32Links, ARecordWrittenOverALinkReplacesTheLink) {
  Put(Path("victim.txt"), "victim");
  if (!MakeLink(Path("install.dat"), Path("victim.txt"), false)) GTEST_SKIP() << "no symbolic links here";
  if (!IsLink(Path("install.dat"))) GTEST_SKIP() << kNotReparsePoints;
  ASSERT_TRUE(MakeLink(Path("install.dat.tmp"), Path("victim.txt"), false));
  WriteFileReplacing(p(), Path("install.dat"), "record", 6);
  EXPECT_EQ(Get(Path("victim.txt")), "victim");
  EXPECT_FALSE(IsLink(Path("install.dat")));
  EXPECT_EQ(Get(Path("install.dat")), "record");
  EXPECT_FALSE(p().FileExists(Path("install.dat.tmp")));
}

TEST_F(Win32Links, RemovingATreeOrALinkLeavesWhatItLeadsTo) {
  ASSERT_TRUE(p().CreateDirectory(Path("elsewhere")));
  Put(Path("elsewhere\\keep.txt"), "keep");
  ASSERT_TRUE(p().CreateDirectory(Path("group")));
  Put(Path("group\\game.lnk"), "link file");
  if (!MakeLink(Path("group\\docs"), Path("elsewhere"), true)) GTEST_SKIP() << "no symbolic links here";
  if (!IsLink(Path("group\\docs"))) GTEST_SKIP() << kNotReparsePoints;
  ASSERT_TRUE(MakeLink(Path("group\\keep.lnk"), Path("elsewhere\\keep.txt"), false));
  std::vector<DirEntry> entries;
  ASSERT_TRUE(p().ListDirectory(Path("group"), entries));
  int links = 0;
  for (const DirEntry& e : entries) links += (e.attributes & faReparsePoint) ? 1 : 0;
  EXPECT_EQ(links, 2);

  RemoveTree(p(), Path("group"));
  EXPECT_FALSE(p().DirectoryExists(Path("group")));
  EXPECT_EQ(Get(Path("elsewhere\\keep.txt")), "keep");

  // A folder link standing where a file of the game goes is removed as a link.
  ASSERT_TRUE(MakeLink(Path("sound"), Path("elsewhere"), true));
  EXPECT_TRUE(RemoveLinkAt(p(), Path("sound")));
  EXPECT_FALSE(IsLink(Path("sound")));
  EXPECT_EQ(Get(Path("elsewhere\\keep.txt")), "keep");
  EXPECT_FALSE(RemoveLinkAt(p(), Path("elsewhere")));  // a plain folder is no link
}

}  // namespace
}  // namespace zarn
