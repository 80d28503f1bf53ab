// Text on the headless picture canvas drawn with the glyphs of a real font: each
// character set at its own advance and inside it, inside the clip, in the font colour;
// without a usable font the boxes come back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "toolkit/headless/glyphs.h"
#include "toolkit/headless/picture_canvas.h"

namespace zarn {
namespace {

const char* const kIpaGothicP = "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf";
const TColor kPaper = clWhite;
const TColor kInk = MakeColor(200, 0, 0);

// A picture to draw on and what was drawn on it.
struct Sheet {
  TDIB dib;
  explicit Sheet(int w = 80, int h = 40, int bits = 24) {
    dib.SetSize(w, h, bits);
    dib.Canvas().FillRect({0, 0, w, h}, kPaper);
  }
  TColor At(int x, int y) const { return dib.PixelColor(dib.ReadPixel(x, y)); }
  bool Inked(int x, int y) const { return At(x, y) != kPaper; }
  // Pixels that changed inside / outside `r`.
  int InkIn(const TRect& r) const {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) n += Inked(x, y);
    return n;
  }
  int InkOutside(const TRect& r) const { return InkIn({0, 0, dib.Width(), dib.Height()}) - InkIn(r); }
  bool SamePixels(const Sheet& o, const TRect& r) const {
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        if (At(x, y) != o.At(x, y)) return false;
    return true;
  }
};

class GlyphTextTest : public ::testing::Test {
 protected:
  TGlyphFont font{kIpaGothicP};

  void SetUp() override {
    ASSERT_TRUE(font.Available()) << "FreeType and " << kIpaGothicP << " are needed (scripts/setup.sh installs them)";
  }

  // Draws `text` at (x, y) in a 12-pixel font on a fresh sheet.
  void Draw(Sheet& sheet, TGlyphFont* glyphs, int x, int y, const std::string& text, TRect clip = {0, 0, 1000, 1000},
            bool bold = false) {
    TPictureCanvas canvas(sheet.dib, glyphs);
    canvas.font.height = 12;
    canvas.font.color = kInk;
    canvas.font.bold = bold;
    canvas.TextOut(x, y, text, clip);
  }
};

TEST_F(GlyphTextTest, GlyphsFillTheirAdvancesInTheFontColour) {
  // Each character is set at its own advance, as a proportional font is: "あ" and "■"
  // wider than "A" and the half-width "ｱ", "i" narrower than "W".
  const int wa = font.Advance("あ", 12, false), wA = font.Advance("A", 12, false),
            wk = font.Advance("ｱ", 12, false), ws = font.Advance("■", 12, false);
  EXPECT_GT(wa, wA);
  EXPECT_GT(ws, wk);
  EXPECT_LT(font.Advance("i", 12, false), font.Advance("W", 12, false));
  Sheet sheet;
  Draw(sheet, &font, 10, 5, "あAｱ■");
  TRect wide = Bounds(10, 5, wa, 12), a = Bounds(10 + wa, 5, wA, 12), kana = Bounds(10 + wa + wA, 5, wk, 12),
        square = Bounds(10 + wa + wA + wk, 5, ws, 12);
  EXPECT_GT(sheet.InkIn(wide), 15);
  EXPECT_GT(sheet.InkIn(a), 5);
  EXPECT_GT(sheet.InkIn(kana), 5);
  EXPECT_GT(sheet.InkIn(square), 40);
  EXPECT_EQ(sheet.InkOutside(Bounds(10, 5, wa + wA + wk + ws, 12)), 0);
  // Pixels are blended between paper and ink only; full coverage is the font colour
  // itself, and the curves of "あ" have softer edges.
  int solid = 0, grey = 0, strong = 0;
  for (int y = 5; y < 17; ++y)
    for (int x = 10; x < 10 + wa + wA + wk + ws; ++x) {
      TColor c = sheet.At(x, y);
      EXPECT_EQ(ColorBlue(c), ColorGreen(c)) << "only blended between ink and paper";
      EXPECT_GE(ColorRed(c), ColorRed(kInk));
      if (x < 10 + wa) {
        grey += c != kInk && c != kPaper;
        strong += ColorGreen(c) < 128;
      } else if (x >= 10 + wa + wA + wk) {
        solid += c == kInk;
      }
    }
  EXPECT_GT(solid, 20);
  EXPECT_GT(grey, 10);
  // A glyph, not a box: the box's area is far from filled.
  Sheet boxes;
  Draw(boxes, kBoxText, 10, 5, "あAｱ■");
  EXPECT_EQ(boxes.InkIn(wide), 10 * 9);
  EXPECT_LT(strong, 10 * 9 * 2 / 3);
  EXPECT_LT(sheet.InkIn({11, 7, 21, 16}), 10 * 9);

  // The extent is the sum of the advances; a character without a glyph keeps its box cell.
  TPictureCanvas canvas(sheet.dib, &font);
  for (int h : {9, 12, 13, 20}) {
    canvas.font.height = h;
    int sum = 0;
    for (const char* ch : {"あ", "A", "ｱ", " ", "g"}) sum += font.Advance(ch, h, false);
    EXPECT_EQ(canvas.TextExtent("あAｱ g").cx, sum) << h;
    EXPECT_EQ(canvas.TextExtent("\x85\x40").cx, BoxTextExtent("\x85\x40", h).cx) << h;
    EXPECT_EQ(canvas.TextExtent("あ").cy, h);
  }
}

TEST_F(GlyphTextTest, ClippedAtTheClipAndTheOrigin) {
  Sheet whole;
  Draw(whole, &font, 4, 4, "漢字");
  // A clip ending at the cell boundary keeps the first glyph whole and none of the second.
  Sheet first;
  Draw(first, &font, 4, 4, "漢字", {0, 0, 16, 100});
  EXPECT_TRUE(first.SamePixels(whole, Bounds(4, 4, 12, 12)));
  EXPECT_EQ(first.InkOutside(Bounds(4, 4, 12, 12)), 0);
  // A clip through the middle of a glyph cuts it there, and above a line too.
  Sheet cut;
  Draw(cut, &font, 4, 4, "漢字", {10, 9, 100, 100});
  EXPECT_EQ(cut.InkOutside({10, 9, 80, 40}), 0);
  EXPECT_TRUE(cut.SamePixels(whole, {10, 9, 80, 40}));
  EXPECT_GT(whole.InkIn({4, 4, 10, 9}), 0) << "the cut part had ink";

  // The clip is in the control's coordinates, moved by the origin like the text.
  Sheet moved;
  {
    TPictureCanvas canvas(moved.dib, &font);
    canvas.font.height = 12;
    canvas.font.color = kInk;
    canvas.SetOrigin(20, 10);
    canvas.SetClip({20, 10, 80, 40});
    canvas.TextOut(4, 4, "漢字", {0, 0, 16, 100});
  }
  EXPECT_EQ(moved.InkOutside(Bounds(24, 14, 12, 12)), 0);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) ASSERT_EQ(moved.At(24 + x, 14 + y), whole.At(4 + x, 4 + y)) << x << "," << y;
  // And the canvas's own clip (the control's area) holds against a wider text clip.
  Sheet narrow;
  {
    TPictureCanvas canvas(narrow.dib, &font);
    canvas.font.height = 12;
    canvas.font.color = kInk;
    canvas.SetClip({0, 0, 10, 40});
    canvas.TextOut(4, 4, "漢字", {0, 0, 100, 100});
  }
  EXPECT_EQ(narrow.InkOutside({0, 0, 10, 40}), 0);
  EXPECT_TRUE(narrow.SamePixels(whole, {0, 0, 10, 40}));
  // Text partly off the picture is cut at its edges.
  Sheet edge(20, 10);
  Draw(edge, &font, -6, -3, "漢字");
  EXPECT_GT(edge.InkIn({0, 0, 20, 10}), 0);
}

TEST_F(GlyphTextTest, EveryGlyphLiesInsideItsCell) {
  // Wide Latin letters, descenders, accents, full-width and half-width forms, bold or
  // not, at odd and even sizes.
  const std::string chars[] = {"W", "M", "g", "j", "_", "|", "@", "ｱ", "ﾟ", "あ", "漢", "ー", "。", "■", "Ｗ"};
  for (int size : {7, 8, 12, 13, 16, 24, 33}) {
    int half = size / 2;
    for (const std::string& ch : chars) {
      int cell = ch.size() == 2 ? 2 * half : half;
      for (bool bold : {false, true}) {
        const TGlyphMask* m = font.Glyph(ch, cell, size, bold);
        ASSERT_NE(m, nullptr) << ch << " " << size;
        EXPECT_GE(m->left, 0);
        EXPECT_GE(m->top, 0);
        EXPECT_LE(m->left + m->width, cell) << ch << " " << size;
        EXPECT_LE(m->top + m->height, size) << ch << " " << size;
        EXPECT_EQ(m->coverage.size(), size_t(m->width) * size_t(m->height));
        int ink = 0;
        for (uint8_t c : m->coverage) ink += c > 0;
        EXPECT_GT(ink, 0) << ch << " " << size;
      }
    }
  }
  // Bold glyphs carry more ink.
  auto total = [](const TGlyphMask* m) {
    int sum = 0;
    for (uint8_t c : m->coverage) sum += c;
    return sum;
  };
  EXPECT_GT(total(font.Glyph("あ", 12, 12, true)), total(font.Glyph("あ", 12, 12, false)));
  Sheet bold;
  Draw(bold, &font, 0, 0, "太字", {0, 0, 1000, 1000}, true);
  EXPECT_EQ(bold.InkOutside({0, 0, 2 * font.Advance("太", 12, true), 12}), 0);
  EXPECT_GT(font.Advance("太", 12, true), font.Advance("太", 12, false));
}

TEST_F(GlyphTextTest, BlanksControlsAndUndrawableCharacters) {
  // Blanks and control characters draw nothing; a space still takes its cell.
  EXPECT_EQ(font.Glyph(" ", 6, 12, false)->coverage.size(), 0u);
  EXPECT_EQ(font.Glyph("\t", 6, 12, false)->coverage.size(), 0u);
  EXPECT_EQ(font.Glyph("　", 12, 12, false)->coverage.size(), 0u);  // full-width space
  Sheet sheet;
  Draw(sheet, &font, 0, 0, "\t \x7F" "A");
  const int a = 6 + font.Advance(" ", 12, false) + 6;  // control characters keep box cells
  EXPECT_EQ(sheet.InkIn({0, 0, a, 12}), 0);
  EXPECT_GT(sheet.InkIn({a, 0, a + 6, 12}), 0);
  // Bytes that are no character, and sizes out of range, have no glyph: a box is drawn.
  EXPECT_EQ(font.Glyph("\x81\x7F", 12, 12, false), nullptr);  // no character at 81 7F
  EXPECT_EQ(font.Glyph("\x85\x40", 12, 12, false), nullptr);  // unassigned row
  EXPECT_EQ(font.Glyph("\x82", 6, 12, false), nullptr);       // a lead byte alone
  EXPECT_EQ(font.Glyph("", 6, 12, false), nullptr);
  EXPECT_EQ(font.Glyph("A", 6, 0, false), nullptr);
  EXPECT_EQ(font.Glyph("A", 0, 12, false), nullptr);
  EXPECT_EQ(font.Glyph("A", 600, 1200, false), nullptr);
  Sheet bad, boxes;
  Draw(bad, &font, 0, 0, "\x85\x40" "\x82");
  Draw(boxes, kBoxText, 0, 0, "\x85\x40" "\x82");
  EXPECT_TRUE(bad.SamePixels(boxes, {0, 0, 80, 40}));
  EXPECT_EQ(bad.InkIn({0, 0, 18, 12}), 10 * 9 + 4 * 9);
}

TEST_F(GlyphTextTest, OtherPictureFormatsBlendThroughTheirColours) {
  Sheet deep(40, 20, 32), usual(40, 20, 24);
  Draw(deep, &font, 2, 2, "あ");
  Draw(usual, &font, 2, 2, "あ");
  EXPECT_TRUE(deep.SamePixels(usual, {0, 0, 40, 20}));
  Sheet high(40, 20, 16);
  Draw(high, &font, 2, 2, "あ");
  EXPECT_GT(high.InkIn(Bounds(2, 2, 12, 12)), 15);
  EXPECT_EQ(high.InkOutside(Bounds(2, 2, 12, 12)), 0);
}

TEST(GlyphFallbackTest, WithoutAFontTextIsDrawnAsBoxes) {
  TGlyphFont missing("/nonexistent/zarn-no-such-font.ttf");
  EXPECT_FALSE(missing.Available());
  EXPECT_EQ(missing.Glyph("あ", 12, 12, false), nullptr);
  Sheet fallback, boxes;
  for (Sheet* s : {&fallback, &boxes}) {
    TPictureCanvas canvas(s->dib, s == &fallback ? &missing : kBoxText);
    canvas.font.height = 12;
    canvas.font.color = kInk;
    canvas.TextOut(3, 1, "あA b", {0, 0, 100, 100});
  }
  EXPECT_TRUE(fallback.SamePixels(boxes, {0, 0, 80, 40}));
  // Each box lies one pixel inside its cell with a gap above and below; a space is blank.
  EXPECT_EQ(boxes.InkIn({4, 3, 14, 12}), 10 * 9);
  EXPECT_EQ(boxes.InkIn({16, 3, 20, 12}), 4 * 9);
  EXPECT_EQ(boxes.InkIn(Bounds(21, 1, 6, 12)), 0);
  EXPECT_EQ(boxes.InkIn({28, 3, 32, 12}), 4 * 9);
  EXPECT_EQ(boxes.InkOutside({4, 3, 32, 12}), 0);
  // A file that is no font is no better.
  TGlyphFont notAFont("/proc/self/status");
  EXPECT_FALSE(notAFont.Available());
}

TEST(GlyphFallbackTest, TheDefaultFontComesFromTheEnvironment) {
  const char* old = std::getenv("ZARN_HEADLESS_FONT");
  std::string saved = old ? old : "";
  setenv("ZARN_HEADLESS_FONT", "/tmp/zarn-some-font.otf", 1);
  EXPECT_EQ(TGlyphFont::DefaultPath(), "/tmp/zarn-some-font.otf");
  setenv("ZARN_HEADLESS_FONT", "", 1);
  EXPECT_EQ(TGlyphFont::DefaultPath(), kIpaGothicP);
  unsetenv("ZARN_HEADLESS_FONT");
  EXPECT_EQ(TGlyphFont::DefaultPath(), kIpaGothicP);
  if (old) setenv("ZARN_HEADLESS_FONT", saved.c_str(), 1);
}

}  // namespace
}  // namespace zarn
