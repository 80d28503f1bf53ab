// Fuzz target: a layered picture in memory is read with every option, composed, and
// given transparency. Anything but the program's own errors escaping, a crash, a hang or
// an allocation beyond the read's pixel budget is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/layered_image_writer.h"
#include "image/layered_image.h"
#include "image/jpeg_util.h"
#include "runtime/error.h"

namespace {

const int32_t kSeed = 31;

}  // namespace

// Sample pictures the standalone driver starts from: every version family, each
// compression, scrambled and tiled planes with copies, alpha planes, palette and
// 15-bit frames.
std::vector<std::string> FuzzSeeds() {
  using namespace zarn;
  using namespace zarn::testing;
  std::vector<std::string> seeds;
  auto pixels = [](int w, int h, int bits, int salt) {
    uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return Plane::Make(w, h, bits, [&](int x, int y) { return (uint32_t(x * 131 + y * 71 + salt) * 2654435761u) & mask; });
  };
  for (int version : {0, 100, 102, 106}) {
    BrimPlan plan;
    plan.tag = version != 0;
    plan.version = version;
    plan.compression = 0;
    FrameSource f;
    f.width = 6;
    f.height = 3;
    LayerSource l;
    l.pixels = pixels(6, 3, 24, version);
    l.alpha = pixels(6, 3, 8, 1);
    l.useAlpha = true;
    f.layers = {l, l};
    f.layers[1].colorKey = 0x123456;
    f.layers[1].opacity = 90;
    plan.frames = {f};
    seeds.push_back(BrimWriter::Write(plan));
  }
  for (uint8_t compression : {0, 1}) {
    BrimPlan plan;
    plan.compression = compression;
    plan.scrambled = 1;
    plan.seed = kSeed;
    plan.tileWidth = 4;
    plan.tileHeight = 2;
    FrameSource f0;
    f0.width = 9;
    f0.height = 5;
    f0.colorKey = 0x112233;
    LayerSource a;
    a.pixels = pixels(9, 5, 24, 2);
    a.alpha = pixels(9, 5, 8, 3);
    LayerSource b;
    b.pixels = pixels(9, 5, 24, 4);
    b.tileRefs = {{1, 0, 0}, {5, -2, 0}};
    b.alpha = pixels(9, 5, 8, 5);
    b.alphaRefs = {{2, 0, 0}};
    f0.layers = {a, b};
    f0.recordCounts[0] = 1;
    FrameSource f1;
    f1.width = 9;
    f1.height = 5;
    f1.bitCount = 4;
    f1.palette.assign(64, 0x42);
    f1.colorKey = 3;
    LayerSource c;
    c.pixels = pixels(9, 5, 4, 6);
    f1.layers = {c};
    FrameSource f2;
    f2.width = 9;
    f2.height = 5;
    f2.bitCount = 15;
    LayerSource d;
    d.pixels = pixels(9, 5, 16, 7);
    d.tileRefs = {{0, 0, 1}};
    f2.layers = {d};
    plan.frames = {f0, f1, f2};
    seeds.push_back(BrimWriter::Write(plan));
  }
  BrimPlan jpeg;
  jpeg.compression = 2;
  FrameSource f;
  f.width = 16;
  f.height = 8;
  LayerSource l;
  l.jpeg = EncodeJPEG(pixels(16, 8, 24, 8), 80);
  l.alpha = pixels(16, 8, 8, 9);
  l.useAlpha = true;
  f.layers = {l};
  jpeg.frames = {f};
  seeds.push_back(BrimWriter::Write(jpeg));
  return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zarn;
  for (int pass = 0; pass < 2; ++pass) {
    TBrimFrameList list(kSeed);
    list.PixelBudget = 32 << 20;
    TMemoryStream m;
    if (size) m.WriteBuffer(data, static_cast<int64_t>(size));
    m.SetPosition(0);
    try {
      if (pass == 0)
        list.LoadFromStream(m, false, true, true);
      else
        list.LoadFromStream(m, true, false, false);
    } catch (const EZarnError&) {
    }
  }
  return 0;
}
