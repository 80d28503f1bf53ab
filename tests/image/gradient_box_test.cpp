#include "image/gradient_box.h"

#include <gtest/gtest.h>

#include "image/dib_surface.h"

namespace zarn {
namespace {

const TColor kMarker = MakeColor(1, 2, 3);
const TColor kBlue = MakeColor(0, 0, 255);
const TColor kNavy = MakeColor(0, 0, 128);

// A 24-bit screen filled with a marker colour, so unpainted pixels show.
struct Screen {
  TDIBSurface dib;
  Screen(int w, int h, int bits = 24) {
    dib.SetSize(w, h, bits);
    dib.Canvas().FillRect(TRect{0, 0, w, h}, kMarker);
  }
  TColor At(int x, int y) const { return dib.PixelColor(dib.ReadPixel(x, y)); }
};

TEST(GradBox, VerticalBoxOf283RowsEndsWithAFinalFill) {
  TGradBox g;
  g.SetStartColor(kBlue);
  g.SetEndColor(kNavy);
  g.SetGradStep(128);
  Screen s(4, 283);
  g.Paint(s.dib.Canvas(), 4, 283);
  // band = rnd(283 / 129) = 2: band i covers rows 2i and 2i + 1, i = 0 .. 129.
  EXPECT_EQ(s.At(0, 0), kBlue);
  EXPECT_EQ(s.At(3, 1), kBlue);
  EXPECT_EQ(s.At(0, 2), MakeColor(0, 0, 254));    // rnd(-127 / 129) = -1
  EXPECT_EQ(s.At(0, 128), MakeColor(0, 0, 192));  // band 64: rnd(-63.0078) = -63
  EXPECT_EQ(s.At(0, 129), MakeColor(0, 0, 192));
  EXPECT_EQ(s.At(0, 258), kNavy);  // band 129 is the end colour
  // 260 + 2 < 283: rows 260 to 282 take the last colour.
  for (int y = 260; y < 283; ++y) EXPECT_EQ(s.At(2, y), kNavy) << y;
  for (int y = 0; y < 283; y += 2) EXPECT_EQ(s.At(1, y), s.At(1, y + 1 < 283 ? y + 1 : y)) << y;
}

TEST(GradBox, VerticalBoxOf392RowsLeavesTheLastTwoRows) {
  TGradBox g;
  g.SetStartColor(kBlue);
  g.SetEndColor(kNavy);
  Screen s(2, 392);
  g.Paint(s.dib.Canvas(), 2, 392);
  // band = 3; 130 bands end at y = 390, and 390 + 3 is not below 392.
  EXPECT_EQ(s.At(0, 387), kNavy);
  EXPECT_EQ(s.At(0, 389), kNavy);
  EXPECT_EQ(s.At(0, 386), MakeColor(0, 0, 129));  // band 128: rnd(-127 x 128 / 129) = -126
  EXPECT_EQ(s.At(0, 390), kMarker);
  EXPECT_EQ(s.At(1, 391), kMarker);
}

TEST(GradBox, BandColoursRoundHalfToEven) {
  // N = 3, red from 0 to 2: band i has rnd(2 / 4 x i): 0, rnd(0.5) = 0, 1, rnd(1.5) = 2.
  TGradBox g;
  g.SetStartColor(MakeColor(0, 0, 0));
  g.SetEndColor(MakeColor(2, 0, 0));
  g.SetGradStep(3);
  Screen s(1, 8);
  g.Paint(s.dib.Canvas(), 1, 8);
  const int red[8] = {0, 0, 0, 0, 1, 1, 2, 2};
  for (int y = 0; y < 8; ++y) EXPECT_EQ(ColorRed(s.At(0, y)), red[y]) << y;
}

TEST(GradBox, TwoBandsShowOnlyTheStartColour) {
  TGradBox g;
  g.SetStartColor(kBlue);
  g.SetEndColor(kNavy);
  g.SetGradStep(0);
  Screen s(3, 20);
  s.dib.Canvas().SetOrigin(0, 5);  // the box covers rows 5 to 14 of the screen
  g.Paint(s.dib.Canvas(), 3, 10);
  for (int y = 0; y < 20; ++y) EXPECT_EQ(s.At(1, y), (y >= 5 && y < 15) ? kBlue : kMarker) << y;
}

TEST(GradBox, HorizontalBandsNarrowerThanAPixelAreOnePixelWide) {
  TGradBox g;
  g.SetStartColor(MakeColor(0, 0, 0));
  g.SetEndColor(MakeColor(129, 0, 0));
  g.SetDirection(gdHorizontal);
  Screen s(60, 2);
  g.Paint(s.dib.Canvas(), 50, 2);
  // band = rnd(50 / 129) = 0 -> 1: column i has band i; columns past 50 are clipped.
  for (int x = 0; x < 50; ++x) EXPECT_EQ(ColorRed(s.At(x, 1)), x) << x;
  for (int x = 50; x < 60; ++x) EXPECT_EQ(s.At(x, 0), kMarker) << x;
}

TEST(GradBox, HorizontalBoxGetsAFinalFill) {
  TGradBox g;
  g.SetStartColor(MakeColor(0, 0, 0));
  g.SetEndColor(MakeColor(0, 40, 0));
  g.SetGradStep(3);
  g.SetDirection(gdHorizontal);
  Screen s(30, 1);
  g.Paint(s.dib.Canvas(), 30, 1);
  // band = rnd(30 / 4) = 8 (7.5 to even); 5 bands reach x = 40, past the box.
  EXPECT_EQ(ColorGreen(s.At(7, 0)), 0);
  EXPECT_EQ(ColorGreen(s.At(8, 0)), 10);
  EXPECT_EQ(ColorGreen(s.At(29, 0)), 30);
  // 283 columns with N = 128: band 2, bands end at 260, and 260 + 2 < 283, so the last
  // colour fills 260 to 282.
  g.SetGradStep(128);
  g.SetEndColor(MakeColor(0, 129, 0));
  Screen w(283, 1);
  g.Paint(w.dib.Canvas(), 283, 1);
  EXPECT_EQ(ColorGreen(w.At(257, 0)), 128);
  EXPECT_EQ(ColorGreen(w.At(259, 0)), 129);
  for (int x = 260; x < 283; ++x) EXPECT_EQ(ColorGreen(w.At(x, 0)), 129) << x;
}

TEST(GradBox, CentredBandsRunFromTheMiddleOutward) {
  TGradBox g;
  g.SetStartColor(MakeColor(0, 0, 0));
  g.SetEndColor(MakeColor(90, 0, 0));
  g.SetGradStep(4);
  g.SetDirection(gdHorzCenter);
  Screen s(14, 1);
  g.Paint(s.dib.Canvas(), 14, 1);
  // band = rnd(14 / 5) = 3; half = 2; d = 2, 1, 0, 1, 2, 3 -> 60, 30, 0, 30, 60, 90.
  const int red[6] = {60, 30, 0, 30, 60, 90};
  for (int x = 0; x < 14; ++x) EXPECT_EQ(ColorRed(s.At(x, 0)), red[x / 3]) << x;
  // No final fill: with 283 columns and N = 128 the bands end at 260 and the rest of the
  // box is left as it was.
  g.SetGradStep(128);
  Screen w(283, 1);
  g.Paint(w.dib.Canvas(), 283, 1);
  EXPECT_EQ(ColorRed(w.At(128, 0)), 0);  // band 64 = N div 2 has the start colour
  EXPECT_NE(w.At(259, 0), kMarker);
  for (int x = 260; x < 283; ++x) EXPECT_EQ(w.At(x, 0), kMarker) << x;
}

TEST(GradBox, ChannelsWrapModulo256) {
  // N = 3 centred: half = 1, d reaches 3, so the last band overshoots: 200 / 2 x 3 = 300.
  TGradBox g;
  g.SetStartColor(MakeColor(0, 0, 0));
  g.SetEndColor(MakeColor(200, 0, 0));
  g.SetGradStep(3);
  g.SetDirection(gdHorzCenter);
  Screen s(5, 1);
  g.Paint(s.dib.Canvas(), 5, 1);  // band 1
  const int red[5] = {100, 0, 100, 200, 300 % 256};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(ColorRed(s.At(x, 0)), red[x]) << x;
}

TEST(GradBox, ColoursAreMappedToWhatTheDeviceShows) {
  TGradBox g;
  g.SetStartColor(MakeColor(0x0F, 0, 0));  // 5 bits: 0x0F shows as 0x08
  g.SetEndColor(MakeColor(0x0F, 0, 0));
  Screen s(1, 4, 15);
  g.Paint(s.dib.Canvas(), 1, 4);
  EXPECT_EQ(s.At(0, 0), MakeColor(0x08, 0, 0));
  EXPECT_EQ(s.At(0, 3), MakeColor(0x08, 0, 0));
}

TEST(GradBox, PropertiesAndNotifications) {
  TGradBox g;
  EXPECT_EQ(g.StartColor(), MakeColor(255, 255, 255));
  EXPECT_EQ(g.EndColor(), MakeColor(0, 0, 0));
  EXPECT_EQ(g.GradStep(), 128);
  EXPECT_EQ(g.Direction(), gdVertical);
  int changes = 0, invalidations = 0;
  TGradBox* sender = nullptr;
  g.OnChange = [&](TGradBox& s) {
    ++changes;
    sender = &s;
  };
  g.OnInvalidate = [&] { ++invalidations; };
  g.SetStartColor(g.StartColor());  // unchanged values still notify
  g.SetEndColor(g.EndColor());
  g.SetGradStep(g.GradStep());
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(invalidations, 3);
  EXPECT_EQ(sender, &g);
  g.SetDirection(gdVertical);  // unchanged: nothing
  EXPECT_EQ(changes, 3);
  g.SetDirection(gdHorzCenter);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(invalidations, 4);
  EXPECT_EQ(g.Direction(), gdHorzCenter);
}

TEST(GradBox, PaintReportsRectanglesInBoxCoordinates) {
  TGradBox g;
  g.SetGradStep(1);
  std::vector<TRect> rects;
  g.Paint(10, 7, [&](const TRect& r, TColor) { rects.push_back(r); });
  // band = rnd(7 / 2) = 4 (3.5 to even): three bands, no final fill (12 + 4 > 7).
  ASSERT_EQ(rects.size(), 3u);
  EXPECT_EQ(rects[0], (TRect{0, 0, 10, 4}));
  EXPECT_EQ(rects[1], (TRect{0, 4, 10, 8}));
  EXPECT_EQ(rects[2], (TRect{0, 8, 10, 12}));
}

}  // namespace
}  // namespace zarn
