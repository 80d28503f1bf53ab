// Benchmark (not a test): reading a 1920 x 1080 24-bit layered picture of three layers
// (one opaque, one blended at opacity 128 with a colour key, one with an alpha plane),
// composition included, against libpng decoding the same composed pixels saved as a PNG
// at zlib level 1. Both run in this process on the same machine; the figure that
// matters is the ratio.
//   zarn_bench_image [-runs=N]
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/layered_image_writer.h"
#include "image/layered_image.h"

namespace {

using namespace zarn;

const int kWidth = 1920, kHeight = 1080;

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352d;
  x ^= x >> 15;
  x *= 0x846ca68b;
  return x ^ (x >> 16);
}

// Two kinds of background. "Painted": a drawn scene of gradients and flat shapes, as
// the backgrounds of such games mostly are. "Grainy": broad gradients under random
// grain in the low three bits of every byte, like a scanned photograph; unfiltered
// deflate (the layered format has no row predictors, PNG has) does worst on this.
enum class Scene { kPainted, kGrainy };

Plane Background(Scene scene) {
  if (scene == Scene::kGrainy)
    return Plane::Make(kWidth, kHeight, 24, [](int x, int y) {
      uint32_t grain = Hash(uint32_t(y * kWidth + x)) & 7;
      uint32_t r = (x * 255 / kWidth + grain) & 0xFF, g = (y * 255 / kHeight + grain) & 0xFF,
               b = ((x + y) * 255 / (kWidth + kHeight)) & 0xFF;
      return b | g << 8 | r << 16;
    });
  return Plane::Make(kWidth, kHeight, 24, [](int x, int y) {
    int horizon = 620 + int(60 * std::sin(x / 170.0)) + int(25 * std::sin(x / 37.0));
    if (y < horizon) {  // sky: a vertical gradient with soft clouds
      uint32_t cloud = (std::sin(x / 90.0 + y / 40.0) > 0.93) ? 40 : 0;
      return uint32_t(std::min(255u, 200 + y / 12 + cloud)) | uint32_t(std::min(255u, 130 + y / 8 + cloud)) << 8 |
             uint32_t(std::min(255u, 70 + y / 10 + cloud)) << 16;
    }
    // Ground: bands of flat colour with houses.
    int band = (y - horizon) / 45;
    uint32_t c = 0x305020 + uint32_t(band % 5) * 0x081004;
    if ((x / 160) % 3 == 1 && y > horizon + 30 && y < horizon + 230) {
      c = 0x6080B0 - uint32_t((x / 160) % 4) * 0x101010;
      if ((x % 160) > 40 && (x % 160) < 80 && ((y - horizon) % 60) < 30) c = 0x80E0F0;  // windows
    }
    return c;
  });
}

// A translucent overlay: bands of colour, keyed outside a wide ellipse.
Plane Overlay(uint32_t key) {
  return Plane::Make(kWidth, kHeight, 24, [key](int x, int y) {
    double dx = (x - kWidth / 2.0) / (kWidth / 2.5), dy = (y - kHeight / 2.0) / (kHeight / 2.5);
    if (dx * dx + dy * dy > 1) return key;
    return uint32_t(0x3060A0 + ((y / 16) & 1) * 0x202020);
  });
}

// A figure in front with soft alpha edges; where it is fully transparent its pixels
// are black, as painting programs store them.
uint32_t FigureAlphaAt(int x, int y) {
  int cx = 1300, w = 300;
  int d = std::abs(x - cx);
  if (y < 200 || d > w + 8) return 0u;
  if (d <= w) return 255u;
  return uint32_t(255 - (d - w) * 30);
}

Plane Figure() {
  return Plane::Make(kWidth, kHeight, 24, [](int x, int y) {
    if (FigureAlphaAt(x, y) == 0) return 0u;
    return uint32_t(0xF0D0B0 - ((x / 40 + y / 30) & 3) * 0x101010 + (Hash(uint32_t(x * 7 + y)) & 3));
  });
}

Plane FigureAlpha() { return Plane::Make(kWidth, kHeight, 8, FigureAlphaAt); }

std::string MakePicture(Scene scene, uint8_t compression) {
  BrimPlan plan;
  plan.compression = compression;
  FrameSource f;
  f.width = kWidth;
  f.height = kHeight;
  const uint32_t key = 0x00FF00;
  LayerSource back;
  back.pixels = Background(scene);
  LayerSource overlay;
  overlay.pixels = Overlay(key);
  overlay.colorKey = int32_t(key);
  overlay.opacity = 128;
  LayerSource figure;
  figure.pixels = Figure();
  figure.alpha = FigureAlpha();
  figure.useAlpha = true;
  f.layers = {back, overlay, figure};
  plan.frames = {f};
  return BrimWriter::Write(plan);
}

// ---- libpng through memory

void PngWrite(png_structp png, png_bytep data, png_size_t size) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}
void PngFlush(png_structp) {}

std::string EncodePng(const std::vector<uint8_t>& rgb) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    std::fprintf(stderr, "PNG writing failed\n");
    std::exit(1);
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_bytep> rows(kHeight);
  for (int y = 0; y < kHeight; ++y) rows[size_t(y)] = const_cast<uint8_t*>(&rgb[size_t(y) * kWidth * 3]);
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void DecodePng(const std::string& file, std::vector<uint8_t>& rgb) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) std::exit(1);
  image.format = PNG_FORMAT_RGB;
  rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) std::exit(1);
}

template <typename F>
double Median(int runs, F f) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

std::vector<uint8_t> ComposedRGB(const TDIBSurface& s) {
  std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* row = s.ScanLine(y);
    uint8_t* out = &rgb[size_t(y) * kWidth * 3];
    for (int x = 0; x < kWidth; ++x) {
      out[3 * x] = row[3 * x + 2];
      out[3 * x + 1] = row[3 * x + 1];
      out[3 * x + 2] = row[3 * x];
    }
  }
  return rgb;
}

}  // namespace

static int Run(Scene scene, int runs) {
  std::printf("building the pictures...\n");
  const std::string deflated = MakePicture(scene, 0), stored = MakePicture(scene, 1);
  // The pictures wait in memory streams, as the installer holds an archive member;
  // libpng reads its file from memory too.
  TMemoryStream deflatedStream, storedStream;
  deflatedStream.Assign(deflated);
  storedStream.Assign(stored);
  auto readBrim = [&](const std::string& bytes, TBrimFrameList& list) {
    TMemoryStream& m = &bytes == &deflated ? deflatedStream : storedStream;
    m.SetPosition(0);
    list.LoadFromStream(m, true, false, false);
  };
  TBrimFrameList check(0);
  readBrim(deflated, check);
  std::vector<uint8_t> composed = ComposedRGB(check.Frames(0).Surface);
  const std::string png = EncodePng(composed);
  std::vector<uint8_t> decoded;
  DecodePng(png, decoded);
  if (decoded != composed) {
    std::fprintf(stderr, "the PNG does not hold the composed pixels\n");
    return 1;
  }
  TBrimFrameList storedCheck(0);
  readBrim(stored, storedCheck);
  if (ComposedRGB(storedCheck.Frames(0).Surface) != composed) {
    std::fprintf(stderr, "the stored and deflated pictures differ\n");
    return 1;
  }

  // Alternate the contenders so both see the same machine load.
  std::vector<double> ours, oursStored, libpng;
  for (int round = 0; round < 3; ++round) {
    // Each decode makes a new picture, as each layered read does.
    libpng.push_back(Median(runs, [&] {
      std::vector<uint8_t> picture;
      DecodePng(png, picture);
    }));
    ours.push_back(Median(runs, [&] {
      TBrimFrameList list(0);
      readBrim(deflated, list);
    }));
    oursStored.push_back(Median(runs, [&] {
      TBrimFrameList list(0);
      readBrim(stored, list);
    }));
  }
  double a = *std::min_element(ours.begin(), ours.end()), b = *std::min_element(libpng.begin(), libpng.end()),
         c = *std::min_element(oursStored.begin(), oursStored.end());
  std::printf("\n%s background\n", scene == Scene::kPainted ? "painted" : "grainy");
  std::printf("picture 1920 x 1080, 3 layers: %.1f MB deflated (compression 0), %.1f MB stored (compression 1)\n",
              deflated.size() / 1e6, stored.size() / 1e6);
  std::printf("composed pixels as PNG at zlib level 1: %.1f MB\n", png.size() / 1e6);
  std::printf("libpng decode of the PNG:                 %7.2f ms\n", b);
  std::printf("layered read + composition, compression 0: %7.2f ms  (%.2f x libpng)\n", a, a / b);
  std::printf("layered read + composition, compression 1: %7.2f ms  (%.2f x libpng)\n", c, c / b);
  return 0;
}

int main(int argc, char** argv) {
  int runs = 15;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "-runs=", 6) == 0) runs = std::max(1, std::atoi(argv[i] + 6));
  for (Scene scene : {Scene::kPainted, Scene::kGrainy})
    if (int status = Run(scene, runs)) return status;
  return 0;
}
