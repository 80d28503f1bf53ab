// Path and text helpers that need no machine.
#include "settings/paths.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

TEST(PathText, AddBackslash) {
  EXPECT_EQ(AddBackslash(""), "\\");
  EXPECT_EQ(AddBackslash("C:\\Games"), "C:\\Games\\");
  EXPECT_EQ(AddBackslash("C:\\Games\\"), "C:\\Games\\");
  // ソ is 0x83 0x5C: its second byte is not a backslash.
  ASSERT_EQ(std::string("ソ"), "\x83\x5C");
  EXPECT_EQ(AddBackslash("C:\\ソ"), "C:\\ソ\\");
  EXPECT_EQ(AddBackslash("C:\\ソ\\"), "C:\\ソ\\");
}

TEST(PathText, ParentDir) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},          {"Maker\\Story", "Maker"}, {"Maker", ""},          {"A\\B\\", "A"},
      {"A\\B\\C", "A\\B"}, {"\\Maker", ""},         {"Maker\\ソ", "Maker"}, {"表\\ソ\\", "表"},
      {"ソ", ""},         {"\\", ""},
  };
  for (const auto& c : cases) {
    std::string p = c.in;
    ParentDir(p);
    EXPECT_EQ(p, c.out) << c.in;
  }
}

TEST(PathText, FileNameParts) {
  EXPECT_EQ(ExtractFileExt("C:\\a.b\\file.WAV"), ".WAV");
  EXPECT_EQ(ExtractFileExt("C:\\a.b\\file"), "");
  EXPECT_EQ(ExtractFileExt("archive.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("ソ.txt"), ".txt");
  EXPECT_EQ(ExtractFileName("C:\\Games\\ソ\\game.exe"), "game.exe");
  EXPECT_EQ(ExtractFileName("C:game.exe"), "game.exe");
  EXPECT_EQ(ExtractFileName("C:\\表ソ"), "表ソ");
  EXPECT_EQ(ExtractFileDrive("C:\\WINDOWS\\system32"), "C:");
  EXPECT_EQ(ExtractFileDrive("\\\\server\\share\\dir"), "\\\\server\\share");
  EXPECT_EQ(ExtractFileDrive("WINDOWS"), "");
}

TEST(PathText, FormatThousands) {
  EXPECT_EQ(FormatThousands(0), "0");
  EXPECT_EQ(FormatThousands(999), "999");
  EXPECT_EQ(FormatThousands(1000), "1,000");
  EXPECT_EQ(FormatThousands(12345), "12,345");
  EXPECT_EQ(FormatThousands(71628), "71,628");
  EXPECT_EQ(FormatThousands(100000), "100,000");
  EXPECT_EQ(FormatThousands(1234567), "1,234,567");
  EXPECT_EQ(FormatThousands(INT64_MAX), "9,223,372,036,854,775,807");
  EXPECT_EQ(FormatThousands(-1234), "-1,234");
}

TEST(PathText, CleanFolderName) {
  EXPECT_EQ(CleanFolderName("a\\b/c:d,e;f*g?h\"i<j>k|l"), "a_b_c_d_e_f_g_h_i_j_k_l");
  // Trail bytes 0x5C (ソ) and 0x7C (ポ is 0x83 0x7C) belong to their characters.
  ASSERT_EQ(std::string("ポ"), "\x83\x7C");
  EXPECT_EQ(CleanFolderName("ソフト:ポ?"), "ソフト_ポ_");
}

TEST(PathText, ProductKeyPath) {
  EXPECT_EQ(ProductKeyPath("\\Maker\\Story"), "Software\\Maker\\Story");
  EXPECT_EQ(ProductKeyPath("Maker\\Story"), "Software\\Maker\\Story");
  EXPECT_EQ(ProductKeyPath(""), "");
  // Nothing that would name Software itself.
  EXPECT_EQ(ProductKeyPath("\\"), "");
  EXPECT_EQ(ProductKeyPath("\\\\"), "");
}

}  // namespace
}  // namespace zarn
