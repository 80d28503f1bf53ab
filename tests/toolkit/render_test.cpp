// Rendering a form headless: graphic controls paint on their parent in creation order,
// windowed controls lie above them, hidden ones leave no trace.
#include <gtest/gtest.h>

#include "support/test_machine.h"
#include "toolkit/headless/headless.h"
#include "toolkit/headless/likeness.h"
#include "toolkit/pictures.h"

namespace zarn {
namespace {

// A graphic control that fills its area with one colour.
struct Swatch : TGraphicControl {
  TColor colour;
  Swatch(TWinControl& parent, const std::string& name, TColor c, TRect r) : TGraphicControl(parent, name), colour(c) {
    SetBounds(r.Left, r.Top, r.Width(), r.Height());
  }
  void Paint(TCanvas& canvas) override { canvas.FillRect(ClientRect(), colour); }
};

struct RenderTest : ::testing::Test {
  testing::TestMachine machine;
  TScriptedUser user;
  HeadlessBackend backend{user};
  TApplication app{machine.platform(), backend};
  TForm form{app, nullptr, "Form1"};
  TDIB picture;
  RenderTest() {
    form.SetClientWidth(100);
    form.SetClientHeight(80);
  }
  TColor At(int x, int y) { return picture.PixelColor(picture.ReadPixel(x, y)); }
};

TEST_F(RenderTest, LaterGraphicControlsPaintOverEarlierOnes) {
  Swatch under(form, "Under", clBlue, Bounds(0, 0, 60, 60));
  Swatch over(form, "Over", clRed, Bounds(40, 40, 60, 40));
  RenderForm(form, picture);
  ASSERT_EQ(picture.Width(), 100);
  ASSERT_EQ(picture.Height(), 80);
  EXPECT_EQ(picture.BitCount(), 24);
  EXPECT_EQ(At(10, 10), clBlue);
  EXPECT_EQ(At(50, 50), clRed);  // overlap: the later one
  EXPECT_EQ(At(99, 79), clRed);
  EXPECT_EQ(At(10, 70), clBtnFace);  // the form's own colour
  over.Hide();
  RenderForm(form, picture);
  EXPECT_EQ(At(50, 50), clBlue);
  EXPECT_EQ(At(70, 70), clBtnFace);
}

TEST_F(RenderTest, WindowedControlsLieAboveGraphicOnes) {
  TButton button(form, "btnStart");
  button.SetBounds(20, 20, 40, 20);
  Swatch later(form, "Later", clRed, Bounds(0, 0, 100, 80));  // made after the button
  RenderForm(form, picture);
  EXPECT_EQ(At(5, 5), clRed);
  EXPECT_EQ(At(30, 22), clBtnFace);  // inside the button, clear of its caption
}

TEST_F(RenderTest, GraphicControlsAreClippedToTheirAreaAndParent) {
  struct Overflowing : Swatch {
    using Swatch::Swatch;
    void Paint(TCanvas& canvas) override { canvas.FillRect({-50, -50, 500, 500}, colour); }
  };
  TNotebook book(form, "Notebook", {"one", "two"});
  book.SetBounds(10, 10, 50, 50);
  Overflowing spill(book.Page(0), "Spill", clRed, Bounds(5, 5, 10, 10));
  Swatch hidden(book.Page(1), "Hidden", clBlue, Bounds(0, 0, 50, 50));
  RenderForm(form, picture);
  EXPECT_EQ(At(15, 15), clRed);   // 10 + 5
  EXPECT_EQ(At(24, 24), clRed);
  EXPECT_EQ(At(25, 25), clBtnFace);  // beyond its own 10 x 10
  EXPECT_EQ(At(14, 14), clBtnFace);
  book.SetPageIndex(1);
  RenderForm(form, picture);
  EXPECT_EQ(At(15, 15), clBlue);
  EXPECT_EQ(At(60, 60), clBtnFace);  // the page ends where the notebook does
}

TEST_F(RenderTest, LabelsOpaqueOrTransparent) {
  Swatch back(form, "Back", clBlue, Bounds(0, 0, 100, 80));
  TLabel opaque(form, "LabelRight");
  opaque.SetAutoSize(false);
  opaque.SetAlignment(TAlignment::taRightJustify);
  opaque.SetColor(clBlack);
  opaque.SetFontColor(clWhite);
  opaque.SetBounds(0, 60, 100, 12);
  opaque.SetCaption("AB ");
  TLabel clear(form, "Clear");
  clear.SetTransparent(true);
  clear.SetFontColor(clWhite);
  clear.SetBounds(0, 10, 0, 0);
  clear.SetCaption("C");
  RenderForm(form, picture, kBoxText);  // boxes show exactly where each character lies
  EXPECT_EQ(At(5, 65), clBlack);  // the strip covers the whole width
  // Text ends one blank before the right edge: "AB" in cells 82..87 and 88..93.
  EXPECT_EQ(At(84, 66), clWhite);
  EXPECT_EQ(At(90, 66), clWhite);
  EXPECT_EQ(At(97, 66), clBlack);
  // The transparent label shows the blue beneath, around its one character.
  EXPECT_EQ(At(0, 11), clBlue);
  EXPECT_EQ(At(2, 15), clWhite);
}

TEST_F(RenderTest, BevelDrawsItsTopLine) {
  TBevel bevel(form, "Bevel1");
  bevel.SetShape(TBevelShape::bsTopLine);
  bevel.SetBounds(0, 40, 100, 12);
  RenderForm(form, picture);
  EXPECT_EQ(At(50, 40), clBtnShadow);
  EXPECT_EQ(At(50, 41), clBtnHighlight);
  EXPECT_EQ(At(50, 45), clBtnFace);
}

// A radio button is round: its corners show the form, its ring is grey, and the chosen
// one has a dot in the middle that the other lacks.
TEST_F(RenderTest, RadioButtonsAreRoundWithADotWhenChosen) {
  TRadioButton first(form, "RadioDiskAll");
  first.SetBounds(0, 0, 60, 12);
  TRadioButton second(form, "RadioDiskThis");
  second.SetBounds(0, 20, 60, 12);
  first.SetChecked(true);
  RenderForm(form, picture, kBoxText);
  for (int top : {0, 20}) {
    EXPECT_EQ(At(0, top), clBtnFace) << top;       // corner outside the ring
    EXPECT_EQ(At(11, top + 11), clBtnFace) << top;
    EXPECT_EQ(At(0, top + 6), clBtnShadow) << top;  // the ring's left edge
    EXPECT_EQ(At(3, top + 3), clWindow) << top;     // the field
  }
  EXPECT_EQ(At(5, 5), clWindowText);
  EXPECT_EQ(At(5, 25), clWindow);
}

// A splash-like form: gradient, then a picture over part of it, then a black strip.
TEST_F(RenderTest, GradientPictureAndLabelStackInCreationOrder) {
  TGradBoxControl grad(form, "GradBox");
  grad.SetAlign(TAlign::alClient);
  grad.SetStartColor(clBlue);
  grad.SetEndColor(clNavy);
  TDXPaintBox box(form, "PaintBox");
  box.SetAlign(TAlign::alClient);
  box.DIB().SetSize(20, 10, 24);
  box.DIB().Canvas().FillRect({0, 0, 20, 10}, clRed);
  TLabel strip(form, "LabelRight");
  strip.SetAutoSize(false);
  strip.SetColor(clBlack);
  strip.SetBounds(0, 60, 100, 12);
  RenderForm(form, picture);
  EXPECT_EQ(At(5, 5), clRed);        // the picture at (0, 0), natural size
  EXPECT_EQ(At(19, 9), clRed);
  EXPECT_EQ(At(50, 0), clBlue);  // gradient starts blue at the top...
  EXPECT_LT(ColorBlue(At(50, 55)), 255);  // ...and darkens towards navy
  EXPECT_GE(ColorBlue(At(50, 55)), 128);
  EXPECT_EQ(At(50, 65), clBlack);     // the strip over both
  // Centred and stretched placements come from the paint box's rule.
  box.SetCenter(true);
  RenderForm(form, picture);
  EXPECT_EQ(At(5, 5) == clRed, false);
  EXPECT_EQ(At(40, 35), clRed);
  EXPECT_EQ(At(59, 44), clRed);
  box.SetStretch(true);
  box.SetCenter(false);
  RenderForm(form, picture);
  EXPECT_EQ(At(99, 59), clRed);
  EXPECT_EQ(At(50, 65), clBlack);
  // An empty picture paints nothing: the gradient shows.
  box.DIB().Clear();
  RenderForm(form, picture);
  EXPECT_EQ(ColorRed(At(5, 5)), 0);
  EXPECT_GT(ColorBlue(At(5, 5)), 240);
}

// Text wrapped as a multi-line edit wraps it, measured in boxes: 6 pixels for a
// single-byte character, 12 for a double-byte one.
TEST(WrapText, BreaksAtSpacesOrBeforeTheCharacterCrossingTheEdge) {
  struct Case {
    const char* text;
    int width;
    std::vector<std::string> lines;
  } cases[] = {
      {"abc def", 100, {"abc def"}},
      {"abcd efgh", 36, {"abcd ", "efgh"}},           // after the last space
      {"abcdefgh", 36, {"abcdef", "gh"}},             // no space: before the crossing character
      {"一二三四五", 36, {"一二三", "四五"}},
      {"一二三。", 36, {"一二", "三。"}},             // "。" never starts a line
      {"a\r\n\r\nb\nc\rd", 100, {"a", "", "b", "c", "d"}},
      {"一二", 5, {"一", "二"}},                      // at least one character a line
      {"abc   ", 18, {"abc   "}},                   // spaces may pass the edge
      {"", 50, {""}},
  };
  TDIB scratch;
  scratch.SetSize(1, 1, 24);
  TPictureCanvas canvas(scratch, kBoxText);
  for (const Case& c : cases) EXPECT_EQ(WrapText(canvas, c.text, c.width), c.lines) << c.text << " at " << c.width;
}

// The scroll bar shows only when the wrapped lines are taller than the box, and then
// the text wraps in the narrower room beside it. Lines are 13 pixels apart, 1 pixel in.
TEST(LayOutMemo, ScrollBarOnlyWhenTheLinesDoNotFit) {
  struct Case {
    const char* text;
    int height;
    bool scrollBar;
    size_t lines;
  } cases[] = {
      {"一二三四\n二\n三", 41, false, 3},   // three lines fill 39 pixels exactly
      {"一二三四\n二\n三", 40, true, 4},    // one pixel short: the bar, and the first line wraps
      {"一二三四\n二\n三\n四", 41, true, 5},
      {"", 15, false, 1},
  };
  TDIB scratch;
  scratch.SetSize(1, 1, 24);
  TPictureCanvas canvas(scratch, kBoxText);
  for (const Case& c : cases) {
    TMemoLayout memo = LayOutMemo(canvas, c.text, 60, c.height);
    EXPECT_EQ(memo.scrollBar, c.scrollBar) << c.text << " in " << c.height;
    EXPECT_EQ(memo.lines.size(), c.lines) << c.text << " in " << c.height;
  }
}

TEST(FitMessageButtons, WideEnoughForTheCaptionsAndCentred) {
  struct Case {
    int client, width, gap, count, widest;
    TButtonRow row;
  } cases[] = {
      {292, 72, 24, 2, 30, {72, 24, 62, 0}},     // the system's size suffices
      {292, 72, 24, 2, 60, {76, 24, 58, 0}},     // 8 pixels each side of the caption
      {292, 72, 16, 2, 200, {216, 16, 16, 188}}, // the box grows to hold the row and its gaps
      {100, 48, 16, 1, 10, {48, 16, 26, 0}},
  };
  for (const Case& c : cases) {
    TButtonRow r = FitMessageButtons(c.client, c.width, c.gap, c.count, c.widest);
    EXPECT_EQ(r.width, c.row.width) << c.widest;
    EXPECT_EQ(r.firstLeft, c.row.firstLeft) << c.widest;
    EXPECT_EQ(r.grown, c.row.grown) << c.widest;
  }
}

}  // namespace
}  // namespace zarn
