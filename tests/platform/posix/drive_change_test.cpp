// Changing the disc in a drive of the emulated machine while it runs.
#include "platform/posix/machine_fixture.h"

namespace zarn {
namespace testing {
namespace {

TEST(DriveChange, AnotherFolderTakesTheDriveLetter) {
  MachineFolder folder;
  mkdir(folder.Host("disc1").c_str(), 0755);
  mkdir(folder.Host("disc2").c_str(), 0755);
  WriteHost(folder.Host("disc1/install.dat"), "one");
  WriteHost(folder.Host("disc2/INSTALL.DAT"), "two");
  MachineOptions o = folder.Options();
  o.drives.push_back({'D', folder.Host("disc1"), dtCDROM, "DISC1"});
  EmulatedMachine m(o);
  EXPECT_EQ(Get(m, "D:\\install.dat"), "one");
  auto held = m.OpenFile("D:\\install.dat", FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
  ASSERT_TRUE(held);

  EXPECT_TRUE(m.MapDrive({'d', folder.Host("disc2"), dtCDROM, "DISC2"}));
  EXPECT_EQ(Get(m, "D:\\install.dat"), "two");
  EXPECT_EQ(m.DriveType("D:\\"), uint32_t(dtCDROM));
  char first = 0;
  EXPECT_EQ(held->Read(&first, 1), 1);
  EXPECT_EQ(first, 'o') << "a file opened before the change reads on";

  // A folder that is not there leaves the drive as it was.
  EXPECT_FALSE(m.MapDrive({'D', folder.Host("disc3"), dtCDROM, ""}));
  EXPECT_EQ(Get(m, "D:\\install.dat"), "two");
  // A new letter is a new drive.
  EXPECT_TRUE(m.MapDrive({'E', folder.Host("disc1"), dtCDROM, ""}));
  EXPECT_NE(m.LogicalDrives() & (1u << 4), 0u);
  EXPECT_EQ(Get(m, "E:\\install.dat"), "one");
}

}  // namespace
}  // namespace testing
}  // namespace zarn
