// Shortcuts and the shell's file operation, on the emulated machine (Linux) and through
// the real shell (Windows under Wine).
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "runtime/sjis.h"
#include "support/test_machine.h"
#include "toolkit/headless/headless.h"
#include "wizard/file_operation.h"
#include "wizard/shell_link.h"
#include "wizard/link_reader.h"

namespace zarn {
namespace {

struct ShellFixture : ::testing::Test {
  testing::TestMachine machine;
  Platform& p = machine.platform();
  TScriptedUser user;
  HeadlessBackend backend{user};
  TApplication app{p, backend};
  // A program group no other run uses, removed afterwards.
  std::string group = "ZarnTest" + IntToStr(static_cast<int64_t>(p.TickCount() % 100000)) + machine.ScratchKey();
  std::string programs;
  ShellFixture() {
    EXPECT_TRUE(p.SpecialFolder(csidlPrograms, programs));
    if (!EndsWithDelimiter(programs, '\\')) programs += "\\";
  }
  ~ShellFixture() override { RemoveShortcutFolder(app, lnkPrograms, group); }
  void Touch(const std::string& path) {
    auto f = p.OpenFile(path, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
    ASSERT_TRUE(f) << path;
    f->Write("x", 1);
  }
};

TEST(ShellConversionTest, HotKeysAndShowCommands) {
  EXPECT_EQ(ShellHotKey(0xC046), 0x0646);           // Ctrl+Alt+F
  EXPECT_EQ(ShellHotKey(scShift | 'A'), 0x0141);
  EXPECT_EQ(ShellHotKey(scShift | scCtrl | scAlt | 0x70), 0x0770);  // all three with F1
  EXPECT_EQ(ShellHotKey(0), 0);
  // Bits between the key and the modifiers never become modifiers.
  EXPECT_EQ(ShellHotKey(0x1F46), 0x0046);
  EXPECT_EQ(ShellShowCommand(wsNormal), 1);
  EXPECT_EQ(ShellShowCommand(wsMinimized), 6);
  EXPECT_EQ(ShellShowCommand(wsMaximized), 3);
}

TEST(ShellConversionTest, SafeProgramGroups) {
  EXPECT_TRUE(IsSafeSubDir("物語"));
  EXPECT_TRUE(IsSafeSubDir("Maker\\物語\\"));
  EXPECT_TRUE(IsSafeSubDir("a.b"));
  EXPECT_TRUE(IsSafeSubDir("\x83\x5C"));  // "ソ": its second byte is a backslash byte
  for (const char* bad : {"", "..", ".", "...", ". ", "\\Games", "a\\..\\b", "a\\\\b", "C:\\Games", "C:x", ".. "})
    EXPECT_FALSE(IsSafeSubDir(bad)) << bad;
}

using ShellLinkTest = ShellFixture;

TEST_F(ShellLinkTest, FileNameFillsDescriptionAndWorkingFolder) {
  TShellLink link(app);
  link.SetFileName("C:\\ソフト\\物語\\game.exe");
  EXPECT_EQ(link.Description(), "game");
  EXPECT_EQ(link.WorkDir(), "C:\\ソフト\\物語");
  // Filled values stay when the target changes.
  link.SetFileName("D:\\other.exe");
  EXPECT_EQ(link.Description(), "game");
  EXPECT_EQ(link.WorkDir(), "C:\\ソフト\\物語");
  TShellLink root(app);
  root.SetFileName("D:\\表.tar.exe");
  EXPECT_EQ(root.Description(), "表.tar");
  EXPECT_EQ(root.WorkDir(), "D:\\");
  TShellLink bare(app);
  bare.SetFileName("readme");
  EXPECT_EQ(bare.Description(), "readme");
  EXPECT_EQ(bare.WorkDir(), "");
}

TEST_F(ShellLinkTest, FolderPathAndMissingSpecialFolders) {
  TShellLink link(app);
  link.SetLinkType(lnkPrograms);
  EXPECT_EQ(link.FolderPath(), programs);
  link.SetSubDir("G");
  EXPECT_EQ(link.FolderPath(), programs + "G\\");
  link.SetSubDir("G\\");
  EXPECT_EQ(link.FolderPath(), programs + "G\\");
  // My Computer has no place in the file system; the emulated machine has none at all.
  link.SetLinkType(lnkDrives);
  try {
    link.CreateLink();
    FAIL();
  } catch (const EShellLinkError& e) {
    EXPECT_STREQ(e.what(), "Error in GetSpecialFolderLocation");
  }
  EXPECT_THROW(link.OpenFolder(), EShellLinkError);
  EXPECT_THROW(link.RemoveFolder(), EShellLinkError);
  link.SetSubDir("");
  EXPECT_NO_THROW(link.RemoveFolder());  // nothing to remove, nothing looked up
}

TEST_F(ShellLinkTest, MakeShortcutWritesEveryField) {
  // The target's name is plain ASCII: the shell keeps a link's path in the system's
  // code page, which is not Japanese on every test machine.
  std::string target = machine.Scratch() + "game.exe";
  Touch(target);
  MakeShortcut(app, group, target, "/play \"物語\"", 2, 0xC046, wsMaximized, group, lnkPrograms,
               machine.Scratch(), "物語を始める");
  std::string path = programs + group + "\\" + group + ".lnk";
  ASSERT_TRUE(p.FileExists(path)) << path;
  ShellLinkData link;
  std::string error;
  ASSERT_TRUE(testing::ReadShortcut(p, path, link, error)) << error;
  EXPECT_TRUE(SameText(link.target, target)) << link.target;
  EXPECT_EQ(link.arguments, "/play \"物語\"");
  EXPECT_EQ(link.workingDirectory, machine.Scratch());
  EXPECT_EQ(link.description, "物語を始める");
  EXPECT_TRUE(SameText(link.iconPath, target)) << link.iconPath;
  EXPECT_EQ(link.iconIndex, 2);
  EXPECT_EQ(link.hotKey, 0x0646);
  if (!testing::UnderWine()) {  // Wine drops the show command
    EXPECT_EQ(link.showCommand, 3);
  }
}

TEST_F(ShellLinkTest, EmptyTextsComeFromTheTargetAndTheProgram) {
  std::string target = machine.Scratch() + "readme.txt";
  Touch(target);
  MakeShortcut(app, "お読みください", target, "", 0, 0, wsNormal, group, lnkPrograms, "", "");
  ShellLinkData link;
  std::string error;
  ASSERT_TRUE(testing::ReadShortcut(p, programs + group + "\\お読みください.lnk", link, error)) << error;
  EXPECT_EQ(link.description, "readme");
  std::string scratch = machine.Scratch();
  EXPECT_TRUE(SameText(link.workingDirectory, scratch.substr(0, scratch.size() - 1))) << link.workingDirectory;
  EXPECT_EQ(link.showCommand, 1);
  // No target at all: the running program.
  TShellLink self(app);
  self.SetLinkType(lnkPrograms);
  self.SetSubDir(group);
  self.SetName("self");
  self.CreateLink();
  EXPECT_TRUE(SameText(self.FileName(), app.ExeName()));
  ASSERT_TRUE(testing::ReadShortcut(p, programs + group + "\\self.lnk", link, error)) << error;
  EXPECT_TRUE(SameText(link.target, app.ExeName())) << link.target;
}

TEST_F(ShellLinkTest, RemoveFolderTakesTheGroupButNeverTheSpecialFolder) {
  std::string target = machine.Scratch() + "game.exe";
  Touch(target);
  MakeShortcut(app, "game", target, "", 0, 0, wsNormal, group + "\\sub", lnkPrograms, "", "");
  Touch(programs + group + "\\notes.txt");
  ASSERT_TRUE(p.FileExists(programs + group + "\\sub\\game.lnk"));
  // A sibling outside the group must survive.
  std::string sibling = group + "-sibling";
  MakeShortcut(app, "keep", target, "", 0, 0, wsNormal, sibling, lnkPrograms, "", "");
  for (const char* bad : {"", "..", ".", "\\", "x\\..\\.."}) RemoveShortcutFolder(app, lnkPrograms, bad);
  EXPECT_TRUE(p.DirectoryExists(programs));
  EXPECT_TRUE(p.FileExists(programs + group + "\\notes.txt"));
  RemoveShortcutFolder(app, lnkPrograms, group);
  EXPECT_FALSE(p.DirectoryExists(programs + group));
  EXPECT_TRUE(p.FileExists(programs + sibling + "\\keep.lnk"));
  EXPECT_TRUE(p.DirectoryExists(programs));
  RemoveShortcutFolder(app, lnkPrograms, sibling);
  EXPECT_FALSE(p.DirectoryExists(programs + sibling));
  RemoveShortcutFolder(app, lnkPrograms, group);  // already gone: nothing happens
}

using FileOperationTest = ShellFixture;

TEST_F(FileOperationTest, OptionsBecomeTheShellsFlags) {
  TFileOperation op(app);
  EXPECT_EQ(op.Options(), FileOpFlags({fofAllowUndo, fofFilesOnly}));
  EXPECT_EQ(ShellFileOpFlags(op.Options()), 0x00C0);
  EXPECT_EQ(ShellFileOpFlags(FileOpFlags({fofSilent, fofNoConfirmation, fofFilesOnly})), 0x0094);
  EXPECT_EQ(ShellFileOpFlags(FileOpFlags({fofMultiDestFiles})), 0x0001);
  EXPECT_EQ(ShellFileOpFlags(FileOpFlags({fofConfirmMouse})), 0x0002);
  EXPECT_EQ(ShellFileOpFlags(FileOpFlags({fofRenameOnCollision})), 0x0008);
  EXPECT_EQ(ShellFileOpFlags(FileOpFlags({fofSimpleProgress})), 0x0100);
  EXPECT_EQ(ShellFileOpFlags(FileOpFlags({fofNoConfirmMkdir})), 0x0200);
  EXPECT_EQ(ShellFileOpFlags(FileOpFlags({fofNoErrorUI})), 0x0400);
  EXPECT_EQ(ShellFileOpFlags(FileOpFlags({fofWantMappingHandle})), 0);
  op.SetOptions({fofSilent});
  EXPECT_TRUE(op.HasOption(fofSilent));
  EXPECT_FALSE(op.HasOption(fofFilesOnly));
  // Owned by a form, working for the form's application.
  TForm form(app, nullptr, "FormType");
  TFileOperation onForm(&form, "FileOperation");
  EXPECT_EQ(onForm.Owner(), &form);
}

TEST_F(FileOperationTest, CopyDeleteAndRenameThroughTheShell) {
  std::string s = machine.Scratch();
  p.CreateDirectory(s + "src");
  p.CreateDirectory(s + "src\\folder");
  Touch(s + "src\\a.txt");
  Touch(s + "src\\物語.dat");
  TFileOperation op(app);
  op.SetOptions({fofSilent, fofNoConfirmation, fofNoConfirmMkdir, fofNoErrorUI});
  std::string from = s + "src\\a.txt" + '\0' + s + "src\\物語.dat" + '\0' + '\0';
  std::string to = s + "dst" + '\0' + '\0';
  EXPECT_FALSE(op.Execute(kShellFoCopy, from, to));
  EXPECT_TRUE(p.FileExists(s + "dst\\a.txt"));
  EXPECT_TRUE(p.FileExists(s + "dst\\物語.dat"));
  EXPECT_TRUE(p.FileExists(s + "src\\a.txt"));
  // Files only: the wildcard leaves the folder alone.
  op.SetOptions({fofSilent, fofNoConfirmation, fofFilesOnly, fofNoErrorUI});
  EXPECT_FALSE(op.Execute(kShellFoDelete, s + "src\\*.*" + '\0' + '\0', ""));
  EXPECT_FALSE(p.FileExists(s + "src\\a.txt"));
  EXPECT_FALSE(p.FileExists(s + "src\\物語.dat"));
  EXPECT_TRUE(p.DirectoryExists(s + "src\\folder"));
  EXPECT_FALSE(op.Execute(kShellFoRename, s + "dst\\a.txt" + '\0' + '\0', s + "dst\\b.txt" + '\0' + '\0'));
  EXPECT_FALSE(p.FileExists(s + "dst\\a.txt"));
  EXPECT_TRUE(p.FileExists(s + "dst\\b.txt"));
  EXPECT_FALSE(op.Execute(kShellFoDelete, s + "dst" + '\0' + '\0', ""));
  EXPECT_FALSE(p.DirectoryExists(s + "dst"));
}

}  // namespace
}  // namespace zarn
