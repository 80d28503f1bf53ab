// Damaged and hostile layered pictures: each must end in an exception with a message,
// never a crash, a read or write out of bounds, or a huge allocation.
#include <gtest/gtest.h>

#include <random>

#include "common/layered_image_writer.h"
#include "image/layered_image.h"

namespace zarn {
namespace {


Plane Pixels(int w, int h, int bits, int salt = 0) {
  uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  return Plane::Make(w, h, bits, [&](int x, int y) { return (uint32_t(x * 131 + y * 71 + salt) * 2654435761u) & mask; });
}

FrameSource Frame(int w, int h, std::vector<LayerSource> layers, int bits = 24) {
  FrameSource f;
  f.width = w;
  f.height = h;
  f.bitCount = bits;
  f.layers = std::move(layers);
  return f;
}

LayerSource Layer(Plane p) {
  LayerSource l;
  l.pixels = std::move(p);
  return l;
}

// Loads with a small budget, so a damaged size cannot make the test allocate much.
void Load(const std::string& bytes, int32_t seed = 0) {
  TBrimFrameList list(seed);
  list.PixelBudget = 16 << 20;
  TMemoryStream m;
  m.Assign(bytes);
  list.LoadFromStream(m, false, true, false);
}

template <typename E>
std::string MessageOf(const std::string& bytes) {
  try {
    Load(bytes);
  } catch (const E& e) {
    return e.Message();
  }
  return "(no error)";
}

// ---- tile references

BrimPlan Tiled(int w, int h, int tw, int th) {
  BrimPlan plan;
  plan.tileWidth = tw;
  plan.tileHeight = th;
  plan.frames.push_back(Frame(w, h, {Layer(Pixels(w, h, 24))}));
  return plan;
}

TEST(BrimHostile, TileCopiesOfTilesThatAreNotThere) {
  // 3 x 2 tiles of 4 x 4 on a 10 x 8 plane, the last column 2 wide.
  for (int32_t index : {3, 4, 5, -1, 100}) {
    SCOPED_TRACE(index);
    BrimPlan plan = Tiled(10, 8, 4, 4);
    plan.frames[0].layers[0].tileRefs = {{3, -2, index}};  // itself, later, negative, outside
    EXPECT_NE(MessageOf<EFormatError>(BrimWriter::Write(plan)).find("タイル"), std::string::npos);
  }
  // A full-width tile cannot copy the narrower tile of the last column: its rectangle
  // would reach past the plane.
  BrimPlan plan = Tiled(10, 8, 4, 4);
  plan.frames[0].layers[0].tileRefs = {{4, -2, 2}};
  EXPECT_THROW(Load(BrimWriter::Write(plan)), EFormatError);
  // Unknown kinds of entry.
  plan.frames[0].layers[0].tileRefs = {{1, -3, 0}};
  EXPECT_THROW(Load(BrimWriter::Write(plan)), EFormatError);
}

TEST(BrimHostile, TileCopiesOfLayersAndFramesThatAreNotThere) {
  auto twoFrames = [](int32_t source, int32_t index) {
    BrimPlan plan = Tiled(8, 4, 4, 4);
    plan.frames.push_back(Frame(8, 4, {Layer(Pixels(8, 4, 24, 1)), Layer(Pixels(8, 4, 24, 2))}));
    plan.frames[1].layers[0].tileRefs = {{1, source, index}};
    return BrimWriter::Write(plan);
  };
  EXPECT_EQ(MessageOf<EListError>(twoFrames(2, 0)), "リストのインデックスが範囲を超えています (2)");  // no frame 2
  EXPECT_EQ(MessageOf<EListError>(twoFrames(0, 1)), "リストのインデックスが範囲を超えています (1)");  // frame 0 has 1 layer
  EXPECT_EQ(MessageOf<EListError>(twoFrames(0, -1)), "リストのインデックスが範囲を超えています (-1)");
  // The layer being read, and a later layer of the same frame, are not read yet.
  EXPECT_THROW(Load(twoFrames(1, 0)), EListError);
  EXPECT_THROW(Load(twoFrames(1, 1)), EListError);
  EXPECT_NO_THROW(Load(twoFrames(0, 0)));
}

TEST(BrimHostile, TileCopiesFromLayersOfAnotherShape) {
  // Frame 0 is smaller, or of another bit count, than the frame that copies from it.
  for (bool otherBits : {false, true}) {
    BrimPlan plan;
    plan.tileWidth = plan.tileHeight = 4;
    plan.frames.push_back(otherBits ? Frame(8, 8, {Layer(Pixels(8, 8, 32))}, 32) : Frame(4, 4, {Layer(Pixels(4, 4, 24))}));
    plan.frames.push_back(Frame(8, 8, {Layer(Pixels(8, 8, 24))}));
    plan.frames[1].layers[0].tileRefs = {{3, 0, 0}};
    EXPECT_THROW(Load(BrimWriter::Write(plan)), EFormatError);
  }
  // An alpha plane copied from a layer that has none.
  BrimPlan plan = Tiled(8, 4, 4, 4);
  LayerSource l = Layer(Pixels(8, 4, 24));
  l.alpha = Pixels(8, 4, 8);
  l.alphaRefs = {{1, 0, 0}};
  plan.frames[0].layers.push_back(l);
  EXPECT_THROW(Load(BrimWriter::Write(plan)), EFormatError);
}

TEST(BrimHostile, TooManyTilesAndTablesLongerThanThePlane) {
  BrimPlan plan;
  plan.tileWidth = plan.tileHeight = 1;
  FrameSource f = Frame(4096, 1100, {}, 8);  // 4.5 million tiles
  LayerSource l;
  l.rawColour = true;
  l.colourBytes = std::string(64, '\0');
  f.layers.push_back(l);
  plan.frames.push_back(f);
  EXPECT_NE(MessageOf<EFormatError>(BrimWriter::Write(plan)).find("タイルの数"), std::string::npos);
  // 4 tiles need a 32-byte table.
  BrimPlan small = Tiled(8, 8, 4, 4);
  small.frames[0].layers[0].rawColour = true;
  small.frames[0].layers[0].colourBytes = std::string(31, '\xFF');
  EXPECT_EQ(MessageOf<EFormatError>(BrimWriter::Write(small)), "画像データが不足しています");
}

// ---- sizes and counts

TEST(BrimHostile, SizesAndCountsOutOfRange) {
  auto with = [](auto change) {
    BrimPlan plan;
    plan.frames.push_back(Frame(4, 4, {Layer(Pixels(4, 4, 24))}));
    change(plan);
    return BrimWriter::Write(plan);
  };
  EXPECT_THROW(Load(with([](BrimPlan& s) { s.frames[0].width = 40000; })), EFormatError);
  EXPECT_THROW(Load(with([](BrimPlan& s) { s.frames[0].height = -3; })), EFormatError);
  EXPECT_THROW(Load(with([](BrimPlan& s) { s.frames[0].bitCount = 7; })), EFormatError);
  EXPECT_THROW(Load(with([](BrimPlan& s) { s.frames[0].layerCountField = -1; })), EFormatError);
  EXPECT_THROW(Load(with([](BrimPlan& s) { s.compression = 3; })), EFormatError);
  EXPECT_THROW(Load(with([](BrimPlan& s) { s.headerSize = -4; })), EFormatError);
  // Sizes within the side limit but beyond the budget of one read are refused before
  // the pictures are made: 8000 x 8000 at 32 bits would be 256 MB.
  std::string big = with([](BrimPlan& s) {
    s.frames[0].width = s.frames[0].height = 8000;
    s.frames[0].bitCount = 32;
  });
  EXPECT_EQ(MessageOf<EFormatError>(big), "画像が大きすぎます");
  // Many layers, each within the budget, together beyond it.
  std::string many = with([](BrimPlan& s) {
    s.frames[0].width = s.frames[0].height = 1024;
    s.frames[0].layerCountField = 100;
    s.frames[0].layers[0].pixelSizeField = 0;
  });
  EXPECT_THROW(Load(many), EFormatError);
  // Counts that promise more than the stream holds.
  EXPECT_THROW(Load(with([](BrimPlan& s) { s.frameCountField = 1000000; })), EFormatError);
  EXPECT_THROW(Load(with([](BrimPlan& s) { s.frames[0].layerCountField = 1000000; })), EFormatError);
  EXPECT_THROW(Load(with([](BrimPlan& s) { s.frames[0].recordCounts[0] = 0x7FFFFFFF; })), EFormatError);
  std::string longName = with([](BrimPlan&) {});
  longName[7 + 4 + 40 + 3] = 0x7F;  // the frame name's length, far beyond the stream
  EXPECT_EQ(MessageOf<EFormatError>(longName), "画像データが途中で終わっています");
}

TEST(BrimHostile, PlanesShorterThanTheirRows) {
  for (uint8_t compression : {0, 1}) {
    SCOPED_TRACE(int(compression));
    BrimPlan plan;
    plan.compression = compression;
    LayerSource l = Layer(Pixels(13, 5, 24));
    l.rawColour = true;
    l.colourBytes = std::string(16 * 5 - 1, '\x11');  // rows of 40 bytes: 200 needed
    plan.frames.push_back(Frame(13, 5, {l}));
    EXPECT_EQ(MessageOf<EFormatError>(BrimWriter::Write(plan)), "画像データが不足しています");
    // An empty plane is short too (and is not read as the whole stream).
    plan.frames[0].layers[0].colourBytes.clear();
    plan.frames[0].layers[0].pixelSizeField = compression == 1 ? 0 : INT32_MIN;
    if (compression == 1) {
      EXPECT_EQ(MessageOf<EFormatError>(BrimWriter::Write(plan)), "画像データが不足しています");
    }
  }
  // A size field beyond the end of the stream, or negative.
  BrimPlan plan;
  LayerSource l = Layer(Pixels(4, 4, 24));
  l.pixelSizeField = 1 << 30;
  plan.frames.push_back(Frame(4, 4, {l}));
  EXPECT_EQ(MessageOf<EFormatError>(BrimWriter::Write(plan)), "画像データが途中で終わっています");
  plan.frames[0].layers[0].pixelSizeField = -8;
  EXPECT_THROW(Load(BrimWriter::Write(plan)), EFormatError);
  plan.frames[0].layers[0].pixelSizeField = INT32_MIN;
  plan.frames[0].layers[0].alpha = Pixels(4, 4, 8);
  plan.frames[0].layers[0].alphaSizeField = 1 << 30;
  EXPECT_THROW(Load(BrimWriter::Write(plan)), EFormatError);
}

TEST(BrimHostile, DeflatedPlanesThatAreDamagedOrTooLarge) {
  BrimPlan plan;
  plan.compression = 0;
  LayerSource l = Layer(Pixels(13, 5, 24));
  l.rawColour = true;
  l.colourBytes = std::string(10 << 20, '\0');  // 10 MB of rows where 200 bytes are needed
  plan.frames.push_back(Frame(13, 5, {l}));
  std::string bomb = BrimWriter::Write(plan);
  EXPECT_LT(bomb.size(), 64u << 10);
  EXPECT_THROW(Load(bomb), EFormatError);
  // A few kilobytes beyond the rows are tolerated and dropped; a truncated stream is not.
  plan.frames[0].layers[0].colourBytes = std::string(200 + 4000, '\x7f');
  std::string slack = BrimWriter::Write(plan);
  EXPECT_NO_THROW(Load(slack));
  EXPECT_THROW(Load(slack.substr(0, slack.size() - 8)), EZarnError);
  // Bytes that are not a zlib stream at all: the writer deflates them, so damage the
  // stored data after writing.
  plan.frames[0].layers[0].rawColour = false;
  std::string good = BrimWriter::Write(plan);
  std::string damaged = good;
  damaged[damaged.size() - 20] ^= 0x55;
  damaged[damaged.size() - 21] ^= 0x55;
  EXPECT_THROW(Load(damaged), EZarnError);
  EXPECT_NO_THROW(Load(good));
}

// ---- every truncation and random damage

// A small picture that uses most of the format: two frames, tiles and their copies,
// scrambling, alpha planes, a palette frame, record lists.
std::string Sample(uint8_t compression) {
  BrimPlan plan;
  plan.compression = compression;
  plan.scrambled = 1;
  plan.seed = 31;
  plan.tileWidth = 4;
  plan.tileHeight = 2;
  plan.backColor = 0x203040;
  LayerSource a = Layer(Pixels(9, 5, 24, 1));
  a.alpha = Pixels(9, 5, 8, 2);
  a.useAlpha = true;
  LayerSource b = Layer(Pixels(9, 5, 24, 3));
  b.colorKey = int32_t(b.pixels.Get(0, 0));
  b.opacity = 100;
  b.tileRefs = {{1, 0, 0}};
  for (int y = 0; y < 2; ++y)
    for (int x = 4; x < 8; ++x) b.pixels.Set(x, y, a.pixels.Get(x, y));
  FrameSource f0 = Frame(9, 5, {a, b});
  f0.colorKey = 0x112233;
  f0.recordCounts[0] = 1;
  LayerSource c = Layer(Pixels(9, 5, 8, 4));
  FrameSource f1 = Frame(9, 5, {c}, 8);
  f1.palette.assign(1024, 0x42);
  f1.colorKey = 3;
  plan.frames = {f0, f1};
  return BrimWriter::Write(plan);
}

TEST(BrimHostile, EveryTruncationRaises) {
  for (uint8_t compression : {0, 1}) {
    std::string full = Sample(compression);
    ASSERT_NO_THROW(Load(full, 31));
    for (size_t n = 0; n < full.size(); ++n) {
      try {
        Load(full.substr(0, n), 31);
        ADD_FAILURE() << "no error at length " << n;
      } catch (const EZarnError&) {
      }
    }
  }
}

TEST(BrimHostile, RandomDamageEndsInOurErrorsOnly) {
  std::mt19937 rng(12345);
  int failures = 0;
  for (uint8_t compression : {0, 1}) {
    const std::string full = Sample(compression);
    for (int round = 0; round < 1500; ++round) {
      std::string bytes = full;
      int flips = 1 + int(rng() % 4);
      for (int i = 0; i < flips; ++i) {
        size_t at = rng() % bytes.size();
        switch (rng() % 3) {
          case 0: bytes[at] = char(bytes[at] ^ (1 << (rng() % 8))); break;
          case 1: bytes[at] = char(rng()); break;
          default: bytes[at] = char(0xFF);
        }
      }
      try {
        Load(bytes, 31);
      } catch (const EZarnError&) {
      } catch (const std::exception& e) {
        ++failures;
        ADD_FAILURE() << "round " << round << ": " << e.what();
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace zarn
