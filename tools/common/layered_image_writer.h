// The writer of layered pictures (.brm) for the tools, the tests and the benchmark: writes
// every version, header size, compression, scrambled and tiled layout from known pixels,
// so a test can check the reader against the pixels it must give. It lays the bytes out on
// its own (only the generator is shared with the reader), so a fault in the reader's
// layout shows up as a mismatch. medium::WriteBrim is the short form the media builder uses.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "runtime/scramble_random.h"

namespace zarn {

// Rows of one plane as a DIB stores them: top row first, each row padded to 4 bytes.
struct Plane {
  int32_t width = 0, height = 0, bits = 0;  // bits: 1, 4, 8, 16, 24, 32 (16 for 5-5-5 too)
  std::vector<uint8_t> data;

  Plane() = default;
  Plane(int32_t w, int32_t h, int32_t b) : width(w), height(h), bits(b), data(size_t(Stride() * h), 0) {}
  int64_t Stride() const { return ((int64_t(width) * bits + 31) / 32) * 4; }
  uint8_t* Row(int32_t y) { return data.data() + size_t(Stride() * y); }
  const uint8_t* Row(int32_t y) const { return data.data() + size_t(Stride() * y); }

  uint32_t Get(int32_t x, int32_t y) const {
    const uint8_t* r = Row(y);
    switch (bits) {
      case 1: return (r[x / 8] >> (7 - x % 8)) & 1;
      case 4: return (x % 2) ? r[x / 2] & 15 : r[x / 2] >> 4;
      case 8: return r[x];
      case 16: return r[2 * x] | r[2 * x + 1] << 8;
      case 24: return r[3 * x] | r[3 * x + 1] << 8 | r[3 * x + 2] << 16;
      default: return uint32_t(r[4 * x]) | r[4 * x + 1] << 8 | r[4 * x + 2] << 16 | uint32_t(r[4 * x + 3]) << 24;
    }
  }
  void Set(int32_t x, int32_t y, uint32_t v) {
    uint8_t* r = Row(y);
    switch (bits) {
      case 1: r[x / 8] = uint8_t((r[x / 8] & ~(0x80 >> (x % 8))) | ((v & 1) << (7 - x % 8))); break;
      case 4:
        r[x / 2] = (x % 2) ? uint8_t((r[x / 2] & 0xF0) | (v & 15)) : uint8_t((r[x / 2] & 0x0F) | (v & 15) << 4);
        break;
      case 8: r[x] = uint8_t(v); break;
      default:
        for (int i = 0; i < bits / 8; ++i) r[(bits / 8) * x + i] = uint8_t(v >> (8 * i));
    }
  }
  template <typename F>
  static Plane Make(int32_t w, int32_t h, int32_t bits, F value) {
    Plane p(w, h, bits);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) p.Set(x, y, value(x, y));
    return p;
  }
};

// A tile-table entry other than "own pixels": (-2, tile) or (frame, layer).
struct TileRef {
  int32_t tile, source, index;
};

struct LayerSource {
  std::string name = "layer";
  bool visible = true;
  int32_t colorKey = -1;
  int32_t opacity = 255;
  bool useAlpha = false;
  Plane pixels;                      // the colour plane (tile copies take their pixels from here too)
  Plane alpha;                       // 8-bit; none when empty
  std::vector<TileRef> tileRefs;     // tiles of the colour plane stored as references
  std::vector<TileRef> alphaRefs;    // tiles of the alpha plane stored as references
  std::string jpeg;                  // compression 2: the JPEG file stored as the colour plane
  // Raw bytes written in place of an encoded plane (before compression), for damaged input.
  bool rawColour = false, rawAlpha = false;
  std::string colourBytes, alphaBytes;
  // Stored size fields overriding the real ones (damaged input); -2147483648 = real size.
  int32_t pixelSizeField = INT32_MIN, alphaSizeField = INT32_MIN;
};

struct FrameSource {
  std::string name = "frame";
  int32_t colorKey = -1;
  int32_t delay = 100;
  uint8_t flags = 0;
  int32_t width = 0, height = 0, bitCount = 24;  // bitCount as stored in the file (15 for 5-5-5)
  std::vector<uint8_t> palette;                   // 4 bytes per entry, blue green red reserved
  std::vector<LayerSource> layers;
  int32_t recordCounts[2] = {0, 0};
  int32_t layerCountField = INT32_MIN;  // overrides the stored layer count
};

struct BrimPlan {
  bool tag = true;
  int32_t version = 106;                // tag version; 0 without a tag
  int32_t headerSize = 40;              // version 103 and later
  int32_t blockVersion = INT32_MIN;     // the block's Version; the tag's when not set
  uint8_t scrambled = 0, compression = 1;
  uint32_t backColor = 0;
  int32_t tileWidth = 0, tileHeight = 0;
  uint8_t bottomOpaque = 0;
  int32_t seed = 0;
  std::vector<FrameSource> frames;
  int32_t frameCountField = INT32_MIN;  // overrides the stored frame count
  std::string headerTail;               // bytes of a header block beyond 40
  int deflateLevel = 1;                 // zlib level of deflated planes
};

class BrimWriter {
 public:
  static std::string Write(const BrimPlan& plan) {
    BrimWriter w(plan);
    return w.Run();
  }

  static std::string Deflate(const std::string& raw, int level = 1) {
    uLongf n = compressBound(uLong(raw.size()));
    std::string out(n, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(raw.data()),
                  uLong(raw.size()), level) != Z_OK)
      throw std::runtime_error("deflate failed");
    out.resize(n);
    return out;
  }

  // The k-th NextFromPool value after FillPool(n), drawn the slow, obvious way.
  static std::vector<int32_t> PoolOrder(int32_t seed, int32_t n) {
    TQxRandom r(seed);
    r.FillPool(n);
    std::vector<int32_t> v;
    for (int32_t i = 0; i < n; ++i) v.push_back(r.NextFromPool());
    return v;
  }

 private:
  explicit BrimWriter(const BrimPlan& s) : s_(s) {}

  void I32(int32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(char(uint32_t(v) >> (8 * i)));
  }
  void U8(uint8_t v) { out_.push_back(char(v)); }
  void Text(const std::string& t) {
    I32(int32_t(t.size()));
    out_ += t;
  }
  int32_t RecordVersion() const {
    if (!s_.tag) return 0;
    if (s_.version < 103) return s_.version;
    return s_.blockVersion == INT32_MIN ? s_.version : s_.blockVersion;
  }
  bool Tiled() const { return RecordVersion() >= 103 && s_.tileWidth > 0 && s_.tileHeight > 0 && s_.compression != 2; }

  std::string Run() {
    int32_t v = s_.tag ? s_.version : 0;
    if (s_.tag) {
      char tag[8];
      std::snprintf(tag, sizeof tag, "Brim%03d", v);
      out_.append(tag, 7);
    }
    int32_t frameCount = s_.frameCountField == INT32_MIN ? int32_t(s_.frames.size()) : s_.frameCountField;
    if (v < 103) {
      I32(frameCount);
      U8(0);
      if (v >= 102) I32(int32_t(s_.backColor));
    } else {
      std::string block(40, '\0');
      auto put = [&](int off, uint32_t val) {
        for (int i = 0; i < 4; ++i) block[size_t(off + i)] = char(val >> (8 * i));
      };
      put(0, uint32_t(RecordVersion()));
      put(16, uint32_t(frameCount));
      block[21] = char(s_.scrambled);
      block[22] = char(s_.compression);
      put(24, s_.backColor);
      put(28, uint32_t(s_.tileWidth));
      put(32, uint32_t(s_.tileHeight));
      block[36] = char(s_.bottomOpaque);
      block += s_.headerTail;
      I32(s_.headerSize);
      out_ += block.substr(0, size_t(std::max(0, s_.headerSize)));
    }
    for (const FrameSource& f : s_.frames) Frame(f);
    return out_;
  }

  void Frame(const FrameSource& f) {
    Text(f.name);
    I32(f.colorKey);
    I32(f.delay);
    U8(f.flags);
    I32(0);
    I32(f.layerCountField == INT32_MIN ? int32_t(f.layers.size()) : f.layerCountField);
    I32(f.width);
    I32(f.height);
    I32(f.bitCount);
    if (f.bitCount <= 8) {
      std::vector<uint8_t> pal = f.palette;
      pal.resize(size_t(4) << f.bitCount, 0);
      out_.append(reinterpret_cast<const char*>(pal.data()), pal.size());
    }
    for (const LayerSource& l : f.layers) Layer(l);
    if (RecordVersion() >= 104) {
      for (int32_t n : f.recordCounts) {
        I32(n);
        // Counts above 4096 stand for damaged input: the count alone is written.
        for (int32_t i = 0; i < n && n <= 4096; ++i)
          for (int b = 0; b < 16; ++b) U8(uint8_t(i * 16 + b));
      }
    }
  }

  void Layer(const LayerSource& l) {
    out_.append(8, '\x5A');
    U8(l.visible ? 1 : 0);
    I32(l.colorKey);
    I32(l.opacity);
    int32_t rv = RecordVersion();
    if (rv >= 101) U8(l.useAlpha ? 1 : 0);
    Text(l.name);
    std::string colour;
    if (rv >= 103 && s_.compression == 2) {
      colour = l.rawColour ? l.colourBytes : l.jpeg;
    } else {
      colour = l.rawColour ? l.colourBytes : Encode(l.pixels, l.tileRefs);
      if (rv < 103 || s_.compression == 0) colour = Deflate(colour, s_.deflateLevel);
    }
    I32(l.pixelSizeField == INT32_MIN ? int32_t(colour.size()) : l.pixelSizeField);
    out_ += colour;
    if (rv < 100) return;
    if (l.alpha.data.empty() && !l.rawAlpha) {
      I32(0);
      return;
    }
    std::string alpha = l.rawAlpha ? l.alphaBytes : Encode(l.alpha, l.alphaRefs, s_.compression == 2);
    if (rv < 103 || s_.compression != 1) alpha = Deflate(alpha, s_.deflateLevel);
    I32(l.alphaSizeField == INT32_MIN ? int32_t(alpha.size()) : l.alphaSizeField);
    out_ += alpha;
  }

  // A plane's bytes before compression.
  std::string Encode(const Plane& p, const std::vector<TileRef>& refs, bool jpegAlpha = false) {
    int32_t rv = RecordVersion();
    std::string out;
    if (!Tiled() || jpegAlpha) {
      bool scrambled = rv >= 103 && s_.scrambled && s_.compression != 2;
      std::vector<int32_t> order;
      if (scrambled) order = PoolOrder(s_.seed, p.height);
      for (int32_t k = 0; k < p.height; ++k) {
        const uint8_t* row = p.Row(scrambled ? order[size_t(k)] : k);
        out.append(reinterpret_cast<const char*>(row), size_t(p.Stride()));
      }
      return out;
    }
    int32_t tw = s_.tileWidth, th = s_.tileHeight;
    int32_t cols = (p.width + tw - 1) / tw, rows = (p.height + th - 1) / th, n = cols * rows;
    std::vector<std::pair<int32_t, int32_t>> table(size_t(n), {-1, 0});
    for (const TileRef& r : refs) table[size_t(r.tile)] = {r.source, r.index};
    std::vector<int32_t> order;
    if (s_.scrambled) order = PoolOrder(s_.seed, n);
    for (int32_t k = 0; k < n; ++k) {
      auto e = table[size_t(s_.scrambled ? order[size_t(k)] : k)];
      for (int32_t v : {e.first, e.second})
        for (int i = 0; i < 4; ++i) out.push_back(char(uint32_t(v) >> (8 * i)));
    }
    for (int32_t t = 0; t < n; ++t) {
      if (table[size_t(t)].first != -1) continue;
      int32_t x0 = (t % cols) * tw, y0 = (t / cols) * th;
      int32_t w = std::min(tw, p.width - x0), h = std::min(th, p.height - y0);
      for (int32_t y = y0; y < y0 + h; ++y) {
        // One run per tile row: the tile's pixels packed from the first bit, padded.
        Plane run(w, 1, p.bits);
        for (int32_t x = 0; x < w; ++x) run.Set(x, 0, p.Get(x0 + x, y));
        out.append(reinterpret_cast<const char*>(run.data.data()), size_t((int64_t(w) * p.bits + 7) / 8));
      }
    }
    return out;
  }

  const BrimPlan& s_;
  std::string out_;
};

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
// `key`), one frame named `frameName` with the layers bottom first, all of one size.
std::string WriteBrim(const std::string& frameName, const std::vector<Layer>& layers, uint32_t key,
                      uint32_t backColor = 0);

// The raw pixel value a 24-bit layer stores for a colour.
inline int32_t RawPixel(uint32_t colour) {
  return int32_t((colour >> 16 & 0xFF) | (colour & 0xFF00) | (colour & 0xFF) << 16);
}

}  // namespace medium
}  // namespace zarn
