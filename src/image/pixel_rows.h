// Row routines shared by the picture, its canvas and the surface: packed pixels,
// 16-bit fields, and conversion of row spans to and from blue-green-red triples.
#pragma once

#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "image/dib_picture.h"

namespace zarn {
namespace pixelrows {

// Pixel x of a row of 1, 4 or 8 bits (1 bit: most significant bit first; 4 bits: high
// nibble first).
inline uint32_t GetPacked(const uint8_t* row, int32_t x, int32_t bits) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4;
    default: return row[x];
  }
}

inline void SetPacked(uint8_t* row, int32_t x, int32_t bits, uint32_t v) {
  switch (bits) {
    case 1: {
      uint8_t bit = uint8_t(0x80u >> (x & 7));
      row[x >> 3] = (v & 1) ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
      break;
    }
    case 4:
      if (x & 1)
        row[x >> 1] = uint8_t((row[x >> 1] & 0xF0) | (v & 0x0F));
      else
        row[x >> 1] = uint8_t((row[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
      break;
    default: row[x] = uint8_t(v);
  }
}

// Raw pixel x of a row of any bit count.
inline uint32_t GetPixel(const uint8_t* row, int32_t x, int32_t bits) {
  switch (bits) {
    case 16: return uint32_t(row[2 * x]) | uint32_t(row[2 * x + 1]) << 8;
    case 24: return uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 | uint32_t(row[3 * x + 2]) << 16;
    case 32:
      return uint32_t(row[4 * x]) | uint32_t(row[4 * x + 1]) << 8 | uint32_t(row[4 * x + 2]) << 16 |
             uint32_t(row[4 * x + 3]) << 24;
    default: return GetPacked(row, x, bits);
  }
}

inline void SetPixel(uint8_t* row, int32_t x, int32_t bits, uint32_t v) {
  switch (bits) {
    case 16:
      row[2 * x] = uint8_t(v);
      row[2 * x + 1] = uint8_t(v >> 8);
      break;
    case 24:
      row[3 * x] = uint8_t(v);
      row[3 * x + 1] = uint8_t(v >> 8);
      row[3 * x + 2] = uint8_t(v >> 16);
      break;
    case 32:
      row[4 * x] = uint8_t(v);
      row[4 * x + 1] = uint8_t(v >> 8);
      row[4 * x + 2] = uint8_t(v >> 16);
      row[4 * x + 3] = uint8_t(v >> 24);
      break;
    default: SetPacked(row, x, bits, v);
  }
}

// Mask of a raw pixel value of the given bit count (16 bits of 5-5-5: 15 bits).
inline uint32_t ValueMask(int32_t bits, const TPixelFormat& format) {
  switch (bits) {
    case 1: return 0x1;
    case 4: return 0xF;
    case 8: return 0xFF;
    case 16: return format.Is555() ? 0x7FFF : 0xFFFF;
    case 24: return 0xFFFFFF;
    default: return 0xFFFFFFFFu;
  }
}

// Fills `count` pixels from x with the raw value.
void FillSpan(uint8_t* row, int32_t x, int32_t count, int32_t bits, uint32_t value);

// Copies `count` pixels from pixel sx of one row to pixel dx of another of the same bit
// count (bits shifted into place for 1 and 4 bits).
void CopySpan(const uint8_t* src, int32_t sx, uint8_t* dst, int32_t dx, int32_t count, int32_t bits);

// A colour field of a 16- or 32-bit pixel widened to a byte (5 and 6 bits repeat their
// top bits, so 31 gives 255) and a byte narrowed to a field (its top bits).
uint8_t FieldToByte(uint32_t pixel, uint32_t mask);
uint32_t ByteToField(uint8_t v, uint32_t mask);

// The colour (red in the low byte) of a raw value in a picture of the given layout.
TColor ValueToColor(uint32_t value, int32_t bits, const TPixelFormat& format, const TRGBQuad* palette);

// Index of the palette entry nearest to a colour (least squared distance; the lower
// index on a tie), among the first `count` entries; remembers its answers.
class NearestIndex {
 public:
  NearestIndex(const TRGBQuad* palette, int32_t count) : palette_(palette), count_(count) {}
  uint32_t operator()(uint8_t red, uint8_t green, uint8_t blue);

 private:
  const TRGBQuad* palette_;
  int32_t count_;
  std::unordered_map<uint32_t, uint32_t> cache_;
};

// The raw value for a colour in a picture of the given layout (nearest palette entry,
// top bits of each byte for 16 bits).
uint32_t ColorToValue(TColor color, int32_t bits, const TPixelFormat& format, NearestIndex* nearest);

// Converts `count` pixels from pixel x of a row into blue-green-red triples.
void ToBGR(const uint8_t* row, int32_t x, int32_t count, int32_t bits, const TPixelFormat& format,
           const TRGBQuad* palette, uint8_t* bgr);
// Writes `count` blue-green-red triples as pixels from pixel x of a row; palette rows
// need `nearest`.
void FromBGR(const uint8_t* bgr, int32_t count, uint8_t* row, int32_t x, int32_t bits, const TPixelFormat& format,
             NearestIndex* nearest);

}  // namespace pixelrows
}  // namespace zarn
