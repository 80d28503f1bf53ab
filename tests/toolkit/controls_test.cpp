// Control state and behaviour, independent of any window: check boxes, radio groups,
// labels, edits, the rich-text box, the notebook, the progress bar, mnemonics, and the
// directory list linked to the drive list.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "support/test_machine.h"
#include "toolkit/headless/headless.h"

namespace zarn {
namespace {

struct Fixture : ::testing::Test {
  testing::TestMachine machine;
  TScriptedUser user;
  HeadlessBackend backend{user};
  TApplication app{machine.platform(), backend};
  TForm form{app, nullptr, "Form1"};
};

using ButtonsTest = Fixture;

TEST_F(ButtonsTest, CheckBoxReportsEveryChangeOfState) {
  TCheckBox box(form, "CheckData");
  int clicks = 0;
  box.OnClick = [&](TControl&) { ++clicks; };
  box.SetChecked(true);
  box.SetChecked(true);  // no change, no click
  EXPECT_EQ(clicks, 1);
  box.UserClick();
  EXPECT_FALSE(box.Checked());
  EXPECT_EQ(clicks, 2);
  // A handler that ticks the box again (the program component cannot be deselected).
  box.SetChecked(true);
  box.OnClick = [&](TControl&) {
    ++clicks;
    box.SetChecked(true);
  };
  box.UserClick();
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(clicks, 5);
}

TEST_F(ButtonsTest, RadioButtonsOfOneParentExcludeEachOther) {
  TRadioButton all(form, "RadioDiskAll"), one(form, "RadioDiskThis");
  TNotebook book(form, "Notebook", {"a"});
  TRadioButton elsewhere(book.Page(0), "Other");
  elsewhere.SetChecked(true);
  int clicksAll = 0, clicksOne = 0;
  all.OnClick = [&](TControl&) { ++clicksAll; };
  one.OnClick = [&](TControl&) { ++clicksOne; };
  EXPECT_FALSE(all.Checked());
  EXPECT_FALSE(one.Checked());
  all.SetChecked(true);
  one.UserClick();
  EXPECT_FALSE(all.Checked());
  EXPECT_TRUE(one.Checked());
  EXPECT_TRUE(elsewhere.Checked());
  // Only becoming checked runs the handler.
  EXPECT_EQ(clicksAll, 1);
  EXPECT_EQ(clicksOne, 1);
  one.SetChecked(false);
  EXPECT_FALSE(one.Checked());
  EXPECT_EQ(clicksOne, 1);
}

TEST_F(ButtonsTest, ButtonWithAModalResultSetsItOnTheForm) {
  TButton button(form, "btnExit");
  button.SetModalResult(mrCancel);
  int clicks = 0;
  button.OnClick = [&](TControl&) { ++clicks; };
  button.Click();
  EXPECT_EQ(form.ModalResult(), mrCancel);
  EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonsTest, Mnemonics) {
  EXPECT_EQ(StripMnemonic("はい(&Y)"), "はい(Y)");
  EXPECT_EQ(StripMnemonic("A&&B"), "A&B");
  EXPECT_EQ(MnemonicOf("次へ(&n) >"), 'N');
  EXPECT_EQ(MnemonicOf("A&&B"), 0);
  EXPECT_EQ(MnemonicOf("OK"), 0);
  EXPECT_EQ(MnemonicOf("&"), 0);
  // A double-byte character whose second byte is 0x26 ('&') holds no marker.
  std::string tricky = "\x8B\x26X";
  EXPECT_EQ(MnemonicOf(tricky), 0);
  EXPECT_EQ(StripMnemonic(tricky), tricky);
}

using LabelTest = Fixture;

TEST_F(LabelTest, AutomaticSizeFollowsTextAndFont) {
  TLabel label(form, "LabelSize");
  label.SetBounds(24, 256, 0, 0);
  label.SetCaption("最低 1.50 MB");  // 2 double-byte + 8 single-byte characters
  EXPECT_EQ(label.Width(), 2 * 12 + 8 * 6);
  EXPECT_EQ(label.Height(), 12);
  EXPECT_EQ(label.Left(), 24);
  TFont big = label.Font();
  big.height = 20;
  label.SetFont(big);
  EXPECT_EQ(label.Width(), 2 * 20 + 8 * 10);
  EXPECT_EQ(label.Height(), 20);
  label.SetAutoSize(false);
  label.SetCaption("x");
  EXPECT_EQ(label.Width(), 2 * 20 + 8 * 10);
}

TEST_F(LabelTest, RightAlignedAutomaticSizeKeepsTheRightEdge) {
  TLabel label(form, "LabelRight");
  label.SetAlignment(TAlignment::taRightJustify);
  label.SetBounds(100, 0, 50, 12);
  label.SetCaption("ab");
  EXPECT_EQ(label.Left() + label.Width(), 150);
  EXPECT_EQ(label.Width(), 12);
}

TEST_F(LabelTest, FontColourAndParentFont) {
  TLabel label(form, "LabelRight");
  EXPECT_EQ(label.Font().name, "ＭＳ Ｐゴシック");
  EXPECT_EQ(label.Font().height, 12);
  EXPECT_EQ(label.Font().charset, 128);
  label.SetFontColor(clWhite);
  EXPECT_EQ(label.Font().color, clWhite);
  EXPECT_EQ(form.Font().color, clWindowText);
  // A control without a font of its own follows its form's.
  TLabel other(form, "Other");
  TFont f = form.Font();
  f.height = 16;
  form.SetFont(f);
  EXPECT_EQ(other.Font().height, 16);
  EXPECT_EQ(label.Font().height, 12);
}

using EditTest = Fixture;

TEST_F(EditTest, TypingHonoursTheLimitAndReportsChanges) {
  TEdit edit(form, "EditDir");
  int changes = 0;
  edit.OnChange = [&](TControl&) { ++changes; };
  edit.SetMaxLength(4);
  edit.SetText("C:\\Games");  // the program may set more
  EXPECT_EQ(edit.Text(), "C:\\Games");
  edit.UserType("ゲーム集");
  EXPECT_EQ(edit.Text(), "ゲーム集");
  edit.UserType("ゲーム集です");
  EXPECT_EQ(edit.Text(), "ゲーム集");
  EXPECT_EQ(changes, 2);
}

TEST_F(EditTest, RichTextIsCutAtACharacterBoundary) {
  TRichEdit rich(form, "EditHello");
  EXPECT_TRUE(rich.ReadOnly());
  rich.SetMaxLength(3);
  rich.SetText("aあいう");
  EXPECT_EQ(rich.Text(), "aあい");
  rich.SetMaxLength(0);
  rich.SetText("ようこそ\r\n");
  EXPECT_EQ(rich.Text(), "ようこそ\r\n");
  rich.SetMaxLength(2);
  EXPECT_EQ(rich.Text(), "よう");
  // A lone lead byte at the end is one character and is kept whole.
  EXPECT_EQ(LimitChars("ab\x82", 3), "ab\x82");
  EXPECT_EQ(LimitChars("", 5), "");
}

using NotebookTest = Fixture;

TEST_F(NotebookTest, OnePageShowsAtATime) {
  TNotebook book(form, "Notebook", {"Hello", "License", "file"});
  book.SetBounds(0, 0, 497, 293);
  TCheckBox check(book.Page("License"), "CheckLicense");
  form.ShowForm();
  EXPECT_EQ(book.PageIndex(), 0);
  EXPECT_EQ(book.ActivePage(), "Hello");
  EXPECT_FALSE(check.Showing());
  EXPECT_EQ(book.Page(1).Width(), 497);
  EXPECT_EQ(book.Page(1).Height(), 293);
  book.SetActivePage("license");
  EXPECT_EQ(book.PageIndex(), 1);
  EXPECT_TRUE(check.Showing());
  EXPECT_FALSE(book.Page(0).Visible());
  EXPECT_THROW(book.SetPageIndex(3), EZarnError);
  EXPECT_THROW(book.Page("seldir"), EZarnError);
  EXPECT_EQ(book.PageIndex(), 1);
  // The user cannot reach a control on a hidden page.
  book.SetPageIndex(2);
  user.Click("CheckLicense");
  user.CloseWindow();
  form.Hide();
  EXPECT_THROW(form.ShowModal(), EScriptFailure);
}

TEST_F(NotebookTest, ControlsAreFoundByName) {
  TNotebook book(form, "Notebook", {"Hello"});
  TLabel label(book.Page(0), "Label1");
  EXPECT_EQ(&form.FindControl("label1"), &label);
  EXPECT_EQ(&form.Find<TLabel>("Label1"), &label);
  EXPECT_THROW(form.Find<TButton>("Label1"), EZarnError);
  EXPECT_THROW(form.FindControl("Label9"), EZarnError);
  EXPECT_EQ(label.Parent(), &book.Page(0));
  EXPECT_EQ(&label.Form(), &form);
}

TEST_F(NotebookTest, DestroyedControlsLeaveTheirForm) {
  {
    TButton temporary(form, "btnTemp");
    EXPECT_EQ(form.Controls().size(), 1u);
  }
  EXPECT_TRUE(form.Controls().empty());
  EXPECT_THROW(form.FindControl("btnTemp"), EZarnError);
}

TEST(ProgressBarTest, PositionStaysInTheRange) {
  testing::TestMachine machine;
  TScriptedUser user;
  HeadlessBackend backend{user};
  TApplication app{machine.platform(), backend};
  TForm form{app, nullptr, "Form1"};
  TProgressBar bar(form, "Progress");
  EXPECT_EQ(bar.Min(), 0);
  EXPECT_EQ(bar.Max(), 100);
  bar.SetPosition(150);
  EXPECT_EQ(bar.Position(), 100);
  bar.SetPosition(-5);
  EXPECT_EQ(bar.Position(), 0);
  bar.SetPosition(60);
  bar.SetRange(0, 50);
  EXPECT_EQ(bar.Position(), 50);
  bar.SetRange(80, 10);  // given the wrong way round
  EXPECT_EQ(bar.Min(), 10);
  EXPECT_EQ(bar.Max(), 80);
}

// ---- directory list and drive list

struct FolderFixture : Fixture {
  Platform& p = machine.platform();
  TDirectoryListBox list{form, "Directory"};
  TDriveComboBox drive{form, "Drive"};
  std::vector<std::string> changes;
  FolderFixture() {
    p.CreateDirectory("C:\\Games");
    p.CreateDirectory("C:\\Games\\story");
    p.CreateDirectory("C:\\Games\\Alpha");
    p.CreateDirectory("C:\\Games\\beta");
    p.CreateDirectory("C:\\Games\\物語");
    auto f = p.OpenFile("C:\\Games\\file.txt", FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
    drive.SetDirList(&list);
    list.OnChange = [this](TControl&) { changes.push_back("dir " + list.Directory()); };
    drive.OnChange = [this](TControl&) { changes.push_back(std::string("drive ") + drive.Drive()); };
  }
};

using DirectoryTest = FolderFixture;

TEST_F(DirectoryTest, ListShowsTheChainThenSortedSubfolders) {
  list.SetDirectory("c:\\games\\");
  EXPECT_TRUE(SameText(list.Directory(), "C:\\Games"));
  ASSERT_EQ(list.Items().size(), 6u);
  EXPECT_EQ(list.ItemPath(0), "C:\\");
  EXPECT_EQ(list.ItemIndex(), 1);
  EXPECT_EQ(list.ItemPath(2), list.Directory() + "\\Alpha");
  EXPECT_EQ(list.ItemPath(3), list.Directory() + "\\beta");
  EXPECT_EQ(list.ItemPath(4), list.Directory() + "\\story");
  EXPECT_EQ(list.ItemPath(5), list.Directory() + "\\物語");
  EXPECT_EQ(list.Directory().size(), 8u);  // no trailing backslash
}

TEST_F(DirectoryTest, ChoosingAFolderMakesItTheCurrentFolder) {
  list.SetDirectory("C:\\Games");
  list.OpenItem(5);  // 物語
  EXPECT_TRUE(SameText(list.Directory(), "C:\\Games\\物語"));
  EXPECT_TRUE(SameText(p.GetCurrentDirectory(), "C:\\Games\\物語") ||
              SameText(p.GetCurrentDirectory(), "C:\\Games\\物語\\"));
  list.OpenItem(0);  // back to the root
  EXPECT_EQ(list.Directory(), "C:\\");
  EXPECT_EQ(list.ItemIndex(), 0);
}

TEST_F(DirectoryTest, AMissingFolderChangesNothing) {
  list.SetDirectory("C:\\Games");
  changes.clear();
  std::string before = p.GetCurrentDirectory();
  EXPECT_THROW(list.SetDirectory("C:\\Games\\none"), EZarnError);
  EXPECT_THROW(list.SetDirectory(""), EZarnError);
  EXPECT_TRUE(SameText(list.Directory(), "C:\\Games"));
  EXPECT_EQ(p.GetCurrentDirectory(), before);
  EXPECT_TRUE(changes.empty());
}

TEST_F(DirectoryTest, DriveListAndDirectoryListFollowEachOther) {
  ASSERT_GE(drive.Items().size(), 2u);  // C: and Z: at least
  list.SetDirectory("C:\\Games\\story");
  EXPECT_EQ(drive.Drive(), 'C');
  changes.clear();
  drive.SetDrive('z');
  EXPECT_EQ(drive.Drive(), 'Z');
  EXPECT_EQ(list.Directory(), "Z:\\");
  // The list reports its move, then the drive list its own, once each.
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0], "dir Z:\\");
  EXPECT_EQ(changes[1], "drive Z");
  changes.clear();
  list.SetDirectory("C:\\Games");
  EXPECT_EQ(drive.Drive(), 'C');
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1], "drive C");
  changes.clear();
  drive.SetDrive('C');  // the same drive: nothing moves
  EXPECT_TRUE(changes.empty());
  EXPECT_TRUE(SameText(list.Directory(), "C:\\Games"));
}

TEST_F(DirectoryTest, UnknownDrivesAreRefused) {
  list.SetDirectory("C:\\Games");
  changes.clear();
  EXPECT_THROW(drive.SetDrive('Q'), EZarnError);
  EXPECT_EQ(drive.Drive(), 'C');
  EXPECT_TRUE(SameText(list.Directory(), "C:\\Games"));
  EXPECT_TRUE(changes.empty());
}

TEST_F(DirectoryTest, DriveItemsNameEachDrive) {
  const auto& items = drive.Items();
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items[0].substr(0, 2), "c:");
  EXPECT_EQ(items.back().substr(0, 2), "z:");
}

TEST_F(DirectoryTest, TheScriptedUserChoosesFolders) {
  list.SetDirectory("C:\\Games");
  changes.clear();
  TButton ok(form, "btnOk");
  ok.SetModalResult(mrOk);
  user.ChooseFolder("Directory", "C:\\Games\\beta");
  user.ChooseFolder("Directory", "C:\\nowhere");
  user.AcceptError("C:\\nowhere");
  user.ChooseDrive("Drive", 'Z');
  user.Click("btnOk");
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(list.Directory(), "Z:\\");
  EXPECT_EQ(changes.front(), "dir " + std::string("C:\\Games\\beta"));
}

}  // namespace
}  // namespace zarn
