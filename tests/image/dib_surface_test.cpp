#include "image/dib_surface.h"

#include <gtest/gtest.h>

#include <functional>

namespace zarn {
namespace {

const int kAllBits[] = {1, 4, 8, 15, 16, 24, 32};

uint32_t MaskOf(int bits) {
  switch (bits) {
    case 15: return 0x7FFF;
    case 32: return 0xFFFFFFFFu;
    default: return (1u << bits) - 1;
  }
}

void Fill(TDIBSurface& s, int w, int h, int bits, const std::function<uint32_t(int, int)>& f) {
  s.SetSize(w, h, bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.WritePixel(x, y, f(x, y) & MaskOf(bits));
}

uint32_t Noise(int x, int y) { return (uint32_t(x) * 2654435761u) ^ (uint32_t(y) * 2246822519u) ^ 0x5bd1e995u; }

TEST(DIBSurface, FifteenBitsAreStoredAsSixteen) {
  TDIBSurface s;
  s.SetSize(3, 2, 15);
  EXPECT_EQ(s.StoredBitCount(), 16);
  EXPECT_EQ(s.BitCount(), 15);
  EXPECT_EQ(static_cast<const TDIB&>(s).BitCount(), 15);
  EXPECT_EQ(s.PixelFormat(), TPixelFormat::Rgb555());
  s.SetSize(3, 2, 16);
  EXPECT_EQ(s.BitCount(), 16);
  EXPECT_EQ(s.PixelFormat(), TPixelFormat::Rgb565());
  s.SetSize(3, 2, 32);
  EXPECT_EQ(s.PixelFormat(), TPixelFormat::Rgb888());
}

TEST(DIBSurface, ColorToPixelPerFormat) {
  TDIBSurface s;
  s.SetSize(1, 1, 24);
  EXPECT_EQ(s.ColorToPixel(0x12, 0x34, 0x56), 0x123456u);
  s.SetSize(1, 1, 32);
  EXPECT_EQ(s.ColorToPixel(MakeColor(0x12, 0x34, 0x56)), 0x123456u);
  // 5 and 6 bits take the top bits of each byte, so mid-grey is not black.
  s.SetSize(1, 1, 15);
  EXPECT_EQ(s.ColorToPixel(255, 255, 255), 0x7FFFu);
  EXPECT_EQ(s.ColorToPixel(128, 128, 128), 16u << 10 | 16u << 5 | 16u);
  s.SetSize(1, 1, 16);
  EXPECT_EQ(s.ColorToPixel(255, 255, 255), 0xFFFFu);
  EXPECT_EQ(s.ColorToPixel(0, 128, 0), 32u << 5);
  // Every 16-bit value shows a colour that maps back to it.
  for (uint32_t v = 0; v < 0x10000; v += 97) EXPECT_EQ(s.ColorToPixel(s.PixelColor(v)), v);
  s.SetSize(1, 1, 8);
  TPalette p{};
  p[0] = TRGBQuad{0, 0, 0, 0};
  p[7] = TRGBQuad{0, 0, 200, 0};
  p[9] = TRGBQuad{200, 0, 0, 0};
  s.SetColorTable(p);
  EXPECT_EQ(s.ColorToPixel(190, 10, 0), 7u);
  EXPECT_EQ(s.ColorToPixel(0, 10, 250), 9u);
  EXPECT_EQ(s.ColorToPixel(0, 0, 0), 0u);
}

TEST(DIBSurface, FillRectMasksAndClipsToTheSurfaceOnly) {
  for (int bits : kAllBits) {
    SCOPED_TRACE(bits);
    TDIBSurface s;
    s.SetSize(9, 4, bits);
    s.ClipRect = TRect{0, 0, 1, 1};  // not applied to FillRect
    s.FillRect(TRect{-3, 1, 7, 99}, 0xFFFFFFFFu);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 9; ++x) EXPECT_EQ(s.ReadPixel(x, y), (y >= 1 && x < 7) ? MaskOf(bits) : 0u);
  }
}

// The same operation drawn pixel by pixel, as a model.
void ModelDraw(TDIBSurface& t, int x, int y, const TDIBSurface& src, TRect sr, TRect clip,
               const std::function<void(int tx, int ty, int sx, int sy)>& pixel) {
  if (clip.IsEmpty()) clip = TRect{0, 0, t.Width(), t.Height()};
  for (int sy = sr.Top; sy < sr.Bottom; ++sy)
    for (int sx = sr.Left; sx < sr.Right; ++sx) {
      int tx = x + sx - sr.Left, ty = y + sy - sr.Top;
      if (tx < clip.Left || tx >= clip.Right || ty < clip.Top || ty >= clip.Bottom) continue;
      if (tx < 0 || ty < 0 || tx >= t.Width() || ty >= t.Height()) continue;
      pixel(tx, ty, sx, sy);
    }
}

TEST(DIBSurface, DrawOpaqueAndKeyedAtEveryBitCountWithClipping) {
  struct Case {
    int x, y;
    TRect clip;
  };
  const Case cases[] = {{3, 2, {}}, {-5, -1, {}}, {7, 5, {}}, {1, 1, {2, 3, 11, 6}}, {0, 0, {-4, -4, 40, 40}}};
  for (int bits : kAllBits) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << bits << " bits at " << c.x << "," << c.y);
      TDIBSurface src, opaque, keyed, base;
      Fill(src, 13, 5, bits, [](int x, int y) { return Noise(x, y) % 3 == 0 ? 0u : Noise(x + 7, y); });
      Fill(base, 17, 8, bits, [](int x, int y) { return Noise(y, x) ^ 0xA5A5A5A5u; });
      opaque.AssignSurface(base);
      keyed.AssignSurface(base);
      opaque.ClipRect = c.clip;
      keyed.ClipRect = c.clip;
      opaque.DrawOpaque(c.x, c.y, src);
      keyed.DrawKeyed(c.x, c.y, src, TRect{0, 0, 13, 5}, 0);
      TDIBSurface wantOpaque, wantKeyed;
      Fill(wantOpaque, 17, 8, bits, [&](int x, int y) { return base.ReadPixel(x, y); });
      Fill(wantKeyed, 17, 8, bits, [&](int x, int y) { return base.ReadPixel(x, y); });
      ModelDraw(wantOpaque, c.x, c.y, src, TRect{0, 0, 13, 5}, c.clip,
                [&](int tx, int ty, int sx, int sy) { wantOpaque.WritePixel(tx, ty, src.ReadPixel(sx, sy)); });
      ModelDraw(wantKeyed, c.x, c.y, src, TRect{0, 0, 13, 5}, c.clip, [&](int tx, int ty, int sx, int sy) {
        if (src.ReadPixel(sx, sy) != 0) wantKeyed.WritePixel(tx, ty, src.ReadPixel(sx, sy));
      });
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 17; ++x) {
          ASSERT_EQ(opaque.ReadPixel(x, y), wantOpaque.ReadPixel(x, y)) << x << "," << y;
          ASSERT_EQ(keyed.ReadPixel(x, y), wantKeyed.ReadPixel(x, y)) << x << "," << y;
        }
      // The base shared its store with both targets and kept its pixels.
      EXPECT_EQ(base.ReadPixel(5, 3), (Noise(3, 5) ^ 0xA5A5A5A5u) & MaskOf(bits));
    }
  }
}

TEST(DIBSurface, KeyComparisonsOfTwentyFourBits) {
  TDIBSurface src, t;
  Fill(src, 2, 1, 24, [](int x, int) { return x ? 0x00FFFFFFu : 0x00123456u; });
  t.SetSize(2, 1, 24);
  // The keyed copy compares the whole value: a key with a fourth byte matches nothing.
  t.DrawKeyed(0, 0, src, TRect{0, 0, 2, 1}, 0x01FFFFFF);
  EXPECT_EQ(t.ReadPixel(1, 0), 0xFFFFFFu);
  t.FillRect(TRect{0, 0, 2, 1}, 0);
  t.DrawKeyed(0, 0, src, TRect{0, 0, 2, 1}, 0xFFFFFF);
  EXPECT_EQ(t.ReadPixel(0, 0), 0x123456u);
  EXPECT_EQ(t.ReadPixel(1, 0), 0u);
  // The blend compares only the three colour bytes.
  t.FillRect(TRect{0, 0, 2, 1}, 0);
  t.DrawBlend(0, 0, src, TRect{0, 0, 2, 1}, 0x01FFFFFF, 128);
  EXPECT_EQ(t.ReadPixel(1, 0), 0u);
  EXPECT_NE(t.ReadPixel(0, 0), 0u);
}

TEST(DIBSurface, BlendOfPaletteFormatsIsAnOrderedDither) {
  for (int bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    TDIBSurface src, t;
    // Source pixels are 1 except the key pixels at x = 4 of rows 0 and 4.
    Fill(src, 8, 8, bits, [](int x, int y) { return (x == 4 && y % 4 == 0) ? 0u : 1u; });
    t.SetSize(8, 8, bits);
    t.DrawBlend(0, 0, src, TRect{0, 0, 8, 8}, 0, 40);  // level 2
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        bool drawn = (x % 4 == 0 && y % 4 == 0) || (x % 4 == 2 && y % 4 == 0) || (x % 4 == 2 && y % 4 == 2);
        if (x == 4 && y % 4 == 0) drawn = false;  // the key is never drawn
        EXPECT_EQ(t.ReadPixel(x, y), drawn ? 1u : 0u) << x << "," << y;
      }
    // Drawn at an offset, the pattern follows target positions.
    TDIBSurface u;
    u.SetSize(8, 8, bits);
    u.DrawBlend(1, 0, src, TRect{0, 0, 4, 4}, -1, 1);  // level 0: one pixel in 16
    int count = 0;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) count += int(u.ReadPixel(x, y));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(u.ReadPixel(4, 0), 1u);
    // Level 14 draws 15 in 16; opacity 250 (level 15) is a keyed copy.
    TDIBSurface v;
    v.SetSize(4, 4, bits);
    v.DrawBlend(0, 0, src, TRect{0, 0, 4, 4}, -1, 239);
    count = 0;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) count += int(v.ReadPixel(x, y));
    EXPECT_EQ(count, 15);
    EXPECT_EQ(v.ReadPixel(0, 3), 0u);  // threshold 15
    v.DrawBlend(0, 0, src, TRect{0, 0, 4, 4}, -1, 250);
    EXPECT_EQ(v.ReadPixel(0, 3), 1u);
  }
}

TEST(DIBSurface, DitherLevelsFollowTheBayerMatrix) {
  const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  TDIBSurface src;
  Fill(src, 4, 4, 8, [](int, int) { return 9u; });
  for (int level = 0; level < 15; ++level) {
    TDIBSurface t;
    t.SetSize(4, 4, 8);
    t.DrawBlend(0, 0, src, TRect{0, 0, 4, 4}, -1, level * 16 + 15);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(t.ReadPixel(x, y), bayer[y][x] <= level ? 9u : 0u) << "level " << level << " at " << x << "," << y;
  }
}

TEST(DIBSurface, BlendOfColourFormats) {
  // 24 bits: per byte (t x (255 - o) + s x o) div 255; opacity 250 blends here.
  TDIBSurface s24, t24;
  Fill(s24, 1, 1, 24, [](int, int) { return 0xFF8001u; });
  Fill(t24, 1, 1, 24, [](int, int) { return 0x10F0FFu; });
  t24.DrawBlend(0, 0, s24, TRect{0, 0, 1, 1}, -1, 250);
  auto mix = [](uint32_t t, uint32_t s, uint32_t o) { return (t * (255 - o) + s * o) / 255; };
  EXPECT_EQ(t24.ReadPixel(0, 0), mix(0x10, 0xFF, 250) << 16 | mix(0xF0, 0x80, 250) << 8 | mix(0xFF, 0x01, 250));
  // 32 bits: red and blue together, green apart, shifted by 8; the fourth byte becomes 0.
  TDIBSurface s32, t32;
  Fill(s32, 1, 1, 32, [](int, int) { return 0x77FF8001u; });
  Fill(t32, 1, 1, 32, [](int, int) { return 0x9910F0FFu; });
  t32.DrawBlend(0, 0, s32, TRect{0, 0, 1, 1}, -1, 100);
  uint32_t rb = ((155u * 0x1000FFu + 100u * 0xFF0001u) >> 8) & 0xFF00FF;
  uint32_t g = ((0xF000u * 155u + 0x8000u * 100u) >> 8) & 0xFF00;
  EXPECT_EQ(t32.ReadPixel(0, 0), rb | g);
  // 16 bits (5-6-5): each field on its masked value, divided by 255, masked again.
  TDIBSurface s16, t16;
  Fill(s16, 1, 1, 16, [](int, int) { return 0xF81Fu; });
  Fill(t16, 1, 1, 16, [](int, int) { return 0x07E0u; });
  t16.DrawBlend(0, 0, s16, TRect{0, 0, 1, 1}, -1, 128);
  uint32_t r16 = ((0u * 127 + 0xF800u * 128) / 255) & 0xF800, g16 = ((0x07E0u * 127 + 0) / 255) & 0x07E0,
           b16 = ((0u + 0x1Fu * 128) / 255) & 0x1F;
  EXPECT_EQ(t16.ReadPixel(0, 0), r16 | g16 | b16);
  // 15 bits use the 5-5-5 masks.
  TDIBSurface s15, t15;
  Fill(s15, 1, 1, 15, [](int, int) { return 0x7C00u; });
  Fill(t15, 1, 1, 15, [](int, int) { return 0x03FFu; });
  t15.DrawBlend(0, 0, s15, TRect{0, 0, 1, 1}, -1, 200);
  EXPECT_EQ(t15.ReadPixel(0, 0), (((0x7C00u * 200) / 255) & 0x7C00) | (((0x03E0u * 55) / 255) & 0x03E0) |
                                     (((0x1Fu * 55) / 255) & 0x1F));
}

TEST(DIBSurface, TrueColourBlendOfEveryOpacityAgainstItsFormula) {
  // Rows of odd widths with key pixels scattered, first and last included, so runs of
  // every length and position are blended.
  for (int w : {1, 2, 5, 37}) {
    TDIBSurface src, base;
    const uint32_t key = 0x00FF00;
    Fill(src, w, 3, 24, [&](int x, int y) { return (x == w - 1 || (x + y) % 4 == 0) ? key : Noise(x, y) & 0xFFFFFF; });
    Fill(base, w, 3, 24, [](int x, int y) { return Noise(y + 5, x) & 0xFFFFFF; });
    for (int o = 1; o < 255; ++o) {
      TDIBSurface t;
      t.AssignSurface(base);
      t.DrawBlend(0, 0, src, TRect{0, 0, w, 3}, int32_t(key), o);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < w; ++x) {
          uint32_t s = src.ReadPixel(x, y), b = base.ReadPixel(x, y), want = b;
          if (s != key) {
            want = 0;
            for (int shift : {0, 8, 16})
              want |= (((b >> shift & 0xFF) * uint32_t(255 - o) + (s >> shift & 0xFF) * uint32_t(o)) / 255) << shift;
          }
          ASSERT_EQ(t.ReadPixel(x, y), want) << "width " << w << " opacity " << o << " at " << x << "," << y;
        }
    }
  }
}

TEST(DIBSurface, BlendAtTheEnds) {
  for (int bits : kAllBits) {
    SCOPED_TRACE(bits);
    TDIBSurface src, t;
    Fill(src, 3, 2, bits, [](int, int) { return 0xFFFFFFFFu; });
    t.SetSize(3, 2, bits);
    t.DrawBlend(0, 0, src, TRect{0, 0, 3, 2}, -1, 0);
    EXPECT_EQ(t.ReadPixel(1, 1), 0u);
    // 255 and key -1: every pixel, also all-ones pixels (a 1-bit 1, 0xFFFFFFFF).
    t.DrawBlend(0, 0, src, TRect{0, 0, 3, 2}, -1, 255);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(t.ReadPixel(x, y), MaskOf(bits));
    // Below 0 is treated as opaque too.
    t.FillRect(TRect{0, 0, 3, 2}, 0);
    t.DrawBlend(0, 0, src, TRect{0, 0, 3, 2}, -1, -7);
    EXPECT_EQ(t.ReadPixel(2, 1), MaskOf(bits));
  }
}

TEST(DIBSurface, AlphaDrawOfEveryFormat) {
  // 24 bits at alpha 128, opacity 255: (source x 128 + target x 127) shr 8 per byte;
  // alpha 0 leaves the target, 255 copies.
  TDIBSurface src, t;
  Fill(src, 3, 1, 24, [](int, int) { return 0xC86410u; });
  src.CreateAlpha();
  src.AlphaPlane()->WritePixel(0, 0, 128);
  src.AlphaPlane()->WritePixel(1, 0, 0);
  src.AlphaPlane()->WritePixel(2, 0, 255);
  Fill(t, 3, 1, 24, [](int, int) { return 0x2040F0u; });
  t.DrawAlpha(0, 0, src, TRect{0, 0, 3, 1}, 255);
  auto a128 = [](uint32_t s, uint32_t d) { return (s * 128 + d * 127) >> 8; };
  EXPECT_EQ(t.ReadPixel(0, 0), a128(0xC8, 0x20) << 16 | a128(0x64, 0x40) << 8 | a128(0x10, 0xF0));
  EXPECT_EQ(t.ReadPixel(1, 0), 0x2040F0u);
  EXPECT_EQ(t.ReadPixel(2, 0), 0xC86410u);
  // Opacity below 255: only where opacity x alpha > 255, with d = (opacity x alpha) shr 8.
  Fill(t, 3, 1, 24, [](int, int) { return 0x2040F0u; });
  src.AlphaPlane()->WritePixel(1, 0, 2);  // 100 x 2 = 200: not drawn
  t.DrawAlpha(0, 0, src, TRect{0, 0, 3, 1}, 100);
  uint32_t d = (100 * 128) >> 8;
  auto mixd = [](uint32_t dd, uint32_t tv, uint32_t sv) { return ((255 - dd) * tv + dd * sv) >> 8; };
  EXPECT_EQ(t.ReadPixel(0, 0), mixd(d, 0x20, 0xC8) << 16 | mixd(d, 0x40, 0x64) << 8 | mixd(d, 0xF0, 0x10));
  EXPECT_EQ(t.ReadPixel(1, 0), 0x2040F0u);
  d = (100 * 255) >> 8;
  EXPECT_EQ(t.ReadPixel(2, 0), mixd(d, 0x20, 0xC8) << 16 | mixd(d, 0x40, 0x64) << 8 | mixd(d, 0xF0, 0x10));

  // 32 bits: the blend formula with alpha in place of opacity; opacity not applied.
  TDIBSurface s32, t32;
  Fill(s32, 1, 1, 32, [](int, int) { return 0x11FF8001u; });
  s32.CreateAlpha();
  s32.AlphaPlane()->WritePixel(0, 0, 64);
  Fill(t32, 1, 1, 32, [](int, int) { return 0x9910F0FFu; });
  t32.DrawAlpha(0, 0, s32, TRect{0, 0, 1, 1}, 10);
  uint32_t rb = ((191u * 0x1000FFu + 64u * 0xFF0001u) >> 8) & 0xFF00FF;
  uint32_t g = ((0xF000u * 191u + 0x8000u * 64u) >> 8) & 0xFF00;
  EXPECT_EQ(t32.ReadPixel(0, 0), rb | g);

  // 16 bits: per field, shr 8.
  TDIBSurface s16, t16;
  Fill(s16, 1, 1, 16, [](int, int) { return 0xF800u; });
  s16.CreateAlpha();
  s16.AlphaPlane()->WritePixel(0, 0, 200);
  Fill(t16, 1, 1, 16, [](int, int) { return 0x001Fu; });
  t16.DrawAlpha(0, 0, s16, TRect{0, 0, 1, 1}, 255);
  EXPECT_EQ(t16.ReadPixel(0, 0), (((0xF800u * 200) >> 8) & 0xF800) | (((0x1Fu * 55) >> 8) & 0x1F));

  // Palette formats: the source pixel where alpha >= 128.
  for (int bits : {1, 4, 8}) {
    TDIBSurface sp, tp;
    Fill(sp, 3, 1, bits, [](int, int) { return 1u; });
    sp.CreateAlpha();
    sp.AlphaPlane()->WritePixel(0, 0, 127);
    sp.AlphaPlane()->WritePixel(1, 0, 128);
    sp.AlphaPlane()->WritePixel(2, 0, 255);
    tp.SetSize(3, 1, bits);
    tp.DrawAlpha(0, 0, sp, TRect{0, 0, 3, 1}, 1);
    EXPECT_EQ(tp.ReadPixel(0, 0), 0u);
    EXPECT_EQ(tp.ReadPixel(1, 0), 1u);
    EXPECT_EQ(tp.ReadPixel(2, 0), 1u);
  }

  // Without an alpha plane: a blend with key -1 at the given opacity.
  TDIBSurface plain, t2;
  Fill(plain, 1, 1, 24, [](int, int) { return 0xFFFFFFu; });
  t2.SetSize(1, 1, 24);
  t2.DrawAlpha(0, 0, plain, TRect{0, 0, 1, 1}, 51);
  EXPECT_EQ(t2.ReadPixel(0, 0), 0x333333u);
}

TEST(DIBSurface, AlphaDrawIsClippedAndReadsAlphaAtTheSourcePosition) {
  TDIBSurface src, t;
  Fill(src, 4, 1, 8, [](int x, int) { return uint32_t(x + 1); });
  src.CreateAlpha();
  for (int x = 0; x < 4; ++x) src.AlphaPlane()->WritePixel(x, 0, x % 2 ? 255 : 0);
  t.SetSize(4, 1, 8);
  t.ClipRect = TRect{0, 0, 3, 1};
  t.DrawAlpha(-1, 0, src, TRect{0, 0, 4, 1}, 255);
  // Source x = 1 and 3 are opaque; they land at 0 and 2.
  EXPECT_EQ(t.ReadPixel(0, 0), 2u);
  EXPECT_EQ(t.ReadPixel(1, 0), 0u);
  EXPECT_EQ(t.ReadPixel(2, 0), 4u);
  EXPECT_EQ(t.ReadPixel(3, 0), 0u);
}

TEST(DIBSurface, AlphaPlaneOperations) {
  TDIBSurface s;
  s.SetSize(5, 3, 24);
  EXPECT_FALSE(s.HasAlpha());
  s.FillAlpha();  // nothing to fill
  EXPECT_FALSE(s.HasAlpha());
  s.CreateAlpha();
  ASSERT_TRUE(s.HasAlpha());
  EXPECT_EQ(s.AlphaPlane()->Width(), 5);
  EXPECT_EQ(s.AlphaPlane()->StoredBitCount(), 8);
  s.FillAlpha();
  EXPECT_EQ(s.AlphaPlane()->ReadPixel(4, 2), 255u);
  // The plane follows the surface's size.
  s.SetSize(7, 2, 24);
  EXPECT_EQ(s.AlphaPlane()->Width(), 7);
  EXPECT_EQ(s.AlphaPlane()->Height(), 2);
  TDIBSurface plane;
  plane.SetSize(7, 2, 8);
  plane.WritePixel(6, 1, 77);
  s.CopyAlphaFrom(plane);
  EXPECT_EQ(s.AlphaPlane()->ReadPixel(6, 1), 77u);
  TDIBSurface wrong;
  wrong.SetSize(6, 2, 8);
  EXPECT_THROW(s.CopyAlphaFrom(wrong), EInvalidGraphicOperation);
  // AssignSurface copies the plane; later changes stay apart.
  TDIBSurface copy;
  copy.AssignSurface(s);
  ASSERT_TRUE(copy.HasAlpha());
  copy.AlphaPlane()->WritePixel(6, 1, 1);
  EXPECT_EQ(s.AlphaPlane()->ReadPixel(6, 1), 77u);
  TDIBSurface none;
  none.SetSize(1, 1, 8);
  copy.AssignSurface(none);
  EXPECT_FALSE(copy.HasAlpha());
  EXPECT_EQ(copy.Width(), 1);
  s.DropAlpha();
  EXPECT_FALSE(s.HasAlpha());
  s.CreateAlpha();
  s.Clear();
  EXPECT_FALSE(s.HasAlpha());
  EXPECT_TRUE(s.Empty());
}

TEST(DIBSurface, DrawingBetweenDifferentFormatsIsRefused) {
  TDIBSurface a, b;
  a.SetSize(4, 4, 24);
  b.SetSize(4, 4, 32);
  EXPECT_THROW(a.DrawOpaque(0, 0, b), EInvalidGraphicOperation);
  EXPECT_THROW(a.DrawBlend(0, 0, b, TRect{0, 0, 4, 4}, -1, 100), EInvalidGraphicOperation);
  EXPECT_THROW(a.DrawAlpha(0, 0, b, TRect{0, 0, 4, 4}, 100), EInvalidGraphicOperation);
  // An alpha plane that no longer matches its surface is refused, not read past.
  TDIBSurface c;
  c.SetSize(4, 4, 24);
  c.CreateAlpha();
  TDIB other;
  other.SetSize(8, 8, 24);
  c.Assign(other);
  EXPECT_THROW(a.DrawAlpha(0, 0, c, TRect{0, 0, 8, 8}, 255), EInvalidGraphicOperation);
}

TEST(DIBSurface, SourceRectanglesAreKeptInsideTheSource) {
  TDIBSurface src, t;
  Fill(src, 2, 2, 8, [](int x, int y) { return uint32_t(1 + x + 2 * y); });
  t.SetSize(4, 4, 8);
  t.DrawKeyed(1, 1, src, TRect{-1, -1, 5, 5}, -1);
  // The part of the rectangle outside the source draws nothing; the rest lands where
  // the whole rectangle would have put it.
  EXPECT_EQ(t.ReadPixel(2, 2), 1u);
  EXPECT_EQ(t.ReadPixel(3, 3), 4u);
  EXPECT_EQ(t.ReadPixel(1, 1), 0u);
}

}  // namespace
}  // namespace zarn
