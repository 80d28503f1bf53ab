// The shortcut files of the emulated machine: the bytes round-trip every field, damaged
// or cut files are refused without reading past their end, and opening a program group
// goes to the machine's shell log.
#include <gtest/gtest.h>

#include "platform/posix/emulated_machine.h"
#include "platform/lnk_file.h"
#include "runtime/sjis.h"
#include "support/test_machine.h"
#include "toolkit/headless/headless.h"
#include "wizard/shell_link.h"

namespace zarn {
namespace {

ShellLinkData Sample() {
  ShellLinkData link;
  link.target = "C:\\ゲーム\\物語\\game.exe";
  link.arguments = "-window \"C:\\save data\"";
  link.workingDirectory = "C:\\ゲーム\\物語\\";
  link.description = "物語のアンインストール";
  link.iconPath = link.target;
  link.iconIndex = 1;
  link.hotKey = 0x0646;
  link.showCommand = 3;
  return link;
}

void ExpectSame(const ShellLinkData& a, const ShellLinkData& b) {
  EXPECT_EQ(a.target, b.target);
  EXPECT_EQ(a.arguments, b.arguments);
  EXPECT_EQ(a.workingDirectory, b.workingDirectory);
  EXPECT_EQ(a.description, b.description);
  EXPECT_EQ(a.iconPath, b.iconPath);
  EXPECT_EQ(a.iconIndex, b.iconIndex);
  EXPECT_EQ(a.hotKey, b.hotKey);
  EXPECT_EQ(a.showCommand, b.showCommand);
}

TEST(ShellLinkFileTest, EveryFieldRoundTrips) {
  testing::TestMachine machine;
  std::string bytes = EncodeShellLink(machine.platform(), Sample());
  ASSERT_GE(bytes.size(), 76u);
  EXPECT_EQ(bytes[0], 0x4C);
  ShellLinkData back;
  std::string error;
  ASSERT_TRUE(DecodeShellLink(machine.platform(), bytes, back, error)) << error;
  ExpectSame(back, Sample());
  // A target without a drive goes in as the relative path; empty texts stay out.
  ShellLinkData bare;
  bare.target = "game.exe";
  bytes = EncodeShellLink(machine.platform(), bare);
  ASSERT_TRUE(DecodeShellLink(machine.platform(), bytes, back, error)) << error;
  ExpectSame(back, bare);
}

TEST(ShellLinkFileTest, TheTargetsFactsAreRecorded) {
  testing::TestMachine machine;
  Platform& p = machine.platform();
  std::string target = machine.Scratch() + "game.exe";
  {
    auto f = p.OpenFile(target, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
    f->Write("0123456789", 10);
  }
  ShellLinkData link;
  link.target = target;
  std::string bytes = EncodeShellLink(p, link);
  auto u32 = [&](size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
  };
  EXPECT_EQ(u32(52), 10u);             // file size
  EXPECT_EQ(u32(24) & faDirectory, 0u);  // attributes of a file
  EXPECT_EQ(u32(20) & 0x82, 0x82u);      // Unicode strings and a link info
}

TEST(ShellLinkFileTest, CutFilesAreRefusedAtEveryLength) {
  testing::TestMachine machine;
  std::string bytes = EncodeShellLink(machine.platform(), Sample());
  ShellLinkData back;
  std::string error;
  // Everything but the closing block of extra data is needed.
  for (size_t n = 0; n + 4 < bytes.size(); ++n)
    EXPECT_FALSE(DecodeShellLink(machine.platform(), bytes.substr(0, n), back, error)) << n;
  EXPECT_TRUE(DecodeShellLink(machine.platform(), bytes.substr(0, bytes.size() - 4), back, error));
}

TEST(ShellLinkFileTest, DamagedFilesAreRefused) {
  testing::TestMachine machine;
  Platform& p = machine.platform();
  std::string good = EncodeShellLink(p, Sample());
  ShellLinkData back;
  std::string error;
  std::string bad = good;
  bad[4] ^= 1;  // class id
  EXPECT_FALSE(DecodeShellLink(p, bad, back, error));
  bad = good;
  bad[0] = 0x4D;  // header size
  EXPECT_FALSE(DecodeShellLink(p, bad, back, error));
  // A link info that claims to be larger than the file.
  bad = good;
  bad[76 + 3] = 0x7F;
  EXPECT_FALSE(DecodeShellLink(p, bad, back, error));
  // Its unicode path offset pointing past the link info.
  bad = good;
  bad[76 + 28] = static_cast<char>(0xF0);
  bad[76 + 29] = 0x7F;
  EXPECT_FALSE(DecodeShellLink(p, bad, back, error));
}

TEST(ShellLinkFileTest, ALinkIsWrittenAsAFileOfTheMachine) {
  testing::TestMachine machine;
  Platform& p = machine.platform();
  ASSERT_EQ(p.CreateShellLink(machine.Scratch() + "x.lnk", Sample()), ShellLinkResult::Saved);
  EXPECT_TRUE(p.FileExists(machine.Scratch() + "x.lnk"));
  EXPECT_EQ(p.CreateShellLink(machine.Scratch() + "missing\\x.lnk", Sample()), ShellLinkResult::NotSaved);
}

TEST(ShellLinkFileTest, OpeningTheGroupGoesToTheShellLog) {
  testing::TestMachine machine;
  auto* emulated = dynamic_cast<EmulatedMachine*>(&machine.platform());
  ASSERT_NE(emulated, nullptr);
  TScriptedUser user;
  HeadlessBackend backend(user);
  TApplication app(machine.platform(), backend);
  OpenShortcutFolder(app, lnkCommonPrograms, "物語");
  std::string folder;
  ASSERT_TRUE(machine.platform().SpecialFolder(csidlCommonPrograms, folder));
  auto log = emulated->ShellLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].verb, "open");
  EXPECT_EQ(log[0].file, folder + "\\物語\\");
  EXPECT_EQ(log[0].directory, folder + "\\物語\\");
  EXPECT_EQ(log[0].show, 5);
}

TEST(ShellLinkFileTest, Utf16Conversions) {
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xE7\x89\xA9\xF0\x9F\x98\x80")), "a\xE7\x89\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80").size(), 2u);  // a surrogate pair
  EXPECT_EQ(Utf8ToUtf16("\xE7\x89"), std::u16string(1, u'\xFFFD'));  // cut short
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");  // lone surrogate
}

}  // namespace
}  // namespace zarn
