// Splitting the program's command line and the small name rules of the launch sequence.
#include <gtest/gtest.h>

#include "launcher/command_line.h"
#include "launcher/launch_rules.h"

namespace zarn {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, QuotesOnlyGroupAndKeepABackslashBeforeThem) {
  EXPECT_EQ(SplitCommandLine("setup.exe \"D:\\\""), (Words{"setup.exe", "D:\\"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x.exe\" \"C:\\My Games\\\""),
            (Words{"C:\\Program Files\\x.exe", "C:\\My Games\\"}));
  // The parameter the launcher builds round-trips.
  EXPECT_EQ(SplitCommandLine("x " + QuoteParameter("E:\\セットアップ\\")), (Words{"x", "E:\\セットアップ\\"}));
  EXPECT_EQ(QuoteParameter("D:\\"), "\"D:\\\"");
}

TEST(CommandLine, BlanksAndQuotesInsideWords) {
  EXPECT_EQ(SplitCommandLine("  a\tb  \r\n c  "), (Words{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("x a\"b c\"d"), (Words{"x", "ab cd"}));
  EXPECT_EQ(SplitCommandLine("a \"unterminated word"), (Words{"a", "unterminated word"}));
  EXPECT_EQ(SplitCommandLine(""), Words{});
  EXPECT_EQ(SplitCommandLine("   "), Words{});
  // Empty quotes before a word are no word of their own.
  EXPECT_EQ(SplitCommandLine("a \"\" b"), (Words{"a", "b"}));
  EXPECT_EQ(SplitCommandLine("a \"\"\"\""), (Words{"a"}));
  // A trail byte is never a separator or a quote (ソ ends in 0x5C, 表 in 0x5C too).
  EXPECT_EQ(SplitCommandLine("x \"C:\\ソ表\\\""), (Words{"x", "C:\\ソ表\\"}));
}

TEST(LaunchNames, GameMutexNameFromTheInstallFolder) {
  EXPECT_EQ(InstallPathMutexName("C:\\Games\\Story"), "C:-GAMES-STORY-");
  EXPECT_EQ(InstallPathMutexName("C:\\Games\\Story\\"), "C:-GAMES-STORY-");
  // The second byte of ソ (0x5C) is no backslash; kana stay, Latin letters of every width
  // change.
  EXPECT_EQ(InstallPathMutexName("d:\\ソフト\\ｇａｍｅ\\"), "D:-ソフト-ＧＡＭＥ-");
  EXPECT_EQ(InstallPathMutexName("c:\\αβ\\ая"), "C:-ΑΒ-АЯ-");
  EXPECT_EQ(InstallPathMutexName("c:\\он"), "C:-ОН-");  // either side of the gap at 0x847F
  EXPECT_EQ(InstallPathMutexName("x"), "X-");
}

TEST(LaunchNames, DriveOnlyForTheRootOfADrive) {
  EXPECT_EQ(CDDriveValue("D:\\setup.exe"), "D:");
  EXPECT_EQ(CDDriveValue("Q:\\SETUP.EXE"), "Q:");
  EXPECT_EQ(CDDriveValue("D:\\disc1\\setup.exe"), "");
  EXPECT_EQ(CDDriveValue("\\\\server\\share\\setup.exe"), "");
  EXPECT_EQ(ProgramFolder("D:\\a\\setup.exe"), "D:\\a\\");
  EXPECT_EQ(ProgramFolder("setup.exe"), "");
  EXPECT_EQ(ProgramFolder("D:\\ソ\\x.exe"), "D:\\ソ\\");
}

TEST(LaunchNames, TemporaryCopies) {
  EXPECT_EQ(TemporaryCopyName(-1), "~zinstall.exe");
  EXPECT_EQ(TemporaryCopyName(0), "~zinstall0.exe");
  EXPECT_EQ(TemporaryCopyName(98), "~zinstall98.exe");
  const std::string temp = "C:\\WINDOWS\\TEMP\\";
  EXPECT_TRUE(IsTemporaryCopy("C:\\WINDOWS\\TEMP\\~zinstall.exe", temp));
  EXPECT_TRUE(IsTemporaryCopy("c:\\windows\\temp\\~ZINSTALL12.EXE", "C:\\WINDOWS\\TEMP"));
  EXPECT_FALSE(IsTemporaryCopy("C:\\WINDOWS\\TEMP\\setup.exe", temp));
  EXPECT_FALSE(IsTemporaryCopy("C:\\WINDOWS\\TEMP\\~zinstallx.exe", temp));
  EXPECT_FALSE(IsTemporaryCopy("C:\\WINDOWS\\TEMP\\sub\\~zinstall.exe", temp));
  EXPECT_FALSE(IsTemporaryCopy("D:\\~zinstall.exe", temp));
}

}  // namespace
}  // namespace zarn
