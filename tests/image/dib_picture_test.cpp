#include "image/dib_picture.h"

#include <gtest/gtest.h>

#include "image/dib_surface.h"

namespace zarn {
namespace {

TPalette GreyPalette(int entries) {
  TPalette p{};
  for (int i = 0; i < entries; ++i) {
    uint8_t v = uint8_t(entries == 1 ? 0 : i * 255 / (entries - 1));
    p[size_t(i)] = TRGBQuad{v, v, v, 0};
  }
  return p;
}

// Fills a picture with a pattern that reaches every bit of each pixel.
void Pattern(TDIB& d) {
  uint32_t mask = d.StoredBitCount() == 32 ? 0xFFFFFFFFu : (1u << d.StoredBitCount()) - 1;
  for (int y = 0; y < d.Height(); ++y)
    for (int x = 0; x < d.Width(); ++x) d.WritePixel(x, y, (uint32_t(x) * 2654435761u + uint32_t(y) * 40503u) & mask);
}

TEST(DIB, SizeRowsAndEmptyPicture) {
  TDIB d;
  EXPECT_TRUE(d.Empty());
  EXPECT_EQ(d.StoredBitCount(), 0);
  d.SetSize(13, 5, 1);
  EXPECT_EQ(d.WidthBytes(), 4);
  d.SetSize(33, 5, 1);
  EXPECT_EQ(d.WidthBytes(), 8);
  d.SetSize(3, 2, 24);
  EXPECT_EQ(d.WidthBytes(), 12);
  EXPECT_EQ(d.RowStep(), 12);
  d.SetSize(7, 2, 4);
  EXPECT_EQ(d.WidthBytes(), 4);
  EXPECT_EQ(d.PaletteCount(), 16);
  // New rows are cleared.
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(d.ReadPixel(x, y), 0u);
  d.SetSize(0, 10, 8);
  EXPECT_TRUE(d.Empty());
  EXPECT_EQ(d.Height(), 0);
  d.SetSize(10, -1, 8);
  EXPECT_TRUE(d.Empty());
  EXPECT_THROW(d.SetSize(4, 4, 7), EInvalidGraphicOperation);
}

TEST(DIB, SizesBeyondTheLimitsAreRefusedBeforeAllocating) {
  TDIB d;
  EXPECT_THROW(d.SetSize(kMaxDIBSide + 1, 1, 8), EInvalidGraphicOperation);
  EXPECT_THROW(d.SetSize(1, kMaxDIBSide + 1, 8), EInvalidGraphicOperation);
  // 32768 x 32768 at 32 bits would be 4 GiB.
  EXPECT_THROW(d.SetSize(kMaxDIBSide, kMaxDIBSide, 32), EInvalidGraphicOperation);
  EXPECT_TRUE(d.Empty());
  d.SetSize(kMaxDIBSide, 1, 32);  // a long row is fine
  EXPECT_EQ(d.WidthBytes(), kMaxDIBSide * 4);
}

TEST(DIB, ScanLineOutsideTheRowsRaisesWithTheIndex) {
  TDIB d;
  d.SetSize(4, 3, 8);
  EXPECT_NO_THROW(d.ScanLine(2));
  try {
    d.ScanLine(3);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), "スキャンラインのインデックスが範囲を越えました (3)");
  }
  EXPECT_THROW(d.ScanLine(-1), EInvalidGraphicOperation);
  const TDIB& c = d;
  EXPECT_THROW(c.ScanLine(3), EInvalidGraphicOperation);
}

TEST(DIB, PixelsOfEveryBitCountAndOutsideThePicture) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TDIB d;
    d.SetSize(11, 3, bits);
    uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 11; ++x) d.WritePixel(x, y, (uint32_t(x * 7 + y * 13) * 0x01030507u) & mask);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 11; ++x) EXPECT_EQ(d.ReadPixel(x, y), (uint32_t(x * 7 + y * 13) * 0x01030507u) & mask);
    EXPECT_EQ(d.ReadPixel(-1, 0), 0u);
    EXPECT_EQ(d.ReadPixel(11, 0), 0u);
    EXPECT_EQ(d.ReadPixel(0, 3), 0u);
    TDIB before;
    before.Assign(d);
    d.WritePixel(11, 0, 1);
    d.WritePixel(0, -1, 1);
    EXPECT_TRUE(d.SharesStoreWith(before));  // nothing was written
  }
  // Packed layouts: 1 bit from the most significant bit, 4 bits high nibble first,
  // 24 bits blue, green, red.
  TDIB one;
  one.SetSize(9, 1, 1);
  one.WritePixel(0, 0, 1);
  one.WritePixel(8, 0, 1);
  EXPECT_EQ(one.ScanLine(0)[0], 0x80);
  EXPECT_EQ(one.ScanLine(0)[1], 0x80);
  TDIB four;
  four.SetSize(2, 1, 4);
  four.WritePixel(0, 0, 0xA);
  four.WritePixel(1, 0, 0x5);
  EXPECT_EQ(four.ScanLine(0)[0], 0xA5);
  TDIB rgb;
  rgb.SetSize(1, 1, 24);
  rgb.WritePixel(0, 0, 0x112233);
  EXPECT_EQ(rgb.ScanLine(0)[0], 0x33);
  EXPECT_EQ(rgb.ScanLine(0)[2], 0x11);
}

TEST(DIB, StoresAreSharedUntilOneWrites) {
  TDIB a, b;
  a.SetSize(4, 4, 8);
  a.WritePixel(1, 1, 7);
  b.Assign(a);
  EXPECT_TRUE(b.SharesStoreWith(a));
  const TDIB& cb = b;
  cb.ScanLine(0);  // reading keeps the store shared
  EXPECT_TRUE(b.SharesStoreWith(a));
  b.WritePixel(1, 1, 9);
  EXPECT_FALSE(b.SharesStoreWith(a));
  EXPECT_EQ(a.ReadPixel(1, 1), 7u);
  EXPECT_EQ(b.ReadPixel(1, 1), 9u);
  // A palette change is a write too.
  TDIB c;
  c.Assign(a);
  TRGBQuad red{0, 0, 255, 0};
  c.SetColorTable(&red, 1);
  EXPECT_EQ(a.ColorTable()[0], TRGBQuad{});
  EXPECT_EQ(c.ColorTable()[0], red);
  // Resizing the original leaves the copy as it was.
  TDIB d;
  d.Assign(a);
  a.SetSize(2, 2, 24);
  EXPECT_EQ(d.Width(), 4);
  EXPECT_EQ(d.ReadPixel(1, 1), 7u);
}

TEST(DIB, SetSizeKeepsPaletteAndIsANoOpWhenUnchanged) {
  TDIB d;
  d.SetSize(4, 4, 8);
  TPalette p = GreyPalette(256);
  d.SetColorTable(p);
  d.WritePixel(2, 2, 5);
  d.SetSize(4, 4, 8);
  EXPECT_EQ(d.ReadPixel(2, 2), 5u);
  d.SetSize(5, 4, 8);
  EXPECT_EQ(d.ReadPixel(2, 2), 0u);
  EXPECT_EQ(d.ColorTable()[200], p[200]);
}

TEST(DIB, SetBitCountConvertsThroughColours) {
  TDIB d;
  d.SetSize(3, 1, 8);
  TPalette p{};
  p[1] = TRGBQuad{0x30, 0x20, 0x10, 0};
  p[2] = TRGBQuad{0xFF, 0xFF, 0xFF, 0};
  d.SetColorTable(p);
  d.WritePixel(0, 0, 1);
  d.WritePixel(1, 0, 2);
  d.SetBitCount(24);
  EXPECT_EQ(d.StoredBitCount(), 24);
  EXPECT_EQ(d.ReadPixel(0, 0), 0x102030u);
  EXPECT_EQ(d.ReadPixel(1, 0), 0xFFFFFFu);
  EXPECT_EQ(d.ReadPixel(2, 0), 0u);
  // 24 to 16 keeps the top bits; back to 24 widens them, so white stays white.
  d.WritePixel(2, 0, 0x84C2F9);
  d.SetBitCount(16);
  EXPECT_EQ(d.PixelFormat(), TPixelFormat::Rgb565());
  EXPECT_EQ(d.ReadPixel(1, 0), 0xFFFFu);
  EXPECT_EQ(d.ReadPixel(2, 0), (0x84u >> 3) << 11 | (0xC2u >> 2) << 5 | (0xF9u >> 3));
  d.SetBitCount(24);
  EXPECT_EQ(d.ReadPixel(1, 0), 0xFFFFFFu);
  EXPECT_EQ(d.ReadPixel(2, 0), 0x84C3FFu);  // 5 and 6 bits repeated downward
  // 24 to 8 picks the nearest palette entry.
  d.SetBitCount(8);
  EXPECT_EQ(d.ReadPixel(0, 0), 1u);
  EXPECT_EQ(d.ReadPixel(1, 0), 2u);
  EXPECT_EQ(d.ReadPixel(2, 0), 2u);
  // Palette to palette keeps indices that fit.
  d.WritePixel(0, 0, 1);
  d.SetBitCount(4);
  EXPECT_EQ(d.ReadPixel(0, 0), 1u);
  d.SetBitCount(15);
  EXPECT_TRUE(d.PixelFormat().Is555());
  EXPECT_EQ(d.ReadPixel(0, 0), (0x10u >> 3) << 10 | (0x20u >> 3) << 5 | (0x30u >> 3));
  // 0 empties; on an empty picture a 1 x 1 picture of that count.
  d.SetBitCount(0);
  EXPECT_TRUE(d.Empty());
  d.SetBitCount(32);
  EXPECT_EQ(d.Width(), 1);
  EXPECT_EQ(d.Height(), 1);
  EXPECT_EQ(d.StoredBitCount(), 32);
  EXPECT_THROW(d.SetBitCount(12), EInvalidGraphicOperation);
}

// ---- BMP files

TEST(DIBFile, RoundTripOfEveryBitCount) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TDIBSurface d;
    d.SetSize(13, 7, bits);
    if (bits <= 8) d.SetColorTable(GreyPalette(1 << bits));
    Pattern(d);
    TMemoryStream m;
    d.SaveToStream(m);
    m.SetPosition(0);
    EXPECT_EQ(m.Memory()[0], 'B');
    EXPECT_EQ(m.Memory()[1], 'M');
    TDIBSurface e;
    e.LoadFromStream(m);
    EXPECT_EQ(m.Position(), m.Size());
    ASSERT_EQ(e.Width(), 13);
    ASSERT_EQ(e.Height(), 7);
    EXPECT_EQ(e.BitCount(), bits);
    EXPECT_EQ(e.PixelFormat(), d.PixelFormat());
    for (int y = 0; y < 7; ++y) EXPECT_EQ(0, memcmp(e.ScanLine(y), d.ScanLine(y), size_t(d.WidthBytes())));
    for (int i = 0; i < d.PaletteCount(); ++i) EXPECT_EQ(e.ColorTable()[size_t(i)], d.ColorTable()[size_t(i)]);
  }
}

// A hand-made BMP file: header, 40-byte information, palette, rows.
std::string Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression, const std::string& palette,
                const std::string& rows, uint32_t offBits = 0) {
  std::string info(40, '\0');
  auto put = [](std::string& s, size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s[at + size_t(i)] = char(v >> (8 * i));
  };
  put(info, 0, 40, 4);
  put(info, 4, uint32_t(width), 4);
  put(info, 8, uint32_t(height), 4);
  put(info, 12, 1, 2);
  put(info, 14, bits, 2);
  put(info, 16, compression, 4);
  std::string file(14, '\0');
  file[0] = 'B';
  file[1] = 'M';
  put(file, 10, offBits ? offBits : uint32_t(14 + 40 + palette.size()), 4);
  return file + info + palette + rows;
}

TEST(DIBFile, TopDownRowsAndTheDataOffset) {
  std::string rows("\x01\x02\x03\x00" "\x04\x05\x06\x00", 8);
  TDIB d;
  TMemoryStream m;
  m.Assign(Bmp(1, -2, 24, 0, "", rows));
  d.LoadFromStream(m);
  EXPECT_EQ(d.ReadPixel(0, 0), 0x030201u);
  EXPECT_EQ(d.ReadPixel(0, 1), 0x060504u);
  m.Assign(Bmp(1, 2, 24, 0, "", rows));
  d.LoadFromStream(m);
  EXPECT_EQ(d.ReadPixel(0, 0), 0x060504u);  // bottom-up
  // Pixel data further on, as the header's offset says.
  m.Assign(Bmp(1, 1, 24, 0, "", std::string("gap!", 4) + rows.substr(0, 4), 14 + 40 + 4));
  d.LoadFromStream(m);
  EXPECT_EQ(d.ReadPixel(0, 0), 0x030201u);
}

TEST(DIBFile, BadStreamsRaiseAndLeaveThePicture) {
  TDIB d;
  d.SetSize(2, 2, 8);
  d.WritePixel(1, 1, 42);
  auto load = [&](const std::string& bytes) {
    TMemoryStream m;
    m.Assign(bytes);
    d.LoadFromStream(m);
  };
  load("");  // no bytes at all: unchanged, no error
  EXPECT_EQ(d.ReadPixel(1, 1), 42u);
  try {
    load("BM short");
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "不正な DIB です");
  }
  std::string good = Bmp(2, 2, 8, 0, std::string(1024, '\0'), std::string(8, '\x07'));
  std::string notBm = good;
  notBm[0] = 'X';
  EXPECT_THROW(load(notBm), EInvalidGraphic);
  EXPECT_THROW(load(good.substr(0, good.size() - 1)), EInvalidGraphic);   // rows cut short
  EXPECT_THROW(load(good.substr(0, 30)), EInvalidGraphic);                // information cut short
  EXPECT_THROW(load(Bmp(2, 2, 8, 1, std::string(1024, '\0'), std::string(8, '\0'))), EInvalidGraphic);  // RLE
  EXPECT_THROW(load(Bmp(2, 2, 7, 0, "", std::string(8, '\0'))), EInvalidGraphic);
  EXPECT_THROW(load(Bmp(0, 2, 24, 0, "", "")), EInvalidGraphic);
  EXPECT_THROW(load(Bmp(100000, 100000, 24, 0, "", "")), EInvalidGraphic);  // refused before allocating
  EXPECT_THROW(load(Bmp(2, 2, 24, 0, "", std::string(16, '\0'), 10)), EInvalidGraphic);  // offset inside header
  EXPECT_EQ(d.ReadPixel(1, 1), 42u);
  load(good);
  EXPECT_EQ(d.ReadPixel(1, 1), 7u);
}

TEST(DIBFile, BitFieldMasks) {
  std::string masks;
  for (uint32_t m : {0x7C00u, 0x03E0u, 0x001Fu})
    for (int i = 0; i < 4; ++i) masks.push_back(char(m >> (8 * i)));
  TDIB d;
  TMemoryStream m;
  m.Assign(Bmp(1, 1, 16, 3, masks, std::string("\x1F\x7C\x00\x00", 4)));
  d.LoadFromStream(m);
  EXPECT_TRUE(d.PixelFormat().Is555());
  EXPECT_EQ(d.PixelColor(d.ReadPixel(0, 0)), MakeColor(255, 0, 255));
  std::string odd;
  for (uint32_t v : {0xF000u, 0x0F00u, 0x00F0u})
    for (int i = 0; i < 4; ++i) odd.push_back(char(v >> (8 * i)));
  m.Assign(Bmp(1, 1, 16, 3, odd, std::string(4, '\0')));
  EXPECT_THROW(d.LoadFromStream(m), EInvalidGraphic);
}

// ---- canvas

TEST(DIBCanvas, FillRectWithOriginAndClip) {
  TDIB d;
  d.SetSize(6, 4, 24);
  TDIBCanvas& c = d.Canvas();
  EXPECT_TRUE(d.HandleAllocated());
  c.SetOrigin(2, 1);
  c.SetClipRect(TRect{0, 0, 5, 4});
  c.FillRect(TRect{-1, 0, 10, 2}, MakeColor(0x11, 0x22, 0x33));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(d.ReadPixel(x, y), (y >= 1 && y < 3 && x >= 1 && x < 5) ? 0x112233u : 0u) << x << "," << y;
  d.ReleaseHandle();
  EXPECT_FALSE(d.HandleAllocated());
}

TEST(DIBCanvas, StretchRepeatsAndDropsWithoutAveraging) {
  TDIB src;
  src.SetSize(2, 2, 24);
  src.WritePixel(0, 0, 0x000001);
  src.WritePixel(1, 0, 0x000002);
  src.WritePixel(0, 1, 0x000003);
  src.WritePixel(1, 1, 0x000004);
  TDIB big;
  big.SetSize(4, 4, 24);
  big.Canvas().StretchDraw(TRect{0, 0, 4, 4}, src);
  const uint32_t expect[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(big.ReadPixel(x, y), expect[y][x]);
  // Shrinking keeps whole source pixels.
  TDIB wide;
  wide.SetSize(6, 1, 32);
  for (int x = 0; x < 6; ++x) wide.WritePixel(x, 0, uint32_t(10 + x));
  TDIB narrow;
  narrow.SetSize(3, 1, 32);
  narrow.Canvas().StretchDraw(TRect{0, 0, 3, 1}, wide);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(narrow.ReadPixel(x, 0), uint32_t(11 + 2 * x));
}

TEST(DIBCanvas, CopiesBetweenFormatsThroughColours) {
  TDIB pal;
  pal.SetSize(3, 1, 4);
  TPalette p{};
  p[3] = TRGBQuad{0, 0, 255, 0};
  p[5] = TRGBQuad{255, 0, 0, 0};
  pal.SetColorTable(p);
  pal.WritePixel(0, 0, 3);
  pal.WritePixel(1, 0, 5);
  TDIB rgb;
  rgb.SetSize(4, 2, 24);
  rgb.Canvas().Draw(1, 1, pal);
  EXPECT_EQ(rgb.ReadPixel(1, 1), 0xFF0000u);
  EXPECT_EQ(rgb.ReadPixel(2, 1), 0x0000FFu);
  EXPECT_EQ(rgb.ReadPixel(0, 1), 0u);
  // Onto a palette picture: the nearest entry.
  TDIB back;
  back.SetSize(2, 1, 8);
  back.SetColorTable(p);
  TDIB colours;
  colours.SetSize(2, 1, 24);
  colours.WritePixel(0, 0, 0xF00000);  // nearly red
  colours.WritePixel(1, 0, 0x0000F0);  // nearly blue
  back.Canvas().Draw(0, 0, colours);
  EXPECT_EQ(back.ReadPixel(0, 0), 3u);
  EXPECT_EQ(back.ReadPixel(1, 0), 5u);
  // 1-bit pictures copied at odd positions keep their bits.
  TDIB bitsSrc, bitsDst;
  bitsSrc.SetSize(10, 1, 1);
  bitsDst.SetSize(16, 1, 1);
  for (int x = 0; x < 10; ++x) bitsSrc.WritePixel(x, 0, uint32_t(x % 3 == 0));
  bitsDst.Canvas().Draw(3, 0, bitsSrc);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(bitsDst.ReadPixel(x, 0), uint32_t(x >= 3 && x < 13 && (x - 3) % 3 == 0));
}

TEST(DIBCanvas, NearestColourFollowsTheFormat) {
  TDIB d;
  d.SetSize(1, 1, 24);
  EXPECT_EQ(d.Canvas().NearestColor(0x123456), 0x123456u);
  TDIBSurface s;
  s.SetSize(1, 1, 15);
  EXPECT_EQ(s.Canvas().NearestColor(MakeColor(0x0F, 0xFF, 0x80)), MakeColor(0x08, 0xFF, 0x84));
}

// ---- paint box

TEST(DXPaintBox, PlacementRules) {
  TDXPaintBoxOptions o;
  // Natural size at the top left.
  EXPECT_EQ(DXPaintBoxTarget(o, 640, 480, 800, 600), TRect::Bounds(0, 0, 640, 480));
  // Stretch without KeepAspect fills the area whatever its shape.
  o.Stretch = true;
  EXPECT_EQ(DXPaintBoxTarget(o, 640, 480, 300, 700), TRect::Bounds(0, 0, 300, 700));
  EXPECT_EQ(DXPaintBoxTarget(o, 640, 480, 1000, 100), TRect::Bounds(0, 0, 1000, 100));
  // KeepAspect fits: 640 x 480 into 300 x 700 gives r = 300/640, 225 rows.
  o.KeepAspect = true;
  EXPECT_EQ(DXPaintBoxTarget(o, 640, 480, 300, 700), TRect::Bounds(0, 0, 300, 225));
  // Ties go to the even integer. 4 x 2 into 5 x 100: r = 1.25, height 2.5 -> 2.
  EXPECT_EQ(DXPaintBoxTarget(o, 4, 2, 5, 100), TRect::Bounds(0, 0, 5, 2));
  // 4 x 6 into 7 x 100: r = 1.75: 7, 10.5 -> 10.
  EXPECT_EQ(DXPaintBoxTarget(o, 4, 6, 7, 100), TRect::Bounds(0, 0, 7, 10));
  // 4 x 6 into 9 x 100: r = 2.25: 9, 13.5 -> 14.
  EXPECT_EQ(DXPaintBoxTarget(o, 4, 6, 9, 100), TRect::Bounds(0, 0, 9, 14));
  // Center without stretching: a picture 100 pixels wider starts 50 left of the area,
  // offsets truncated toward zero.
  TDXPaintBoxOptions c;
  c.Center = true;
  EXPECT_EQ(DXPaintBoxTarget(c, 740, 480, 640, 481), TRect::Bounds(-50, 0, 740, 480));
  EXPECT_EQ(DXPaintBoxTarget(c, 641, 480, 640, 480), TRect::Bounds(0, 0, 641, 480));  // -1/2 -> 0
  EXPECT_EQ(DXPaintBoxTarget(c, 100, 50, 641, 480), TRect::Bounds(270, 215, 100, 50));
  // AutoStretch keeps the natural size when it fits, else fits the area.
  TDXPaintBoxOptions a;
  a.AutoStretch = true;
  EXPECT_EQ(DXPaintBoxTarget(a, 640, 480, 640, 480), TRect::Bounds(0, 0, 640, 480));
  EXPECT_EQ(DXPaintBoxTarget(a, 640, 480, 320, 480), TRect::Bounds(0, 0, 320, 240));
  // View sizes, a 0 component taken from the picture; AutoStretch fits a larger view.
  TDXPaintBoxOptions v;
  v.ViewWidth = 200;
  EXPECT_EQ(DXPaintBoxTarget(v, 640, 480, 100, 100), TRect::Bounds(0, 0, 200, 480));
  v.ViewHeight = 100;
  v.AutoStretch = true;
  EXPECT_EQ(DXPaintBoxTarget(v, 640, 480, 100, 100), TRect::Bounds(0, 0, 100, 50));
  EXPECT_EQ(DXPaintBoxTarget(v, 640, 480, 300, 300), TRect::Bounds(0, 0, 200, 100));
  EXPECT_TRUE(DXPaintBoxTarget(o, 0, 480, 300, 300).IsEmpty());
}

TEST(DXPaintBox, PaintsUnscaledOrStretchedAndNothingForAnEmptyPicture) {
  TDIB pic;
  pic.SetSize(2, 1, 24);
  pic.WritePixel(0, 0, 0xAA);
  pic.WritePixel(1, 0, 0xBB);
  TDIB screen;
  screen.SetSize(4, 2, 24);
  TDXPaintBoxOptions o;
  o.Center = true;
  PaintDXPaintBox(screen.Canvas(), pic, o, 4, 2);
  EXPECT_EQ(screen.ReadPixel(1, 0), 0xAAu);
  EXPECT_EQ(screen.ReadPixel(2, 0), 0xBBu);
  EXPECT_EQ(screen.ReadPixel(0, 0), 0u);
  o = TDXPaintBoxOptions{};
  o.Stretch = true;
  PaintDXPaintBox(screen.Canvas(), pic, o, 4, 2);
  EXPECT_EQ(screen.ReadPixel(0, 1), 0xAAu);
  EXPECT_EQ(screen.ReadPixel(3, 1), 0xBBu);
  TDIB empty, untouched;
  untouched.SetSize(1, 1, 24);
  untouched.WritePixel(0, 0, 5);
  PaintDXPaintBox(untouched.Canvas(), empty, o, 1, 1);
  EXPECT_EQ(untouched.ReadPixel(0, 0), 5u);
}

TEST(DXPaintBox, PropertiesRepaintOnlyOnChange) {
  TDXPaintBoxProperties p;
  int repaints = 0;
  p.OnRepaint = [&] { ++repaints; };
  p.SetStretch(false);
  p.SetViewWidth(0);
  EXPECT_EQ(repaints, 0);
  p.SetStretch(true);
  p.SetCenter(true);
  p.SetViewWidth(-5);  // stored as 0: unchanged
  EXPECT_EQ(p.ViewWidth(), 0);
  p.SetViewHeight(30);
  EXPECT_EQ(repaints, 3);
  TDIB pic;
  pic.SetSize(3, 3, 8);
  p.SetDIB(pic);
  EXPECT_EQ(repaints, 4);
  EXPECT_TRUE(p.DIB().SharesStoreWith(pic));
  pic.WritePixel(0, 0, 1);  // the paint box keeps its own copy
  EXPECT_EQ(p.DIB().ReadPixel(0, 0), 0u);
}

TEST(Rounding, HalfToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(2.5001), 3);
  EXPECT_EQ(RoundHalfEven(283.0 / 129), 2);
}

}  // namespace
}  // namespace zarn
