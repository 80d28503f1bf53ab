#include "runtime/sjis.h"

#include <gtest/gtest.h>

#include "runtime/error.h"

namespace zarn {
namespace {

// "ソ" is 0x83 0x5C: its second byte is a backslash that is not a separator.
const std::string kSo = "ソ";

TEST(Sjis, LiteralsAreShiftJis) {
  ASSERT_EQ(kSo.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(kSo[0]), 0x83);
  EXPECT_EQ(kSo[1], '\\');
}

TEST(Sjis, BackslashSearchSkipsTrailBytes) {
  EXPECT_EQ(LastBackslash(kSo), std::string::npos);
  EXPECT_EQ(LastBackslash("C:\\" + kSo), 2u);
  EXPECT_FALSE(EndsWithDelimiter("C:\\" + kSo, '\\'));
  EXPECT_TRUE(EndsWithDelimiter("C:\\" + kSo + "\\", '\\'));
  EXPECT_EQ(FindDelimiter(kSo + "\\a", '\\'), 2u);
  auto parts = SplitDelimited("a\\" + kSo + "\\b", '\\');
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[1], kSo);
  EXPECT_EQ(ReplaceDelimiter("C:\\" + kSo + "\\", '\\', '-'), "C:-" + kSo + "-");
}

TEST(Sjis, CaseFoldingTouchesAsciiOnly) {
  // "Ａ" (full-width A) stays; a trail byte in the ASCII letter range is not folded:
  // "ア" is 0x83 0x41 and must not become 0x83 0x61.
  const std::string a = "ア";
  ASSERT_EQ(a[1], 'A');
  EXPECT_EQ(LowerCase("ABC" + a), "abc" + a);
  EXPECT_EQ(UpperCase("c:\\games\\story"), "C:\\GAMES\\STORY");
  EXPECT_TRUE(SameText("Install.DAT", "install.dat"));
  EXPECT_FALSE(SameText("ア", "ａ"));
  EXPECT_LT(CompareText("a", "B"), 0);
}

TEST(Sjis, FormatDirectives) {
  EXPECT_EQ(Format("%s:ファイルがありません", "x.dat"), "x.dat:ファイルがありません");
  EXPECT_EQ(Format("%s.%.3d", "game", 1), "game.001");
  EXPECT_EQ(Format("%s.%.3d", "game", 1000), "game.1000");
  EXPECT_EQ(Format("%2f MB", 1.5), "1.50 MB");
  EXPECT_EQ(Format("%2f", 1234.567), "1234.57");
  EXPECT_EQ(Format("(%d/%d)", 3, 10), "(3/10)");
  EXPECT_EQ(Format("エラーコード[%d]", -2), "エラーコード[-2]");
  EXPECT_EQ(Format("100%%"), "100%");
  EXPECT_THROW(Format("%d %d", 1), EConvertError);
}

TEST(Sjis, StrToInt) {
  EXPECT_EQ(StrToInt("108"), 108);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_THROW(StrToInt("1a"), EConvertError);
  EXPECT_THROW(StrToInt(""), EConvertError);
  EXPECT_THROW(StrToInt("99999999999"), EConvertError);
}

}  // namespace
}  // namespace zarn
