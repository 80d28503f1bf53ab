// A small writer of layered pictures (.BRM), for the demo medium: one frame of 24-bit
// layers, each plane deflated and its rows stored in the order the reader's generator
// draws from the picture's key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn {
namespace medium {

// A 24-bit picture: rows from the top, pixels as colours (red in the low byte).
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  Picture(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
  uint32_t& At(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

struct Layer {
  std::string name;
  Picture picture;
  int32_t colorKey = -1;  // a raw 24-bit pixel value (blue + green x 256 + red x 65536); -1 none
  int32_t opacity = 255;
};

// The picture file: tag "Brim106", a 40-byte header (deflated planes, rows scrambled with
// `key`), one frame named `frameName` with the layers bottom first.
std::string WriteBrim(const std::string& frameName, const std::vector<Layer>& layers, uint32_t key,
                      uint32_t backColor = 0);

// The raw pixel value a 24-bit layer stores for a colour.
inline int32_t RawPixel(uint32_t colour) {
  return int32_t((colour >> 16 & 0xFF) | (colour & 0xFF00) | (colour & 0xFF) << 16);
}

}  // namespace medium
}  // namespace zarn
