#include "image/layered_image.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/layered_image_writer.h"
#include "jpeg_util.h"
#include "runtime/scramble_random.h"

namespace zarn {
namespace {


uint32_t Noise(int x, int y, int salt = 0) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ uint32_t(salt) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

int StoredBits(int bits) { return bits == 15 ? 16 : bits; }

uint32_t ValueMask(int bits) {
  switch (bits) {
    case 15: return 0x7FFF;
    case 32: return 0xFFFFFFFFu;
    default: return (1u << bits) - 1;
  }
}

Plane NoisePlane(int w, int h, int bits, int salt) {
  return Plane::Make(w, h, StoredBits(bits), [&](int x, int y) { return Noise(x, y, salt) & ValueMask(bits); });
}

LayerSource OpaqueLayer(Plane p) {
  LayerSource l;
  l.pixels = std::move(p);
  return l;
}

FrameSource OneLayerFrame(int w, int h, int bits, Plane p) {
  FrameSource f;
  f.width = w;
  f.height = h;
  f.bitCount = bits;
  if (bits <= 8)
    for (int i = 0; i < (1 << bits); ++i)
      for (uint8_t b : {uint8_t(i), uint8_t(i * 3), uint8_t(255 - i), uint8_t(0)}) f.palette.push_back(b);
  f.layers.push_back(OpaqueLayer(std::move(p)));
  return f;
}

std::unique_ptr<TBrimFrameList> Load(const std::string& bytes, int32_t seed = 0, bool firstFrameOnly = false,
                                     bool prepare = false, bool keepLayers = false) {
  auto list = std::make_unique<TBrimFrameList>(seed);
  TMemoryStream m;
  m.Assign(bytes);
  list->LoadFromStream(m, firstFrameOnly, prepare, keepLayers);
  return list;
}

// Every pixel of the surface against the plane.
::testing::AssertionResult SamePixels(const TDIBSurface& s, const Plane& p) {
  if (s.Width() != p.width || s.Height() != p.height)
    return ::testing::AssertionFailure() << "size " << s.Width() << "x" << s.Height();
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (s.ReadPixel(x, y) != p.Get(x, y))
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << ": " << s.ReadPixel(x, y) << " != "
                                             << p.Get(x, y);
  return ::testing::AssertionSuccess();
}

// A stream that is not a memory stream, so the reader copies planes.
class PlainStream : public TStream {
 public:
  explicit PlainStream(std::string data) : data_(std::move(data)) {}
  int64_t Read(void* buffer, int64_t count) override {
    int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, int64_t(data_.size()) - pos_));
    if (n > 0) memcpy(buffer, data_.data() + pos_, size_t(n));
    pos_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    pos_ = (origin == soBeginning ? 0 : origin == soCurrent ? pos_ : int64_t(data_.size())) + offset;
    return pos_;
  }

 private:
  std::string data_;
  int64_t pos_ = 0;
};

// ---- the scramble order

TEST(BrimScramble, OrderMatchesTheGeneratorsPool) {
  for (int32_t seed : {0, 1, 1234, -77, 0x7FFFFFFF, int32_t(0x80000000)})
    for (int32_t n : {1, 2, 3, 7, 64, 100, 1000, 1023}) {
      SCOPED_TRACE(::testing::Message() << seed << " " << n);
      EXPECT_EQ(ScrambledOrder(seed, n), BrimWriter::PoolOrder(seed, n));
    }
  EXPECT_TRUE(ScrambledOrder(5, 0).empty());
}

// ---- versions and headers

TEST(BrimRead, EveryVersionAndCompressionGivesTheLayersPixels) {
  struct Case {
    bool tag;
    int version;
    uint8_t compression;
  };
  const Case cases[] = {{false, 0, 0}, {true, 100, 0}, {true, 101, 0}, {true, 102, 0}, {true, 103, 0}, {true, 103, 1},
                        {true, 104, 0}, {true, 104, 1}, {true, 105, 1}, {true, 106, 0}, {true, 106, 1}};
  for (const Case& c : cases) {
    for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
      SCOPED_TRACE(::testing::Message() << "version " << c.version << " compression " << int(c.compression) << " bits "
                                      << bits);
      BrimPlan plan;
      plan.tag = c.tag;
      plan.version = c.version;
      plan.compression = c.compression;
      Plane p = NoisePlane(13, 5, bits, bits);
      plan.frames.push_back(OneLayerFrame(13, 5, bits, p));
      auto list = Load(BrimWriter::Write(plan));
      EXPECT_EQ(list->Version, c.version);
      ASSERT_EQ(list->Count(), 1);
      const TBrimFrame& f = list->Frames(0);
      EXPECT_EQ(f.Surface.BitCount(), bits);
      EXPECT_EQ(f.Count(), 0);  // layers freed after reading
      EXPECT_TRUE(SamePixels(f.Surface, p));
      if (bits <= 8) {
        EXPECT_EQ(f.Surface.ColorTable()[1], (TRGBQuad{1, 3, 254, 0}));
      }
    }
  }
}

TEST(BrimRead, StreamWithoutTagIsVersionZero) {
  BrimPlan plan;
  plan.tag = false;
  FrameSource f = OneLayerFrame(2, 1, 24, Plane::Make(2, 1, 24, [](int x, int) { return x ? 0x445566u : 0x112233u; }));
  f.layers[0].colorKey = 0x445566;  // keyed pixels show the background
  plan.frames.push_back(f);
  std::string bytes = BrimWriter::Write(plan);
  ASSERT_EQ(bytes[0], 1);  // FrameCount at the very start
  auto list = Load(bytes);
  EXPECT_EQ(list->Version, 0);
  EXPECT_EQ(list->Frames(0).Surface.ReadPixel(0, 0), 0x112233u);
  EXPECT_EQ(list->Frames(0).Surface.ReadPixel(1, 0), 0u);  // a new list fills with black
  // A stream without a background colour keeps the one of the previous read.
  BrimPlan coloured;
  coloured.backColor = MakeColor(0x10, 0x20, 0x30);
  coloured.frames.push_back(f);
  TMemoryStream m;
  m.Assign(BrimWriter::Write(coloured));
  list->LoadFromStream(m, false, false, false);
  EXPECT_EQ(list->BackColor, MakeColor(0x10, 0x20, 0x30));
  m.Assign(bytes);
  list->LoadFromStream(m, false, false, false);
  EXPECT_EQ(list->Frames(0).Surface.ReadPixel(1, 0), 0x102030u);
}

TEST(BrimRead, OlderVersionsHaveNoAlphaPlanesOrAlphaFlag) {
  // Version 100 has alpha planes but no UseAlpha byte; 99 has neither. The writer lays
  // out each version's fields; a reader that expects more or fewer bytes loses its place.
  for (int version : {99, 100, 101}) {
    SCOPED_TRACE(version);
    BrimPlan plan;
    plan.version = version;
    FrameSource f = OneLayerFrame(3, 2, 24, NoisePlane(3, 2, 24, 1));
    f.layers[0].useAlpha = true;
    f.layers[0].alpha = Plane::Make(3, 2, 8, [](int x, int) { return x == 1 ? 0u : 255u; });
    plan.frames.push_back(f);
    plan.frames.push_back(OneLayerFrame(3, 2, 24, NoisePlane(3, 2, 24, 2)));
    auto list = Load(BrimWriter::Write(plan), 0, false, false, true);
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Frames(0).Layers(0).Surface.HasAlpha(), version >= 100);
    EXPECT_EQ(list->Frames(0).Layers(0).UseAlpha, version >= 101);
    EXPECT_EQ(list->Frames(0).HasAlpha(), version >= 101);
    EXPECT_TRUE(SamePixels(list->Frames(1).Surface, NoisePlane(3, 2, 24, 2)));
  }
}

TEST(BrimRead, HeaderOf24BytesReadsZeroForTheRest) {
  BrimPlan plan;
  plan.headerSize = 24;
  plan.compression = 1;
  plan.scrambled = 1;
  plan.seed = 99;
  plan.backColor = 0xFFFFFF;  // beyond the 24 bytes: not stored
  plan.tileWidth = 2;         // not stored either, so the planes are untiled
  plan.tileHeight = 2;
  plan.bottomOpaque = 1;
  Plane p = NoisePlane(5, 4, 24, 3);
  FrameSource f = OneLayerFrame(5, 4, 24, p);
  f.layers[0].colorKey = int32_t(p.Get(0, 0));
  f.layers[0].opacity = 255;
  plan.frames.push_back(f);
  // The writer scrambles by the header it stores: rows, as the reader must too.
  plan.tileWidth = plan.tileHeight = 0;
  std::string bytes = BrimWriter::Write(plan);
  auto list = Load(bytes, 99);
  EXPECT_EQ(list->Header.HeaderSize, 24);
  EXPECT_EQ(list->Header.Compression, 1);
  EXPECT_EQ(list->Header.Scrambled, 1);
  EXPECT_EQ(list->BackColor, 0u);
  EXPECT_EQ(list->Header.TileWidth, 0);
  EXPECT_FALSE(list->BottomOpaque);
  const TDIBSurface& s = list->Frames(0).Surface;
  EXPECT_EQ(s.ReadPixel(0, 0), 0u);  // keyed: the black background shows, no BottomOpaque
  EXPECT_EQ(s.ReadPixel(4, 3), p.Get(4, 3));
}

TEST(BrimRead, LongerHeaderBlocksAreSkipped) {
  BrimPlan plan;
  plan.headerSize = 52;
  plan.headerTail = std::string(12, '\x7F');
  Plane p = NoisePlane(4, 3, 32, 4);
  plan.frames.push_back(OneLayerFrame(4, 3, 32, p));
  auto list = Load(BrimWriter::Write(plan));
  EXPECT_EQ(list->Header.HeaderSize, 52);
  EXPECT_TRUE(SamePixels(list->Frames(0).Surface, p));
}

TEST(BrimRead, FirstFrameOnlyStopsRightAfterFrameZero) {
  BrimPlan plan;
  for (int i = 0; i < 5; ++i) plan.frames.push_back(OneLayerFrame(3, 3, 8, NoisePlane(3, 3, 8, i)));
  plan.frames[0].name = "最初";
  std::string all = BrimWriter::Write(plan);
  BrimPlan first = plan;
  first.frames.resize(1);
  first.frameCountField = 5;
  std::string head = BrimWriter::Write(first);
  TMemoryStream m;
  m.Assign(all + "trailing");
  TBrimFrameList list(0);
  list.LoadFromStream(m, true, false, false);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Frames(0).Name, "最初");
  EXPECT_EQ(m.Position(), int64_t(head.size()));
  m.SetPosition(0);
  list.LoadFromStream(m, false, false, false);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(m.Position(), int64_t(all.size()));
  EXPECT_TRUE(SamePixels(list.Frames(4).Surface, NoisePlane(3, 3, 8, 4)));
  EXPECT_THROW(list.Frames(5), EListError);
}

TEST(BrimRead, FrameFieldsAndRecordLists) {
  BrimPlan plan;
  plan.version = 104;
  FrameSource f = OneLayerFrame(2, 2, 8, NoisePlane(2, 2, 8, 5));
  f.delay = 250;
  f.flags = 0xA5;
  f.recordCounts[0] = 2;
  f.recordCounts[1] = -1;  // a negative count is followed by nothing
  f.layers[0].name = "背景";
  plan.frames.push_back(f);
  plan.frames.push_back(OneLayerFrame(2, 2, 8, NoisePlane(2, 2, 8, 6)));
  auto list = Load(BrimWriter::Write(plan), 0, false, false, true);
  const TBrimFrame& fr = list->Frames(0);
  EXPECT_EQ(fr.Delay, 250);
  EXPECT_EQ(fr.Flags, 0xA5);
  ASSERT_EQ(fr.Records[0].size(), 2u);
  EXPECT_EQ(fr.Records[0][1][3], 19);
  EXPECT_TRUE(fr.Records[1].empty());
  EXPECT_EQ(fr.Layers(0).Name, "背景");
  EXPECT_TRUE(SamePixels(list->Frames(1).Surface, NoisePlane(2, 2, 8, 6)));
}

TEST(BrimRead, TagThatIsNotANumberRaisesTheConversionError) {
  TMemoryStream m;
  m.Assign(std::string("Brim1x6") + std::string(40, '\0'));
  TBrimFrameList list(0);
  try {
    list.LoadFromStream(m, false, false, false);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'1x6' は整数ではありません");
  }
  EXPECT_EQ(m.Position(), 7);  // nothing more was read
}

// ---- scrambled and tiled planes

TEST(BrimRead, ScrambledRowsNeedTheSeed) {
  for (uint8_t compression : {0, 1}) {
    BrimPlan plan;
    plan.compression = compression;
    plan.scrambled = 1;
    plan.seed = 20240601;
    Plane p = NoisePlane(7, 23, 24, 7);
    FrameSource f = OneLayerFrame(7, 23, 24, p);
    f.layers[0].alpha = Plane::Make(7, 23, 8, [](int x, int y) { return uint32_t(x * 30 + y); });
    plan.frames.push_back(f);
    std::string bytes = BrimWriter::Write(plan);
    auto good = Load(bytes, 20240601, false, false, true);
    EXPECT_TRUE(SamePixels(good->Frames(0).Surface, p));
    EXPECT_TRUE(SamePixels(*good->Frames(0).Layers(0).Surface.AlphaPlane(), f.layers[0].alpha));
    auto wrong = Load(bytes, 1);
    EXPECT_FALSE(SamePixels(wrong->Frames(0).Surface, p));
  }
}

TEST(BrimRead, TiledPlanesWithNarrowerLastColumnAndRow) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    for (uint8_t scrambled : {0, 1}) {
      SCOPED_TRACE(::testing::Message() << bits << " bits, scrambled " << int(scrambled));
      BrimPlan plan;
      plan.tileWidth = 8;  // whole bytes at every bit count
      plan.tileHeight = 3;
      plan.scrambled = scrambled;
      plan.seed = 4242;
      plan.compression = bits % 2;
      Plane p = NoisePlane(21, 7, bits, 8);  // 3 x 3 tiles, the last 5 wide and 1 high
      FrameSource f = OneLayerFrame(21, 7, bits, p);
      f.layers[0].alpha = Plane::Make(21, 7, 8, [](int x, int y) { return Noise(y, x) & 0xFF; });
      plan.frames.push_back(f);
      auto list = Load(BrimWriter::Write(plan), 4242, false, false, true);
      EXPECT_TRUE(SamePixels(list->Frames(0).Surface, p));
      EXPECT_TRUE(SamePixels(*list->Frames(0).Layers(0).Surface.AlphaPlane(), f.layers[0].alpha));
    }
  }
}

TEST(BrimRead, ScrambledTileTablesUseOnePoolEntryPerTile) {
  // 10 x 40 with 5 x 4 tiles: 2 x 10 = 20 tiles, 40 rows. The table must be placed by
  // FillPool(20); a reader using FillPool(40) misplaces the tiles.
  BrimPlan plan;
  plan.tileWidth = 5;
  plan.tileHeight = 4;
  plan.scrambled = 1;
  plan.seed = 77;
  Plane p = NoisePlane(10, 40, 24, 9);
  plan.frames.push_back(OneLayerFrame(10, 40, 24, p));
  std::vector<int32_t> byRows = BrimWriter::PoolOrder(77, 40);
  byRows.resize(20);
  ASSERT_NE(BrimWriter::PoolOrder(77, 20), byRows);
  auto list = Load(BrimWriter::Write(plan), 77);
  EXPECT_TRUE(SamePixels(list->Frames(0).Surface, p));
}

TEST(BrimRead, PackedPixelsInTilesThatEndInsideAByte) {
  // Tiles 3 pixels wide at 1 and 4 bits: each run is padded to a whole byte and lands at
  // its tile's own pixel position.
  for (int bits : {1, 4}) {
    SCOPED_TRACE(bits);
    BrimPlan plan;
    plan.tileWidth = 3;
    plan.tileHeight = 2;
    Plane p = NoisePlane(11, 5, bits, 10);
    FrameSource f = OneLayerFrame(11, 5, bits, p);
    // 4 x 3 tiles; tile 5 (x 3..5, y 2..3) repeats tile 1 (x 3..5, y 0..1).
    f.layers[0].tileRefs = {{5, -2, 1}};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) f.layers[0].pixels.Set(3 + x, 2 + y, f.layers[0].pixels.Get(3 + x, y));
    Plane want = f.layers[0].pixels;
    plan.frames.push_back(f);
    auto list = Load(BrimWriter::Write(plan));
    EXPECT_TRUE(SamePixels(list->Frames(0).Surface, want));
  }
}

TEST(BrimRead, TilesCopiedFromEarlierTilesAndLayers) {
  BrimPlan plan;
  plan.tileWidth = 4;
  plan.tileHeight = 4;
  plan.compression = 0;
  plan.scrambled = 1;
  plan.seed = 5;
  const int w = 10, h = 8;  // 3 x 2 tiles, the last column 2 wide
  // Frame 0: a hidden layer 0 and a visible layer 1 whose tile 1 copies layer 0 of the
  // same frame, with its alpha plane.
  FrameSource f0;
  f0.width = w;
  f0.height = h;
  LayerSource hidden;
  hidden.visible = false;
  hidden.pixels = NoisePlane(w, h, 24, 11);
  hidden.alpha = Plane::Make(w, h, 8, [](int x, int y) { return uint32_t(x + 10 * y); });
  LayerSource top;
  top.pixels = NoisePlane(w, h, 24, 12);
  top.alpha = Plane::Make(w, h, 8, [](int, int) { return 255u; });
  for (int y = 0; y < 4; ++y)
    for (int x = 4; x < 8; ++x) {
      top.pixels.Set(x, y, hidden.pixels.Get(x, y));
      top.alpha.Set(x, y, hidden.alpha.Get(x, y));
    }
  top.tileRefs = {{1, 0, 0}};
  top.alphaRefs = {{1, 0, 0}};
  f0.layers = {hidden, top};
  // Frame 1: tile 3 copies tile 0; tile 5 (2 wide) copies layer 1 of frame 0; tile 4
  // copies tile 1.
  FrameSource f1;
  f1.width = w;
  f1.height = h;
  LayerSource l;
  l.pixels = NoisePlane(w, h, 24, 13);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) l.pixels.Set(x, 4 + y, l.pixels.Get(x, y));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) l.pixels.Set(4 + x, 4 + y, l.pixels.Get(4 + x, y));
  for (int y = 4; y < 8; ++y)
    for (int x = 8; x < 10; ++x) l.pixels.Set(x, y, top.pixels.Get(x, y));
  l.tileRefs = {{3, -2, 0}, {4, -2, 1}, {5, 0, 1}};
  f1.layers = {l};
  plan.frames = {f0, f1};
  auto list = Load(BrimWriter::Write(plan), 5, false, false, true);
  EXPECT_TRUE(SamePixels(list->Frames(0).Layers(1).Surface, top.pixels));
  EXPECT_TRUE(SamePixels(*list->Frames(0).Layers(1).Surface.AlphaPlane(), top.alpha));
  EXPECT_TRUE(SamePixels(list->Frames(1).Surface, l.pixels));
}

// ---- JPEG colour planes

Plane Smooth(int w, int h) {
  return Plane::Make(w, h, 24, [](int x, int y) {
    return uint32_t(x * 7 % 256) | uint32_t(y * 5 % 256) << 8 | uint32_t((x + y) * 3 % 256) << 16;
  });
}

TEST(BrimJPEG, ColourPlanesDecodeAsTheLibraryDoesAtBestQuality) {
  const int w = 37, h = 21;
  Plane p = Smooth(w, h);
  std::string jpeg = testing::EncodeJPEG(p);
  int jw = 0, jh = 0;
  std::vector<uint8_t> rgb = testing::DecodeJPEGRGB(jpeg, jw, jh);
  for (bool plain : {false, true}) {
    SCOPED_TRACE(plain);
    BrimPlan plan;
    plan.compression = 2;
    plan.scrambled = 1;  // neither colour nor alpha planes are scrambled under JPEG
    plan.tileWidth = 8;  // nor tiled
    plan.tileHeight = 8;
    FrameSource f = OneLayerFrame(w, h, 24, Plane());
    f.layers[0].jpeg = jpeg;
    f.layers[0].alpha = Plane::Make(w, h, 8, [](int x, int y) { return uint32_t(x * 6 + y); });
    plan.frames.push_back(f);
    std::string bytes = BrimWriter::Write(plan);
    TBrimFrameList list(3);
    if (plain) {
      PlainStream s(bytes);
      list.LoadFromStream(s, false, false, true);
    } else {
      TMemoryStream m;
      m.Assign(bytes);
      list.LoadFromStream(m, false, false, true);
    }
    const TDIBSurface& s = list.Frames(0).Surface;
    ASSERT_EQ(s.Width(), w);
    int close = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* px = &rgb[(size_t(y) * w + x) * 3];
        ASSERT_EQ(s.ReadPixel(x, y), uint32_t(px[0]) << 16 | uint32_t(px[1]) << 8 | px[2]) << x << "," << y;
        uint32_t want = p.Get(x, y);
        close += std::abs(int(px[0]) - int(want >> 16 & 0xFF)) < 12;
      }
    EXPECT_GT(close, w * h * 9 / 10);  // and near the pixels that were encoded
    EXPECT_TRUE(SamePixels(*list.Frames(0).Layers(0).Surface.AlphaPlane(), f.layers[0].alpha));
  }
}

TEST(BrimJPEG, PlanesOfOtherFramesAreConvertedToTheFramesFormat) {
  Plane p = Smooth(16, 8);
  std::string jpeg = testing::EncodeJPEG(p, 100);
  for (int bits : {32, 15, 8}) {
    SCOPED_TRACE(bits);
    BrimPlan plan;
    plan.compression = 2;
    FrameSource f = OneLayerFrame(16, 8, bits, Plane());
    f.layers[0].jpeg = jpeg;
    plan.frames.push_back(f);
    auto list = Load(BrimWriter::Write(plan));
    const TDIBSurface& s = list->Frames(0).Surface;
    EXPECT_EQ(s.BitCount(), bits);
    TColor c = s.PixelColor(s.ReadPixel(10, 5));
    if (bits > 8) {
      EXPECT_NEAR(ColorRed(c), int(p.Get(10, 5) >> 16 & 0xFF), 12);
      EXPECT_NEAR(ColorBlue(c), int(p.Get(10, 5) & 0xFF), 12);
    }
  }
}

TEST(BrimJPEG, BadJPEGsRaiseInsteadOfEndingTheProcess) {
  Plane p = Smooth(16, 8);
  std::string jpeg = testing::EncodeJPEG(p);
  auto load = [&](const std::string& file, int w, int h) {
    BrimPlan plan;
    plan.compression = 2;
    FrameSource f = OneLayerFrame(w, h, 24, Plane());
    f.layers[0].jpeg = file;
    plan.frames.push_back(f);
    return Load(BrimWriter::Write(plan));
  };
  EXPECT_THROW(load("not a jpeg at all", 16, 8), EJPEGError);
  EXPECT_THROW(load(jpeg.substr(0, 20), 16, 8), EJPEGError);
  EXPECT_THROW(load("", 16, 8), EJPEGError);
  try {
    load(jpeg, 17, 8);
    FAIL();
  } catch (const EFormatError& e) {
    EXPECT_NE(e.Message().find("16 x 8"), std::string::npos) << e.Message();
  }
  // A file cut inside its data is padded by the library: it still decodes.
  EXPECT_NO_THROW(load(jpeg.substr(0, jpeg.size() - 40), 16, 8));
}

// ---- composition

struct Composer {
  BrimPlan plan;
  FrameSource frame;
  explicit Composer(int version = 106) {
    plan.version = version;
    frame.width = 2;
    frame.height = 1;
    plan.backColor = MakeColor(0x40, 0, 0);  // red: 0x400000 as a 24-bit pixel
  }
  LayerSource& Add(uint32_t left, uint32_t right) {
    LayerSource l;
    l.pixels = Plane::Make(2, 1, 24, [&](int x, int) { return x ? right : left; });
    frame.layers.push_back(l);
    return frame.layers.back();
  }
  std::unique_ptr<TBrimFrameList> Load(bool prepare = false, bool keep = true) {
    plan.frames = {frame};
    return zarn::Load(BrimWriter::Write(plan), 0, false, prepare, keep);
  }
};

TEST(BrimCompose, OpacityAndKeysOfOrdinaryLayers) {
  Composer c;
  c.Add(0x101010, 0x202020);
  c.Add(0x999999, 0x999999).opacity = 0;  // draws nothing
  LayerSource& keyed = c.Add(0x0000FF, 0x00FF00);
  keyed.colorKey = 0x00FF00;
  keyed.opacity = 255;
  auto list = c.Load();
  const TDIBSurface& s = list->Frames(0).Surface;
  EXPECT_EQ(s.ReadPixel(0, 0), 0x0000FFu);
  EXPECT_EQ(s.ReadPixel(1, 0), 0x202020u);
  // Opacity 128 with a key blends the other pixels.
  Composer b;
  b.Add(0x000000, 0x000000);
  LayerSource& half = b.Add(0xFFFFFF, 0x123456);
  half.colorKey = 0x123456;
  half.opacity = 128;
  auto l2 = b.Load();
  EXPECT_EQ(l2->Frames(0).Surface.ReadPixel(0, 0), 0x808080u);
  EXPECT_EQ(l2->Frames(0).Surface.ReadPixel(1, 0), 0u);
  // Hidden layers are not drawn; the background shows.
  Composer h;
  h.Add(0x777777, 0x777777).visible = false;
  auto l3 = h.Load();
  EXPECT_EQ(l3->Frames(0).Surface.ReadPixel(0, 0), 0x400000u);
}

TEST(BrimCompose, BottomOpaqueCopiesTheFirstVisibleLayerWhole) {
  for (int version : {104, 105}) {
    SCOPED_TRACE(version);
    Composer c(version);
    c.plan.bottomOpaque = 1;
    c.Add(0x555555, 0x555555).visible = false;
    LayerSource& first = c.Add(0x0000FF, 0x00FF00);
    first.colorKey = 0x00FF00;
    auto list = c.Load();
    EXPECT_EQ(list->BottomOpaque, version >= 105);
    // From 105 the keyed pixel is copied too; before, the background shows through it.
    EXPECT_EQ(list->Frames(0).Surface.ReadPixel(1, 0), version >= 105 ? 0x00FF00u : 0x400000u);
  }
}

TEST(BrimCompose, AlphaLayers) {
  // A layer with UseAlpha and alpha data loses its colour key.
  Composer k;
  LayerSource& a = k.Add(0x0000FF, 0x00FF00);
  a.colorKey = 0x00FF00;
  a.useAlpha = true;
  a.alpha = Plane::Make(2, 1, 8, [](int x, int) { return x ? 0u : 255u; });
  auto list = k.Load();
  EXPECT_EQ(list->Frames(0).Layers(0).ColorKey, -1);
  // Layer 0 with alpha: its plane becomes the frame's, and it is drawn opaquely (rule
  // two), so the pixel with alpha 0 is copied as well.
  EXPECT_TRUE(list->Frames(0).HasAlpha());
  EXPECT_EQ(list->Frames(0).Surface.AlphaPlane()->ReadPixel(1, 0), 0u);
  EXPECT_EQ(list->Frames(0).Surface.ReadPixel(1, 0), 0x00FF00u);

  // The first visible layer above 0 with alpha: copied into the frame's plane and
  // alpha-blended, opacity not applied.
  Composer c;
  c.Add(0x111111, 0x111111).visible = false;
  LayerSource& top = c.Add(0xFFFFFF, 0xFFFFFF);
  top.useAlpha = true;
  top.opacity = 10;
  top.alpha = Plane::Make(2, 1, 8, [](int x, int) { return x ? 128u : 0u; });
  auto l2 = c.Load();
  const TBrimFrame& f = l2->Frames(0);
  ASSERT_TRUE(f.HasAlpha());
  EXPECT_EQ(f.Surface.AlphaPlane()->ReadPixel(1, 0), 128u);
  EXPECT_EQ(f.Surface.ReadPixel(0, 0), 0x400000u);
  uint32_t r = (0xFF * 128 + 0x40 * 127) >> 8, gb = (0xFF * 128) >> 8;
  EXPECT_EQ(f.Surface.ReadPixel(1, 0), r << 16 | gb << 8 | gb);

  // An alpha plane without UseAlpha is not used for drawing.
  Composer n;
  n.Add(0x000000, 0x000000);
  LayerSource& plain = n.Add(0xFFFFFF, 0xFFFFFF);
  plain.alpha = Plane::Make(2, 1, 8, [](int, int) { return 0u; });
  auto l3 = n.Load();
  EXPECT_EQ(l3->Frames(0).Surface.ReadPixel(0, 0), 0xFFFFFFu);
  EXPECT_FALSE(l3->Frames(0).HasAlpha());
}

TEST(BrimCompose, LayersAreKeptOnlyWhenAsked) {
  Composer c;
  c.frame.bitCount = 8;
  c.frame.palette.assign(1024, 7);
  c.frame.layers.push_back(OpaqueLayer(Plane::Make(2, 1, 8, [](int x, int) { return uint32_t(x + 1); })));
  auto kept = c.Load(false, true);
  ASSERT_EQ(kept->Frames(0).Count(), 1);
  EXPECT_EQ(kept->Frames(0).Layers(0).Surface.ColorTable()[3], (TRGBQuad{7, 7, 7, 7}));
  EXPECT_FALSE(kept->Frames(0).Surface.HandleAllocated());
  auto freed = c.Load(false, false);
  EXPECT_EQ(freed->Frames(0).Count(), 0);
  EXPECT_THROW(freed->Frames(0).Layers(0), EListError);
}

// ---- transparency

TEST(BrimTransparency, KeyedTrueColourFramesGetAnAlphaPlane) {
  Composer c;
  c.frame.colorKey = 0x00FF00;
  c.Add(0x0000FF, 0x00FF00);
  LayerSource& l = c.Add(0x00FF00, 0x111111);
  l.colorKey = 0x111111;
  l.visible = false;
  c.Add(0x0000FF, 0x00FF00).visible = false;  // no key of its own: the frame's
  auto list = c.Load(true, true);
  const TBrimFrame& f = list->Frames(0);
  EXPECT_EQ(f.ColorKeyRGB, int32_t(MakeColor(0, 0xFF, 0)));
  ASSERT_TRUE(f.HasAlpha());
  EXPECT_EQ(f.Surface.AlphaPlane()->ReadPixel(0, 0), 255u);
  EXPECT_EQ(f.Surface.AlphaPlane()->ReadPixel(1, 0), 0u);
  EXPECT_EQ(f.Layers(1).Surface.AlphaPlane()->ReadPixel(0, 0), 255u);
  EXPECT_EQ(f.Layers(1).Surface.AlphaPlane()->ReadPixel(1, 0), 0u);
  EXPECT_EQ(f.Layers(2).Surface.AlphaPlane()->ReadPixel(1, 0), 0u);
  // Without a key nothing is added.
  Composer plain;
  plain.Add(1, 2);
  EXPECT_FALSE(plain.Load(true, true)->Frames(0).HasAlpha());
}

TEST(BrimTransparency, PaletteFramesBecomeTrueColourWithTheirKey) {
  Composer c;
  c.frame.width = 3;
  c.frame.bitCount = 4;
  for (int i = 0; i < 16; ++i)
    for (uint8_t b : {uint8_t(i * 16), uint8_t(i), uint8_t(255 - i), uint8_t(0)}) c.frame.palette.push_back(b);
  c.frame.colorKey = 5;
  LayerSource l;
  l.pixels = Plane::Make(3, 1, 4, [](int x, int) { return x == 0 ? 2u : 5u; });
  c.frame.layers.push_back(l);
  auto list = c.Load(true, true);
  const TBrimFrame& f = list->Frames(0);
  EXPECT_EQ(f.Surface.BitCount(), 24);
  EXPECT_EQ(f.Layers(0).Surface.BitCount(), 24);
  EXPECT_EQ(f.ColorKeyRGB, int32_t(MakeColor(250, 5, 80)));
  // The key is now the first key pixel's 24-bit value.
  EXPECT_EQ(f.ColorKey, int32_t(0xFA0550));
  EXPECT_EQ(f.Surface.ReadPixel(0, 0), 0xFD0220u);
  EXPECT_EQ(f.Surface.AlphaPlane()->ReadPixel(0, 0), 255u);
  EXPECT_EQ(f.Surface.AlphaPlane()->ReadPixel(2, 0), 0u);
  // A key outside the palette is refused.
  c.frame.colorKey = 16;
  EXPECT_THROW(c.Load(), EFormatError);
}

TEST(BrimRead, FifteenBitFramesAndTheirBackground) {
  Composer c;
  c.frame.bitCount = 15;
  c.plan.backColor = MakeColor(0xFF, 0x80, 0x08);
  LayerSource l;
  l.pixels = Plane::Make(2, 1, 16, [](int x, int) { return x ? 0x7C00u : 0x001Fu; });
  l.colorKey = 0x7C00;
  c.frame.layers.push_back(l);
  auto list = c.Load();
  const TBrimFrame& f = list->Frames(0);
  EXPECT_EQ(f.Surface.BitCount(), 15);
  EXPECT_EQ(f.Layers(0).Surface.BitCount(), 15);
  EXPECT_EQ(f.Surface.ReadPixel(0, 0), 0x001Fu);
  EXPECT_EQ(f.Surface.ReadPixel(1, 0), 31u << 10 | 16u << 5 | 1u);
}

// ---- the archive builder's question

TEST(BrimStorage, IsStoredUncompressed) {
  auto ask = [](const std::string& bytes, int64_t* pos = nullptr) {
    TMemoryStream m;
    m.Assign(bytes);
    bool r = IsStoredUncompressed(m);
    if (pos) *pos = m.Position();
    return r;
  };
  BrimPlan plan;
  plan.frames.push_back(OneLayerFrame(2, 2, 24, NoisePlane(2, 2, 24, 1)));
  plan.compression = 1;
  int64_t pos = 0;
  EXPECT_TRUE(ask(BrimWriter::Write(plan), &pos));
  EXPECT_EQ(pos, 7 + 4 + 40);
  plan.compression = 0;
  EXPECT_FALSE(ask(BrimWriter::Write(plan)));
  plan.compression = 2;
  EXPECT_FALSE(ask(BrimWriter::Write(plan)));
  plan.compression = 1;
  plan.version = 102;  // stored, but too old to say so
  EXPECT_FALSE(ask(BrimWriter::Write(plan)));
  plan.tag = false;
  EXPECT_FALSE(ask(BrimWriter::Write(plan)));
  plan = BrimPlan{};
  plan.headerSize = 60;
  plan.headerTail = std::string(20, '\0');
  EXPECT_TRUE(ask(BrimWriter::Write(plan), &pos));
  EXPECT_EQ(pos, 7 + 4 + 60);
  EXPECT_FALSE(ask("Brimxyz"));
  EXPECT_FALSE(ask("Brim"));
  EXPECT_FALSE(ask(""));
}

}  // namespace
}  // namespace zarn
