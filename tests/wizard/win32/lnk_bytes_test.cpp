// Our shortcut writer checked against a real reader: the bytes the emulated machine
// writes are loaded by the shell's link object (IShellLinkW + IPersistFile::Load).
#include <gtest/gtest.h>

#include "platform/lnk_file.h"
#include "support/test_machine.h"
#include "wizard/link_reader.h"

namespace zarn {
namespace {

TEST(ShellLinkBytesTest, TheShellReadsWhatOurWriterWrote) {
  testing::TestMachine machine;
  Platform& p = machine.platform();
  std::string target = machine.Scratch() + "物語.exe";
  {
    auto f = p.OpenFile(target, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
    ASSERT_TRUE(f);
    f->Write("MZ", 2);
  }
  ShellLinkData link;
  link.target = target;
  link.arguments = "-window \"セーブ\"";
  link.workingDirectory = machine.Scratch();
  link.description = "物語のアンインストール";
  link.iconPath = target;
  link.iconIndex = 1;
  link.hotKey = 0x0646;
  link.showCommand = 3;
  std::string bytes = EncodeShellLink(p, link);
  std::string path = machine.Scratch() + "written.lnk";
  {
    auto f = p.OpenFile(path, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->Write(bytes.data(), static_cast<int64_t>(bytes.size())), static_cast<int64_t>(bytes.size()));
  }
  ShellLinkData back;
  std::string error;
  ASSERT_TRUE(testing::ReadShortcut(p, path, back, error)) << error;
  // Wine's link object keeps paths and texts in the ANSI code page and drops the show
  // command, so those checks hold on Windows only.
  const bool wine = testing::UnderWine();
  if (!wine) {
    EXPECT_EQ(back.target, link.target);
  }
  EXPECT_EQ(back.arguments, link.arguments);
  EXPECT_EQ(back.workingDirectory, link.workingDirectory);
  EXPECT_EQ(back.description, link.description);
  EXPECT_EQ(back.iconPath, link.iconPath);
  EXPECT_EQ(back.iconIndex, 1);
  EXPECT_EQ(back.hotKey, 0x0646);
  if (!wine) {
    EXPECT_EQ(back.showCommand, 3);
  }
  // And our reader reads what the shell itself writes.
  ASSERT_EQ(p.CreateShellLink(machine.Scratch() + "shell.lnk", link), ShellLinkResult::Saved);
  ShellLinkData ours;
  {
    auto f = p.OpenFile(machine.Scratch() + "shell.lnk", FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
    ASSERT_TRUE(f);
    std::string shellBytes(4096, '\0');
    shellBytes.resize(static_cast<size_t>(f->Read(&shellBytes[0], 4096)));
    ASSERT_TRUE(DecodeShellLink(p, shellBytes, ours, error)) << error;
  }
  EXPECT_EQ(ours.arguments, link.arguments);
  if (!wine) {
    EXPECT_EQ(ours.description, link.description);
  }
  EXPECT_EQ(ours.iconIndex, 1);
  EXPECT_EQ(ours.hotKey, 0x0646);
}

}  // namespace
}  // namespace zarn
