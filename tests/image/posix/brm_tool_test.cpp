// zarn-brm end to end: the built tool run on host files; PNG output read back with libpng.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/layered_image_writer.h"
#include "support/posix/tool_fixture.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

struct Png {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> pixels;
};

Png ReadPng(const std::string& path) {
  Png p;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
  p.channels = (image.format & PNG_FORMAT_FLAG_ALPHA) ? 4 : 3;
  image.format = p.channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  p.width = int(image.width);
  p.height = int(image.height);
  p.pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, p.pixels.data(), 0, nullptr)) p.width = 0;
  return p;
}

class BrmTool : public testing::ToolTest {
 protected:
  BrmTool() : ToolTest("zarn-brm") {}
  void ExpectError(const Result& r, const std::string& mention) {
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(mention), std::string::npos) << r.err;
  }
};

// Two frames: a scrambled opaque one, and one whose top layer carries an alpha plane.
std::string TwoFrames(int32_t seed) {
  BrimPlan plan;
  plan.scrambled = 1;
  plan.seed = seed;
  plan.compression = 0;
  FrameSource f0;
  f0.name = "表紙";
  f0.width = 5;
  f0.height = 4;
  LayerSource l0;
  l0.name = "背景";
  l0.pixels = Plane::Make(5, 4, 24, [](int x, int y) { return uint32_t(x * 40) | uint32_t(y * 60) << 8 | 0x200000u; });
  f0.layers.push_back(l0);
  FrameSource f1 = f0;
  f1.name = "frame2";
  f1.colorKey = 0x010203;
  LayerSource top;
  top.name = "top";
  top.useAlpha = true;
  top.opacity = 200;
  top.pixels = Plane::Make(5, 4, 24, [](int, int) { return 0xFFFFFFu; });
  top.alpha = Plane::Make(5, 4, 8, [](int x, int) { return x == 0 ? 0u : 255u; });
  f1.layers = {top};
  plan.frames = {f0, f1};
  return BrimWriter::Write(plan);
}

TEST_F(BrmTool, RendersFramesToPng) {
  Write("pic.brm", TwoFrames(4321));
  Result r = Run("png " + Quote(Path("pic.brm")) + " -o " + Quote(Path("out.png")) + " --key 4321");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  Png p = ReadPng(Path("out.png"));
  ASSERT_EQ(p.width, 5);
  ASSERT_EQ(p.height, 4);
  ASSERT_EQ(p.channels, 3);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      const uint8_t* px = &p.pixels[size_t((y * 5 + x) * 3)];
      EXPECT_EQ(px[0], 0x20);
      EXPECT_EQ(px[1], y * 60);
      EXPECT_EQ(px[2], x * 40);
    }
  // Frame 1 has an alpha plane: RGBA.
  r = Run("png " + Quote(Path("pic.brm")) + " --frame 1 --key 4321 --output " + Quote(Path("f1.png")));
  ASSERT_EQ(r.status, 0) << r.err;
  Png q = ReadPng(Path("f1.png"));
  ASSERT_EQ(q.channels, 4);
  EXPECT_EQ(q.pixels[3], 0);    // alpha of (0, 0)
  EXPECT_EQ(q.pixels[4 + 3], 255);  // alpha of (1, 0)
  EXPECT_EQ(q.pixels[4], 200);  // layer 0 is blended at its opacity onto black
  // A wrong key gives scrambled rows, not an error.
  r = Run("png " + Quote(Path("pic.brm")) + " -o " + Quote(Path("bad.png")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Read("bad.png"), Read("out.png"));
}

TEST_F(BrmTool, DescribesThePicture) {
  Write("pic.brm", TwoFrames(1));
  Result r = Run("info " + Quote(Path("pic.brm")) + " --key 1");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* text : {"version: 106", "frames: 2", "scrambled: yes", "compression: 0 (deflate)",
                           "tiles: none", u8"frame 0 \"表紙\": 5 x 4, 24 bits, colour key none",
                           "frame 1 \"frame2\": 5 x 4, 24 bits, colour key 0x010203",
                           u8"  layer 0 \"背景\": visible, key none, opacity 255, alpha no",
                           "  layer 0 \"top\": visible, key none, opacity 200, alpha yes (used)"})
    EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
}

TEST_F(BrmTool, HelpAndErrors) {
  Result r = Run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: zarn-brm png"), std::string::npos);
  EXPECT_EQ(Run("png --help").status, 0);
  EXPECT_EQ(Run("info -h").status, 0);
  EXPECT_EQ(Run("").status, 2);
  ExpectError(Run("draw x.brm"), "unknown command draw");
  ExpectError(Run("png " + Quote(Path("pic.brm"))), "-o OUT.png is missing");
  ExpectError(Run("png " + Quote(Path("none.brm")) + " -o " + Quote(Path("o.png"))), "none.brm");
  ExpectError(Run("info a.brm --key x"), "--key needs a number");
  ExpectError(Run("info a.brm --frame 1"), "unknown option --frame");
  Write("pic.brm", TwoFrames(1));
  ExpectError(Run("png " + Quote(Path("pic.brm")) + " -o " + Quote(Path("o.png")) + " --frame 2"), "no frame 2");
  std::string damaged = TwoFrames(1);
  damaged.resize(damaged.size() / 2);
  Write("cut.brm", damaged);
  ExpectError(Run("info " + Quote(Path("cut.brm"))), u8"画像データ");
  EXPECT_FALSE(fs::exists(Path("o.png")));
}

}  // namespace
}  // namespace zarn
