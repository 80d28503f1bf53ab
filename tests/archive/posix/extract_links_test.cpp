// Extraction below a folder must not follow links that lead out of it (Linux: host symlinks
// of the emulated machine show as reparse points).
#include <gtest/gtest.h>
#include <unistd.h>

#include "archive/member_name.h"
#include "platform/posix/emulated_machine.h"
#include "runtime/error.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

TEST(ExtractTarget, CreatesFoldersAndRefusesLinksOnTheWay) {
  testing::TestMachine m;
  auto& machine = dynamic_cast<EmulatedMachine&>(m.platform());
  Platform& p = m.platform();
  std::string dest = m.Scratch() + "dest";
  ASSERT_TRUE(p.CreateDirectory(dest));
  ASSERT_TRUE(p.CreateDirectory(m.Scratch() + "outside"));

  std::string target = PrepareMemberTarget(p, dest, "a/b\\c.txt");
  EXPECT_EQ(target, dest + "\\a\\b\\c.txt");
  EXPECT_TRUE(p.DirectoryExists(dest + "\\a\\b"));

  // dest\link -> ..\outside: a member below the link would land outside dest.
  ASSERT_EQ(symlink(machine.HostPath(m.Scratch() + "outside").c_str(), (machine.HostPath(dest) + "/link").c_str()), 0);
  EXPECT_NE(p.GetFileAttributes(dest + "\\link") & faReparsePoint, 0u);
  EXPECT_THROW(PrepareMemberTarget(p, dest, "link\\evil.txt"), EFormatError);
  // A link as the file itself would be written through.
  ASSERT_EQ(symlink((machine.HostPath(m.Scratch() + "outside") + "/x").c_str(), (machine.HostPath(dest) + "/f").c_str()), 0);
  EXPECT_THROW(PrepareMemberTarget(p, dest, "f"), EFormatError);
  // A file where a folder is needed.
  ASSERT_TRUE(p.OpenFile(target, FileAccess::ReadWrite, FileShare::None, FileCreate::CreateAlways));
  EXPECT_THROW(PrepareMemberTarget(p, dest, "a\\b\\c.txt\\d"), EZarnError);
  EXPECT_THROW(PrepareMemberTarget(p, dest, "..\\x"), EFormatError);
  EXPECT_FALSE(p.FileExists(m.Scratch() + "outside\\evil.txt"));
}

TEST(ExtractTarget, ManyMembersCheckFoldersOnceAndNeverWriteThroughALink) {
  testing::TestMachine m;
  auto& machine = dynamic_cast<EmulatedMachine&>(m.platform());
  Platform& p = m.platform();
  std::string dest = m.Scratch() + "dest";
  ASSERT_TRUE(p.CreateDirectory(dest));
  TMemberTargets targets(p, dest);
  std::string a = targets.Prepare("x\\a.txt");
  EXPECT_EQ(a, dest + "\\x\\a.txt");
  ASSERT_TRUE(targets.Create(a, "x\\a.txt"));
  // An existing file is truncated; a second Create of the same path works.
  EXPECT_TRUE(targets.Create(a, "x\\a.txt"));
  // A dangling link in the file's place: creating it would create the link's target.
  std::string outside = machine.HostPath(m.Scratch()) + "/outside.txt";
  ASSERT_EQ(symlink(outside.c_str(), (machine.HostPath(dest) + "/x/b.txt").c_str()), 0);
  std::string b = targets.Prepare("X\\b.txt");
  EXPECT_THROW(targets.Create(b, "X\\b.txt"), EFormatError);
  EXPECT_FALSE(p.FileExists(m.Scratch() + "outside.txt"));
  // A folder in the file's place.
  ASSERT_TRUE(p.CreateDirectory(dest + "\\x\\dir"));
  EXPECT_THROW(targets.Create(targets.Prepare("x\\dir"), "x\\dir"), EFCreateError);
}

TEST(ExtractTarget, ListingShowsLinksAsReparsePoints) {
  testing::TestMachine m;
  auto& machine = dynamic_cast<EmulatedMachine&>(m.platform());
  Platform& p = m.platform();
  ASSERT_TRUE(p.CreateDirectory(m.Scratch() + "real"));
  ASSERT_EQ(symlink(machine.HostPath(m.Scratch() + "real").c_str(), (machine.HostPath(m.Scratch()) + "/alias").c_str()), 0);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(p.ListDirectory(m.Scratch(), entries));
  for (const DirEntry& d : entries) {
    EXPECT_NE(d.attributes & faDirectory, 0u) << d.name;
    EXPECT_EQ((d.attributes & faReparsePoint) != 0, d.name == "alias") << d.name;
  }
}

}  // namespace
}  // namespace zarn
