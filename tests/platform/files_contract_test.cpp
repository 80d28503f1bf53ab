// What every backend's files and folders must do, the emulated machine on Linux and real
// Win32 under Wine alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::TestMachine;

// "ソ" is 0x83 0x5C and "表" 0x95 0x5C: their second byte is a backslash.
const std::string kSave = "セーブ";
const std::string kData = "データソ表.dat";

class FilesContract : public ::testing::Test {
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
    std::string out(1 << 16, '\0');
    int64_t n = f->Read(&out[0], static_cast<int64_t>(out.size()));
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
  }
  std::vector<std::string> Names(const std::string& folder) {
    std::vector<DirEntry> entries;
    EXPECT_TRUE(p().ListDirectory(folder, entries)) << folder;
    std::vector<std::string> names;
    for (const DirEntry& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  TestMachine machine_;
};

TEST_F(FilesContract, CreateDispositions) {
  const std::string f = Path("d.bin");
  EXPECT_FALSE(p().OpenFile(f, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting));
  EXPECT_FALSE(p().FileExists(f));
  { EXPECT_TRUE(p().OpenFile(f, FileAccess::Write, FileShare::None, FileCreate::CreateNew)); }
  EXPECT_TRUE(p().FileExists(f));
  EXPECT_FALSE(p().OpenFile(f, FileAccess::Write, FileShare::None, FileCreate::CreateNew));
  Put(f, "content");
  { EXPECT_TRUE(p().OpenFile(f, FileAccess::ReadWrite, FileShare::None, FileCreate::OpenAlways)); }
  EXPECT_EQ(Get(f), "content");
  { EXPECT_TRUE(p().OpenFile(f, FileAccess::Write, FileShare::None, FileCreate::CreateAlways)); }
  EXPECT_EQ(Get(f), "");
  // No file in a missing folder, and a folder is never opened as a file.
  EXPECT_FALSE(p().OpenFile(Path("none\\x.bin"), FileAccess::Write, FileShare::None, FileCreate::CreateAlways));
  EXPECT_FALSE(p().OpenFile(machine_.Scratch(), FileAccess::Read, FileShare::ReadWrite, FileCreate::OpenExisting));
}

TEST_F(FilesContract, SharingModesBetweenHandles) {
  const std::string f = Path("s.bin");
  Put(f, "abc");
  {
    auto exclusive = p().OpenFile(f, FileAccess::Read, FileShare::None, FileCreate::OpenExisting);
    ASSERT_TRUE(exclusive);
    EXPECT_FALSE(p().OpenFile(f, FileAccess::Read, FileShare::ReadWrite, FileCreate::OpenExisting));
  }
  {
    auto reader = p().OpenFile(f, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(p().OpenFile(f, FileAccess::Read, FileShare::ReadWrite, FileCreate::OpenExisting));
    EXPECT_FALSE(p().OpenFile(f, FileAccess::Write, FileShare::ReadWrite, FileCreate::OpenExisting));
    // A second reader that denies writing conflicts with no one here.
    EXPECT_TRUE(p().OpenFile(f, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting));
    // Truncating an open file that denies writers fails and leaves its content.
    EXPECT_FALSE(p().OpenFile(f, FileAccess::Write, FileShare::ReadWrite, FileCreate::CreateAlways));
    // An open file can be neither deleted nor renamed.
    EXPECT_FALSE(p().DeleteFile(f));
    EXPECT_FALSE(p().MoveFile(f, Path("moved.bin")));
  }
  EXPECT_EQ(Get(f), "abc");
  {
    auto writer = p().OpenFile(f, FileAccess::Write, FileShare::ReadWrite, FileCreate::OpenExisting);
    ASSERT_TRUE(writer);
    // A newcomer that would deny the present writer is refused.
    EXPECT_FALSE(p().OpenFile(f, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting));
    EXPECT_TRUE(p().OpenFile(f, FileAccess::Read, FileShare::ReadWrite, FileCreate::OpenExisting));
    // A handle opened for writing only does not read.
    char c = 0;
    EXPECT_EQ(writer->Read(&c, 1), -1);
  }
  {
    // A writer that denies reading keeps readers out.
    auto writer = p().OpenFile(f, FileAccess::Write, FileShare::None, FileCreate::OpenExisting);
    ASSERT_TRUE(writer);
    EXPECT_FALSE(p().OpenFile(f, FileAccess::Read, FileShare::ReadWrite, FileCreate::OpenExisting));
  }
  // Closed handles leave nothing behind.
  EXPECT_TRUE(p().OpenFile(f, FileAccess::ReadWrite, FileShare::None, FileCreate::OpenExisting));
  EXPECT_TRUE(p().DeleteFile(f));
}

TEST_F(FilesContract, ReadWriteSeekSizeAndTheFileStream) {
  auto f = p().OpenFile(Path("rw.bin"), FileAccess::ReadWrite, FileShare::None, FileCreate::CreateNew, true);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Write("0123456789", 10), 10);
  EXPECT_EQ(f->Seek(0, soCurrent), 10);
  EXPECT_EQ(f->Seek(2, soBeginning), 2);
  char buf[16] = {};
  EXPECT_EQ(f->Read(buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), "234");
  EXPECT_EQ(f->Seek(-2, soCurrent), 3);
  EXPECT_EQ(f->Write("xy", 2), 2);
  EXPECT_EQ(f->Seek(-1, soEnd), 9);
  EXPECT_EQ(f->Read(buf, 16), 1);
  EXPECT_EQ(f->Read(buf, 16), 0);  // at the end
  EXPECT_EQ(f->Seek(-20, soCurrent), -1);
  // A write past the end fills the gap with zeros.
  EXPECT_EQ(f->Seek(12, soBeginning), 12);
  EXPECT_EQ(f->Write("!", 1), 1);
  EXPECT_TRUE(f->SetSize(14));
  EXPECT_TRUE(f->Flush());
  f.reset();
  EXPECT_EQ(Get(Path("rw.bin")), std::string("012xy56789\0\0!\0", 14));

  TFileStream s(p(), Path("rw.bin"), fmOpenReadWrite | fmShareExclusive);
  EXPECT_EQ(s.Size(), 14);
  s.SetSize(4);
  EXPECT_EQ(s.Size(), 4);
  EXPECT_THROW(TFileStream(p(), Path("rw.bin"), fmOpenRead | fmShareDenyNone), EFOpenError);  // still open
  EXPECT_THROW(TFileStream(p(), Path("none\\x"), fmCreate), EFCreateError);
}

TEST_F(FilesContract, LargeFilesKeep64BitPositions) {
  auto f = p().OpenFile(Path("big.bin"), FileAccess::ReadWrite, FileShare::None, FileCreate::CreateNew);
  ASSERT_TRUE(f);
  const int64_t far = (int64_t(4) << 30) + 3;
  EXPECT_EQ(f->Seek(far, soBeginning), far);
  EXPECT_EQ(f->Seek(-3, soCurrent), int64_t(4) << 30);
}

TEST_F(FilesContract, JapaneseNamesWithBackslashTrailBytes) {
  const std::string folder = Path(kSave);
  const std::string file = folder + "\\" + kData;
  ASSERT_TRUE(p().CreateDirectory(folder));
  Put(file, "save");
  EXPECT_TRUE(p().FileExists(file));
  EXPECT_TRUE(p().DirectoryExists(folder + "\\"));
  EXPECT_EQ(Names(folder), std::vector<std::string>{kData});
  EXPECT_EQ(Names(machine_.Scratch()), std::vector<std::string>{kSave});
  // A folder whose name ends in a trail byte 0x5C.
  const std::string table = Path("表");
  ASSERT_TRUE(p().CreateDirectory(table));
  Put(table + "\\ソ", "so");
  EXPECT_EQ(Get(table + "\\ソ"), "so");
  EXPECT_EQ(Names(table), std::vector<std::string>{"ソ"});
  EXPECT_TRUE(p().CopyFile(table + "\\ソ", file, false));
  EXPECT_EQ(Get(file), "so");
  EXPECT_TRUE(p().MoveFile(file, folder + "\\ソ表"));
  EXPECT_EQ(Names(folder), std::vector<std::string>{"ソ表"});
}

TEST_F(FilesContract, NamesCompareWithoutCase) {
  ASSERT_TRUE(p().CreateDirectory(Path("Games")));
  Put(Path("Games\\ReadMe.TXT"), "hello");
  EXPECT_EQ(Get(Path("GAMES\\readme.txt")), "hello");
  EXPECT_TRUE(p().FileExists(Path("games\\README.txt")));
  EXPECT_TRUE(p().DirectoryExists(Path("gAmEs")));
  EXPECT_FALSE(p().CreateDirectory(Path("GAMES")));
  // Opening under another case writes the one file, which keeps its first name.
  Put(Path("games\\readme.txt"), "again");
  EXPECT_EQ(Names(Path("Games")), std::vector<std::string>{"ReadMe.TXT"});
  EXPECT_EQ(Get(Path("Games\\ReadMe.TXT")), "again");
  // A rename that only changes the case is allowed.
  EXPECT_TRUE(p().MoveFile(Path("Games\\ReadMe.TXT"), Path("Games\\README.TXT")));
  ASSERT_EQ(Names(Path("Games")).size(), 1u);
  EXPECT_TRUE(SameText(Names(Path("Games"))[0], "README.TXT"));
}

TEST_F(FilesContract, CopyMoveReplaceDelete) {
  const std::string a = Path("a.txt"), b = Path("b.txt"), c = Path("c.txt");
  Put(a, "first");
  Put(b, "second");
  const int32_t age = ToDosDateTime({2004, 2, 29, 23, 58, 46});
  ASSERT_TRUE(p().SetFileAge(a, age));

  EXPECT_FALSE(p().CopyFile(a, b, true));
  EXPECT_EQ(Get(b), "second");
  EXPECT_TRUE(p().CopyFile(a, b, false));
  EXPECT_EQ(Get(b), "first");
  EXPECT_EQ(p().FileAge(b), age);  // a copy keeps the last-write time
  EXPECT_FALSE(p().CopyFile(Path("none"), c, false));
  EXPECT_FALSE(p().FileExists(c));
  EXPECT_FALSE(p().CopyFile(a, Path("none\\c.txt"), false));

  EXPECT_FALSE(p().MoveFile(a, b));  // an existing target stays
  EXPECT_EQ(Get(b), "first");
  EXPECT_TRUE(p().MoveFile(a, c));
  EXPECT_FALSE(p().FileExists(a));
  EXPECT_EQ(Get(c), "first");
  EXPECT_FALSE(p().MoveFile(Path("none"), a));

  Put(a, "newer");
  EXPECT_TRUE(p().ReplaceFile(a, c));
  EXPECT_FALSE(p().FileExists(a));
  EXPECT_EQ(Get(c), "newer");
  EXPECT_TRUE(p().ReplaceFile(c, a));  // to a free name as well
  EXPECT_EQ(Get(a), "newer");

  EXPECT_TRUE(p().DeleteFile(a));
  EXPECT_FALSE(p().DeleteFile(a));
  EXPECT_FALSE(p().DeleteFile(machine_.Scratch()));  // folders are not files

  // Folders move with their content.
  ASSERT_TRUE(p().CreateDirectory(Path("from")));
  Put(Path("from\\x.txt"), "x");
  EXPECT_TRUE(p().MoveFile(Path("from"), Path("to")));
  EXPECT_EQ(Get(Path("to\\x.txt")), "x");
  EXPECT_FALSE(p().DirectoryExists(Path("from")));
}

TEST_F(FilesContract, AttributesAndWhatReadOnlyForbids) {
  const std::string f = Path("attr.txt");
  Put(f, "x");
  EXPECT_EQ(p().GetFileAttributes(f) & (faDirectory | faReadOnly | faHidden), 0u);
  EXPECT_TRUE(p().GetFileAttributes(machine_.Scratch()) & faDirectory);
  EXPECT_EQ(p().GetFileAttributes(Path("none")), faInvalid);

  ASSERT_TRUE(p().SetFileAttributes(f, faReadOnly | faHidden | faSysFile));
  EXPECT_EQ(p().GetFileAttributes(f) & (faReadOnly | faHidden | faSysFile), faReadOnly | faHidden | faSysFile);
  EXPECT_FALSE(p().DeleteFile(f));
  EXPECT_EQ(Get(f), "x");
  // (Writing is refused as well, except by Wine run as root; the emulated machine's own
  // tests check that.) Reading is still allowed, and a copy carries the read-only bit along.
  EXPECT_TRUE(p().CopyFile(f, Path("copy.txt"), false));
  EXPECT_TRUE(p().GetFileAttributes(Path("copy.txt")) & faReadOnly);

  std::vector<DirEntry> entries;
  ASSERT_TRUE(p().ListDirectory(machine_.Scratch(), entries));
  auto it = std::find_if(entries.begin(), entries.end(), [](const DirEntry& e) { return e.name == "attr.txt"; });
  ASSERT_NE(it, entries.end());
  EXPECT_EQ(it->attributes & (faReadOnly | faHidden), faReadOnly | faHidden);

  ASSERT_TRUE(p().SetFileAttributes(f, faNormal));
  EXPECT_EQ(p().GetFileAttributes(f) & (faReadOnly | faHidden | faSysFile), 0u);
  EXPECT_TRUE(p().DeleteFile(f));
  EXPECT_FALSE(p().SetFileAttributes(f, faNormal));
}

TEST_F(FilesContract, FileAgeRoundTrips) {
  const std::string f = Path("age.txt");
  Put(f, "x");
  for (const LocalTime& t : {LocalTime{1980, 1, 1, 0, 0, 0}, LocalTime{1999, 12, 31, 23, 59, 58},
                             LocalTime{2021, 6, 15, 13, 45, 30}, LocalTime{2037, 3, 1, 12, 0, 2}}) {
    const int32_t dos = ToDosDateTime(t);
    ASSERT_TRUE(p().SetFileAge(f, dos)) << t.year;
    EXPECT_EQ(p().FileAge(f), dos) << t.year;
  }
  std::vector<DirEntry> entries;
  ASSERT_TRUE(p().ListDirectory(machine_.Scratch(), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].dosTime, ToDosDateTime({2037, 3, 1, 12, 0, 2}));
  EXPECT_EQ(entries[0].size, 1);
  EXPECT_FALSE(p().SetFileAge(f, ToDosDateTime({2020, 13, 40, 0, 0, 0})));
  EXPECT_EQ(p().FileAge(Path("none")), -1);
  EXPECT_FALSE(p().SetFileAge(Path("none"), ToDosDateTime({2020, 1, 1, 0, 0, 0})));
}

TEST_F(FilesContract, FoldersAndListing) {
  const std::string dir = Path("dir");
  EXPECT_TRUE(p().CreateDirectory(dir));
  EXPECT_FALSE(p().CreateDirectory(dir));
  EXPECT_FALSE(p().CreateDirectory(Path("x\\y")));  // one level at a time
  Put(Path("file"), "f");
  EXPECT_FALSE(p().CreateDirectory(Path("file")));  // the name is taken by a file

  std::vector<DirEntry> entries{DirEntry()};
  EXPECT_TRUE(p().ListDirectory(dir, entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(p().ListDirectory(Path("none"), entries));
  EXPECT_FALSE(p().ListDirectory(Path("file"), entries));

  Put(dir + "\\one.txt", "1");
  Put(dir + "\\two.txt", "22");
  ASSERT_TRUE(p().CreateDirectory(dir + "\\sub"));
  ASSERT_TRUE(p().ListDirectory(dir + "\\", entries));
  ASSERT_EQ(entries.size(), 3u);
  for (const DirEntry& e : entries) {
    if (e.name == "sub") {
      EXPECT_TRUE(e.attributes & faDirectory);
    } else {
      EXPECT_FALSE(e.attributes & faDirectory) << e.name;
      EXPECT_EQ(e.size, e.name == "one.txt" ? 1 : 2);
    }
  }

  EXPECT_FALSE(p().RemoveDirectory(dir));  // not empty
  EXPECT_FALSE(p().RemoveDirectory(Path("file")));
  EXPECT_TRUE(p().RemoveDirectory(dir + "\\sub"));
  EXPECT_TRUE(p().DeleteFile(dir + "\\one.txt"));
  EXPECT_TRUE(p().DeleteFile(dir + "\\two.txt"));
  EXPECT_TRUE(p().RemoveDirectory(dir));
  EXPECT_FALSE(p().DirectoryExists(dir));
  EXPECT_FALSE(p().RemoveDirectory(dir));
}

TEST_F(FilesContract, RelativePathsFollowTheCurrentDirectory) {
  ASSERT_TRUE(p().CreateDirectory(Path("here")));
  const std::string old = p().GetCurrentDirectory();
  ASSERT_TRUE(p().SetCurrentDirectory(Path("here")));
  EXPECT_EQ(p().GetCurrentDirectory(), Path("here"));
  Put("rel.txt", "relative");
  EXPECT_EQ(Get(Path("here\\rel.txt")), "relative");
  EXPECT_EQ(Get("..\\here\\.\\rel.txt"), "relative");
  EXPECT_EQ(Get(Path("here/rel.txt")), "relative");  // forward slashes separate too
  EXPECT_FALSE(p().SetCurrentDirectory(Path("none")));
  EXPECT_FALSE(p().SetCurrentDirectory(Path("here\\rel.txt")));
  ASSERT_TRUE(p().SetCurrentDirectory(old));
  EXPECT_FALSE(p().FileExists("rel.txt"));
}

TEST_F(FilesContract, ShortPathReachesTheSameFile) {
  const std::string longName = Path(kSave + " with a long name.data");
  Put(longName, "short");
  Put(Path("SHORT.TXT"), "s");
  const std::string shortName = p().ShortPath(longName);
  ASSERT_FALSE(shortName.empty());
  EXPECT_EQ(Get(shortName), "short");
  // An 8.3 name stays as it is.
  EXPECT_EQ(p().ShortPath(Path("SHORT.TXT")), p().ShortPath(machine_.Scratch()) + "SHORT.TXT");
  EXPECT_EQ(p().ShortPath(Path("none")), "");
}

TEST_F(FilesContract, ProfileStrings) {
  const std::string ini = Path("test.ini");
  EXPECT_EQ(p().ReadProfileString(ini, "rename", "NUL", "none"), "none");
  EXPECT_TRUE(p().WriteProfileString(ini, "rename", "NUL", "C:\\PROGRA~1\\X.EXE"));
  EXPECT_TRUE(p().WriteProfileString(ini, "セクション", "キー", "値ソ"));
  EXPECT_EQ(p().ReadProfileString(ini, "RENAME", "nul", ""), "C:\\PROGRA~1\\X.EXE");
  EXPECT_EQ(p().ReadProfileString(ini, "セクション", "キー", ""), "値ソ");
  EXPECT_TRUE(p().WriteProfileString(ini, "rename", "NUL", "C:\\OTHER.EXE"));
  EXPECT_EQ(p().ReadProfileString(ini, "rename", "NUL", ""), "C:\\OTHER.EXE");
  EXPECT_EQ(p().ReadProfileString(ini, "rename", "missing", "既定"), "既定");
  EXPECT_EQ(p().ReadProfileString(ini, "missing", "NUL", "既定"), "既定");
}

TEST_F(FilesContract, SystemFoldersAndFreeSpace) {
  const std::string temp = p().TempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(p().DirectoryExists(temp));
  EXPECT_TRUE(p().DirectoryExists(p().WindowsDirectory()));
  EXPECT_TRUE(p().DirectoryExists(p().SystemDirectory()));
  for (int csidl : {csidlPrograms, csidlStartMenu, csidlDesktopDirectory, csidlPersonal, csidlAppData,
                    csidlLocalAppData, csidlCommonPrograms, csidlWindows, csidlSystem, csidlProgramFiles}) {
    std::string path;
    ASSERT_TRUE(p().SpecialFolder(csidl, path)) << csidl;
    EXPECT_GT(path.size(), 3u) << csidl;
    EXPECT_EQ(path.substr(1, 2), ":\\") << csidl;
    EXPECT_TRUE(p().DirectoryExists(path)) << path;
  }

  DiskSpace space;
  ASSERT_TRUE(p().DiskFreeSpaceEx(machine_.Scratch(), space));
  EXPECT_GT(space.freeToCaller, 0);
  EXPECT_LE(space.freeToCaller, space.total);
  EXPECT_LE(space.totalFree, space.total);
  DiskClusters clusters;
  ASSERT_TRUE(p().DiskFreeSpace(machine_.Scratch().substr(0, 3), clusters));
  EXPECT_GT(clusters.bytesPerSector * clusters.sectorsPerCluster, 0u);
  EXPECT_GT(clusters.freeClusters, 0u);
  EXPECT_LE(clusters.freeClusters, clusters.totalClusters);
  EXPECT_EQ(p().DriveType(machine_.Scratch().substr(0, 3)), static_cast<uint32_t>(dtFixed));
  EXPECT_TRUE(p().LogicalDrives() & (1u << (machine_.Scratch()[0] - 'A')));
}

// Making a folder with its parents: drive roots are there already, a UNC path never
// turns into a relative one, names whose trail byte is a backslash stay whole.
TEST_F(FilesContract, ForceDirectoriesFromEveryKindOfRoot) {
  const std::string drive = machine_.Scratch().substr(0, 2);  // "C:"
  Put(Path("file"), "x");
  const std::string before = p().GetCurrentDirectory();
  ASSERT_TRUE(p().SetCurrentDirectory(machine_.Scratch()));
  struct Case {
    std::string path;
    bool made;
    std::vector<std::string> folders;  // below Scratch, there afterwards
  };
  const std::vector<Case> cases = {
      {Path("a\\b\\c"), true, {"a", "a\\b", "a\\b\\c"}},
      {Path("d\\e\\"), true, {"d", "d\\e"}},
      {Path("f\\\\g"), true, {"f", "f\\g"}},
      {Path("\x83\x5C\\\x95\x5C"), true, {"\x83\x5C", "\x83\x5C\\\x95\x5C"}},  // "ソ\表"
      {drive + "\\", true, {}},
      {drive, true, {}},
      {"rel\\x", true, {"rel", "rel\\x"}},  // below the current folder
      {"\\\\nohost\\noshare\\x", false, {}},
      {Path("file\\sub"), false, {}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ForceDirectories(p(), c.path), c.made);
    for (const std::string& f : c.folders) EXPECT_TRUE(p().DirectoryExists(Path(f))) << f;
  }
  // Neither the UNC path nor the file in the way left folders of their names behind.
  EXPECT_FALSE(p().DirectoryExists(Path("nohost")));
  EXPECT_TRUE(p().FileExists(Path("file")));
  EXPECT_FALSE(p().DirectoryExists(Path("file\\sub")));
  p().SetCurrentDirectory(before);
}

}  // namespace
}  // namespace zarn
