// The rule that keeps the program group, the save folder, the registry key and the
// destination inside what the game owns, checked against hostile values.
#include "settings/ownership.h"

#include <gtest/gtest.h>

#include "runtime/error.h"
#include "settings/install_settings.h"

namespace zarn {
namespace {

TEST(OwnershipTest, ProgramGroupNames) {
  struct Case {
    const char* title;
    const char* group;  // "" = no usable name
  } cases[] = {
      {"物語", "物語"},
      {"Story 2", "Story 2"},
      {"\x83\x5C\x83\x5C", "\x83\x5C\x83\x5C"},  // "ソソ": trail bytes 0x5C are no backslash
      {"x/../../../../../..", "x／..／..／..／..／..／"},
      {"x\\..\\..\\WINDOWS", "x＼..＼..＼WINDOWS"},
      {"What? Story: 1*2 \"a\" <b> |c|", "What？ Story： 1＊2 ”a” ＜b＞ ｜c｜"},
      {"A/B", "A／B"},
      {"  Story. . ", "Story"},
      {"Sto\try", "Sto ry"},
      {"C:\\", "C：＼"},
      {"\\\\server\\share", "＼＼server＼share"},
      {"..", ""},
      {".", ""},
      {"", ""},
      {"   ", ""},
      {". .", ""},
      {"CON", ""},
      {"con.txt", ""},
      {"LPT1", ""},
      {"COM", "COM"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgramGroupName(c.title), c.group) << c.title;
    // Whatever the title, the name is one folder strictly inside the special folder.
    if (*c.group) {
      EXPECT_TRUE(IsInsideFolder(ProgramGroupName(c.title))) << c.title;
    }
  }
}

TEST(OwnershipTest, FoldersStrictlyInside) {
  for (const char* good : {"物語", "Maker\\物語\\", "Maker/物語", "a.b", "\x83\x5C", "\x83\x5C\\x"})
    EXPECT_TRUE(IsInsideFolder(good)) << good;
  for (const char* bad : {"", ".", "..", "...", ". ", "\\Games", "/Games", "a\\..\\b", "a/../b", "a\\\\b", "a//b",
                          "C:\\Games", "C:x", ".. ", "a\\..", "x/../../..", "a\\b.", "a\\CON", "a?b", "a\\b\\\\"})
    EXPECT_FALSE(IsInsideFolder(bad)) << bad;
  EXPECT_TRUE(IsPlainName("物語のアンインストール"));
  EXPECT_FALSE(IsPlainName("a\\b"));
  EXPECT_FALSE(IsPlainName("a/b"));
}

TEST(OwnershipTest, SaveFolderNames) {
  EXPECT_EQ(SaveFolderName("物語"), "物語");
  EXPECT_EQ(SaveFolderName("a:b?c"), "a_b_c");
  EXPECT_EQ(SaveFolderName("../.."), ".._..");  // one name, inside the folder
  EXPECT_EQ(SaveFolderName("\x83\x5C"), "\x83\x5C");
  for (const char* none : {"", ".", "..", " .. ", "..."}) EXPECT_EQ(SaveFolderName(none), "") << none;
}

TEST(OwnershipTest, RegistryKeysOfTheGameOnly) {
  for (const char* good : {"Maker\\Story", "\\Maker\\Story", "Maker\\Story\\", "Story", "物語\\\x83\x5C",
                           "Maker/../Microsoft", "MicrosoftGames", "Maker\\Microsoft"})
    EXPECT_TRUE(IsOwnedRegistryKey(good)) << good;
  for (const char* bad : {"", "\\", "\\\\", "\\\\\\", "Microsoft", "\\Microsoft\\Windows", "MICROSOFT\\x", "classes",
                          "Classes\\.txt", "Policies", "Wow6432Node\\Maker", "Wine", "Clients\\Mail",
                          "RegisteredApplications", "Maker\\\\Story", "\\\\Maker", "..", "Maker\\..",
                          "Maker\\..\\..\\Microsoft", ".\\Maker", "Mak\ter"})
    EXPECT_FALSE(IsOwnedRegistryKey(bad)) << bad;
}

TEST(OwnershipTest, AbsoluteDestinations) {
  for (const char* good : {"C:\\", "C:\\Games", "d:\\Games\\物語", "C:\\Program Files\\Zarn\\\x83\x5C",
                           "\\\\server\\share", "\\\\server\\share\\Games"})
    EXPECT_TRUE(IsAbsoluteFolder(good)) << good;
  for (const char* bad : {"", "game", "Games\\物語", "\\Games", "C:", "C:Games", "C:/Games", "C:\\Games/物語",
                          "C:\\Games\\..\\..", "C:\\.\\Games", "C:\\Games\\..", "\\\\server", "\\\\server\\",
                          "1:\\Games", "C:\\a?b", "C:\\a\\\\b"})
    EXPECT_FALSE(IsAbsoluteFolder(bad)) << bad;
}

TEST(OwnershipTest, AMediumRecordIsRefusedWithAMessage) {
  TZarnInstallSet s;
  s.Title = "物語";
  s.RegistryKey = "Maker\\Story";
  EXPECT_NO_THROW(CheckOwnedSettings(s));
  s.RegistryKey = "";  // no key: nothing is written to the registry
  EXPECT_NO_THROW(CheckOwnedSettings(s));
  s.RegistryKey = "\\Microsoft\\Windows";
  try {
    CheckOwnedSettings(s);
    ADD_FAILURE() << "a system key was accepted";
  } catch (const EZarnError& e) {
    EXPECT_NE(std::string(e.what()).find("レジストリキー"), std::string::npos);
  }
  s.RegistryKey = "Maker\\Story";
  for (const char* title : {"", "..", " . "}) {
    s.Title = title;
    try {
      CheckOwnedSettings(s);
      ADD_FAILURE() << "title accepted: " << title;
    } catch (const EZarnError& e) {
      EXPECT_NE(std::string(e.what()).find("プログラムグループの名前が作れません"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace zarn
