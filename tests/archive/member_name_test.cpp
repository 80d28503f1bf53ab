#include "archive/member_name.h"

#include <gtest/gtest.h>

#include "runtime/error.h"

namespace zarn {
namespace {

TEST(MemberName, PlainRelativeNamesPass) {
  for (const char* n : {"install.dat", "bgm\\op.ogg", "a/b\\c.txt", "..a", "a..", "x\\.hidden", "日本語\\ソフト.txt"})
    EXPECT_TRUE(IsSafeRelativeName(n, true)) << n;
}

TEST(MemberName, NamesThatLeaveTheFolderAreRefused) {
  for (const char* n : {"", "\\etc\\passwd", "/etc/passwd", "C:\\x", "C:x", "a:b", "\\\\server\\share\\x",
                        "\\\\?\\C:\\x", "//server/x", "..", "..\\x", "a\\..\\..\\x", "a/../x", "a\\\\b",
                        "a\\", "a/", "a\\b\\..", "tab\there", "nl\nx", "del\x7f"}) {
    EXPECT_FALSE(IsSafeRelativeName(n, false)) << n;
    EXPECT_FALSE(IsSafeRelativeName(n, true)) << n;
  }
}

TEST(MemberName, ShiftJisTrailBackslashIsNotASeparator) {
  // "ソ" is 0x83 0x5C: its second byte is no separator, so "ソ" is one component, and
  // "..ソ" (dots followed by a character) is not "..".
  EXPECT_TRUE(IsSafeRelativeName("\x83\x5C", true));
  EXPECT_TRUE(IsSafeRelativeName("..\x83\x5C", true));
  // "aソ": the backslash after the lead byte belongs to the character; so a name whose
  // second byte 0x5C follows a lead byte has no empty component.
  EXPECT_TRUE(IsSafeRelativeName("a\x83\\", true));
  EXPECT_TRUE(IsSafeRelativeName("a\x83", true));
  EXPECT_FALSE(IsSafeRelativeName("\x83\\\\..", true));
}

TEST(MemberName, WindowsDeviceNamesAndDotNames) {
  for (const char* n : {"CON", "con.txt", "a\\Nul", "aux.", "COM1", "lpt9.log", "PRN ", "conin$", "a\\. .", "...",
                        "x\\. "}) {
    EXPECT_FALSE(IsSafeRelativeName(n, true)) << n;
    EXPECT_TRUE(IsSafeRelativeName(n, false)) << n;
  }
  for (const char* n : {"console", "COM0", "COM10", "lpt", "nul_x", "a.con"}) EXPECT_TRUE(IsSafeRelativeName(n, true)) << n;
}

TEST(MemberName, CheckNamesTheMember) {
  try {
    CheckMemberName("..\\evil.exe", false);
    FAIL();
  } catch (const EFormatError& e) {
    EXPECT_NE(std::string(e.what()).find("..\\evil.exe"), std::string::npos);
  }
  EXPECT_NO_THROW(CheckMemberName("good.exe", false));
}

}  // namespace
}  // namespace zarn
