#include "image/pixel_rows.h"

namespace zarn {
namespace pixelrows {

namespace {

int Shift(uint32_t mask) {
  int s = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++s;
  }
  return s;
}

int Width(uint32_t mask) {
  mask >>= Shift(mask);
  int w = 0;
  while (mask & 1) {
    mask >>= 1;
    ++w;
  }
  return w;
}

}  // namespace

void FillSpan(uint8_t* row, int32_t x, int32_t count, int32_t bits, uint32_t value) {
  if (count <= 0) return;
  switch (bits) {
    case 8: std::memset(row + x, int(value & 0xFF), size_t(count)); return;
    case 16: {
      uint8_t* p = row + 2 * x;
      for (int32_t i = 0; i < count; ++i, p += 2) {
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
      }
      return;
    }
    case 24: {
      uint8_t* p = row + 3 * x;
      for (int32_t i = 0; i < count; ++i, p += 3) {
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        p[2] = uint8_t(value >> 16);
      }
      return;
    }
    case 32: {
      uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
      uint8_t* p = row + 4 * x;
      for (int32_t i = 0; i < count; ++i, p += 4) std::memcpy(p, b, 4);
      return;
    }
    default:
      for (int32_t i = 0; i < count; ++i) SetPacked(row, x + i, bits, value);
  }
}

void CopySpan(const uint8_t* src, int32_t sx, uint8_t* dst, int32_t dx, int32_t count, int32_t bits) {
  if (count <= 0) return;
  if (bits >= 8) {
    size_t bpp = size_t(bits / 8);
    std::memmove(dst + size_t(dx) * bpp, src + size_t(sx) * bpp, size_t(count) * bpp);
    return;
  }
  // Whole bytes when both spans start on the same bit of a byte.
  int32_t perByte = 8 / bits;
  if (sx % perByte == 0 && dx % perByte == 0) {
    int32_t whole = count / perByte;
    std::memmove(dst + dx / perByte, src + sx / perByte, size_t(whole));
    for (int32_t i = whole * perByte; i < count; ++i) SetPacked(dst, dx + i, bits, GetPacked(src, sx + i, bits));
    return;
  }
  for (int32_t i = 0; i < count; ++i) SetPacked(dst, dx + i, bits, GetPacked(src, sx + i, bits));
}

uint8_t FieldToByte(uint32_t pixel, uint32_t mask) {
  int s = Shift(mask), w = Width(mask);
  uint32_t v = (pixel & mask) >> s;
  if (w >= 8) return uint8_t(v >> (w - 8));
  if (w == 0) return 0;
  // Repeat the field's bits downward until a byte is full.
  uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << w) | v;
    filled += w;
  }
  return uint8_t(out >> (filled - 8));
}

uint32_t ByteToField(uint8_t v, uint32_t mask) {
  int s = Shift(mask), w = Width(mask);
  if (w == 0) return 0;
  uint32_t f = w >= 8 ? uint32_t(v) << (w - 8) : uint32_t(v) >> (8 - w);
  return (f << s) & mask;
}

TColor ValueToColor(uint32_t value, int32_t bits, const TPixelFormat& format, const TRGBQuad* palette) {
  switch (bits) {
    case 1:
    case 4:
    case 8: {
      const TRGBQuad& q = palette[value & ValueMask(bits, format)];
      return MakeColor(q.Red, q.Green, q.Blue);
    }
    case 16:
      return MakeColor(FieldToByte(value, format.RedMask), FieldToByte(value, format.GreenMask),
                       FieldToByte(value, format.BlueMask));
    default: return MakeColor(uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value));
  }
}

uint32_t NearestIndex::operator()(uint8_t red, uint8_t green, uint8_t blue) {
  uint32_t key = uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16;
  auto it = cache_.find(key);
  if (it != cache_.end()) return it->second;
  uint32_t best = 0;
  int32_t bestDist = INT32_MAX;
  for (int32_t i = 0; i < count_; ++i) {
    int32_t dr = int32_t(palette_[i].Red) - red, dg = int32_t(palette_[i].Green) - green,
            db = int32_t(palette_[i].Blue) - blue;
    int32_t d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = uint32_t(i);
      if (d == 0) break;
    }
  }
  cache_.emplace(key, best);
  return best;
}

uint32_t ColorToValue(TColor color, int32_t bits, const TPixelFormat& format, NearestIndex* nearest) {
  uint8_t r = ColorRed(color), g = ColorGreen(color), b = ColorBlue(color);
  switch (bits) {
    case 1:
    case 4:
    case 8: return nearest ? (*nearest)(r, g, b) : 0;
    case 16: return ByteToField(r, format.RedMask) | ByteToField(g, format.GreenMask) | ByteToField(b, format.BlueMask);
    default: return uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16;
  }
}

void ToBGR(const uint8_t* row, int32_t x, int32_t count, int32_t bits, const TPixelFormat& format,
           const TRGBQuad* palette, uint8_t* bgr) {
  switch (bits) {
    case 24: std::memcpy(bgr, row + 3 * x, size_t(count) * 3); return;
    case 32: {
      const uint8_t* p = row + 4 * x;
      for (int32_t i = 0; i < count; ++i, p += 4, bgr += 3) {
        bgr[0] = p[0];
        bgr[1] = p[1];
        bgr[2] = p[2];
      }
      return;
    }
    case 16: {
      const uint8_t* p = row + 2 * x;
      for (int32_t i = 0; i < count; ++i, p += 2, bgr += 3) {
        uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
        bgr[0] = FieldToByte(v, format.BlueMask);
        bgr[1] = FieldToByte(v, format.GreenMask);
        bgr[2] = FieldToByte(v, format.RedMask);
      }
      return;
    }
    default:
      for (int32_t i = 0; i < count; ++i, bgr += 3) {
        const TRGBQuad& q = palette[GetPacked(row, x + i, bits)];
        bgr[0] = q.Blue;
        bgr[1] = q.Green;
        bgr[2] = q.Red;
      }
  }
}

void FromBGR(const uint8_t* bgr, int32_t count, uint8_t* row, int32_t x, int32_t bits, const TPixelFormat& format,
             NearestIndex* nearest) {
  switch (bits) {
    case 24: std::memcpy(row + 3 * x, bgr, size_t(count) * 3); return;
    case 32: {
      uint8_t* p = row + 4 * x;
      for (int32_t i = 0; i < count; ++i, p += 4, bgr += 3) {
        p[0] = bgr[0];
        p[1] = bgr[1];
        p[2] = bgr[2];
        p[3] = 0;
      }
      return;
    }
    case 16: {
      uint8_t* p = row + 2 * x;
      for (int32_t i = 0; i < count; ++i, p += 2, bgr += 3) {
        uint32_t v = ByteToField(bgr[2], format.RedMask) | ByteToField(bgr[1], format.GreenMask) |
                     ByteToField(bgr[0], format.BlueMask);
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
      }
      return;
    }
    default:
      for (int32_t i = 0; i < count; ++i, bgr += 3)
        SetPacked(row, x + i, bits, nearest ? (*nearest)(bgr[2], bgr[1], bgr[0]) : 0);
  }
}

}  // namespace pixelrows
}  // namespace zarn
