#include "image/dib_surface.h"

#include <algorithm>
#include <cstring>

#include "image/pixel_rows.h"
#include "runtime/sjis.h"

namespace zarn {

using namespace pixelrows;

namespace {

// Ordered-dither thresholds (4 x 4 Bayer matrix): a palette pixel is drawn where the
// threshold at its target position is at most the level.
const uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

inline uint32_t Load16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline void Store16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// 32-bit mix of DrawBlend: red and blue together, then green; the fourth byte becomes 0.
inline uint32_t Mix32(uint32_t t, uint32_t s, uint32_t a) {
  uint32_t rb = (((255 - a) * (t & 0xFF00FF) + a * (s & 0xFF00FF)) >> 8) & 0xFF00FF;
  uint32_t g = (((t & 0xFF00) * (255 - a) + (s & 0xFF00) * a) >> 8) & 0xFF00;
  return rb | g;
}

// dst[j] := (dst[j] x (255 - o) + src[j] x o) div 255 for n bytes: a plain loop over
// contiguous bytes in 16-bit arithmetic, which the compiler turns into vector code (see
// CMakeLists.txt). v div 255 = (v + 1 + (v shr 8)) shr 8 for every v up to 255 x 255.
void BlendBytes(uint8_t* __restrict dst, const uint8_t* __restrict src, size_t n, uint32_t o) {
  const uint16_t io = uint16_t(255 - o), so = uint16_t(o);
  for (size_t j = 0; j < n; ++j) {
    uint16_t v = uint16_t(dst[j] * io + src[j] * so);
    dst[j] = uint8_t((v + 1 + (v >> 8)) >> 8);
  }
}

}  // namespace

TDIBSurface::TDIBSurface() = default;
TDIBSurface::~TDIBSurface() = default;

void TDIBSurface::SetSize(int32_t width, int32_t height, int32_t bitCount) {
  if (bitCount == 15)
    SetSizeFormat(width, height, 16, TPixelFormat::Rgb555());
  else if (bitCount == 16)
    SetSizeFormat(width, height, 16, TPixelFormat::Rgb565());
  else
    SetSizeFormat(width, height, bitCount, TPixelFormat::Rgb888());
  if (alpha_) alpha_->SetSize(Width(), Height(), 8);
}

int32_t TDIBSurface::BitCount() const {
  int32_t b = StoredBitCount();
  return (b == 16 && PixelFormat().Is555()) ? 15 : b;
}

void TDIBSurface::Clear() {
  TDIB::Clear();
  alpha_.reset();
}

void TDIBSurface::LoadFromStream(TStream& stream) {
  int64_t before = stream.Position();
  TDIB::LoadFromStream(stream);
  if (stream.Position() != before) alpha_.reset();
}

uint32_t TDIBSurface::ColorToPixel(uint8_t red, uint8_t green, uint8_t blue) const {
  int32_t bits = StoredBitCount();
  if (bits == 0) return 0;
  NearestIndex nearest(ColorTable().data(), PaletteCount());
  return ColorToValue(MakeColor(red, green, blue), bits, PixelFormat(), &nearest);
}

void TDIBSurface::FillRect(const TRect& rect, uint32_t value) {
  TRect r = IntersectRect(rect, TRect{0, 0, Width(), Height()});
  if (r.IsEmpty()) return;
  int32_t bits = StoredBitCount();
  value &= ValueMask(bits, PixelFormat());
  for (int32_t y = r.Top; y < r.Bottom; ++y) FillSpan(ScanLine(y), r.Left, r.Width(), bits, value);
}

TRect TDIBSurface::EffectiveClip() const {
  TRect whole{0, 0, Width(), Height()};
  return ClipRect.IsEmpty() ? whole : IntersectRect(ClipRect, whole);
}

void TDIBSurface::CheckSameFormat(const TDIBSurface& source) const {
  if (source.StoredBitCount() != StoredBitCount())
    throw EInvalidGraphicOperation(
        Format("ピクセル形式が一致しません (%d ビットと %d ビット)", source.StoredBitCount(), StoredBitCount()));
}

bool TDIBSurface::ClipDraw(int32_t& x, int32_t& y, TRect& sr, const TDIBSurface& source) const {
  if (Empty() || source.Empty()) return false;
  int64_t l = sr.Left, t = sr.Top, r = sr.Right, b = sr.Bottom, dx = x, dy = y;
  // The part of the source rectangle inside the source.
  if (l < 0) {
    dx -= l;
    l = 0;
  }
  if (t < 0) {
    dy -= t;
    t = 0;
  }
  r = std::min<int64_t>(r, source.Width());
  b = std::min<int64_t>(b, source.Height());
  TRect c = EffectiveClip();
  if (c.IsEmpty()) return false;
  if (dx < c.Left) {
    l += c.Left - dx;
    dx = c.Left;
  }
  if (dy < c.Top) {
    t += c.Top - dy;
    dy = c.Top;
  }
  if (dx + (r - l) > c.Right) r = l + (c.Right - dx);
  if (dy + (b - t) > c.Bottom) b = t + (c.Bottom - dy);
  if (l >= r || t >= b) return false;
  sr = TRect{int32_t(l), int32_t(t), int32_t(r), int32_t(b)};
  x = int32_t(dx);
  y = int32_t(dy);
  return true;
}

void TDIBSurface::DrawOpaque(int32_t x, int32_t y, const TDIBSurface& source) {
  CheckSameFormat(source);
  TRect sr{0, 0, source.Width(), source.Height()};
  if (!ClipDraw(x, y, sr, source)) return;
  int32_t bits = StoredBitCount();
  for (int32_t row = 0; row < sr.Height(); ++row)
    CopySpan(source.ScanLine(sr.Top + row), sr.Left, ScanLine(y + row), x, sr.Width(), bits);
}

void TDIBSurface::DrawKeyed(int32_t x, int32_t y, const TDIBSurface& source, const TRect& sourceRect, int32_t key) {
  CheckSameFormat(source);
  TRect sr = sourceRect;
  if (!ClipDraw(x, y, sr, source)) return;
  int32_t bits = StoredBitCount(), w = sr.Width();
  if (key < 0) {
    for (int32_t row = 0; row < sr.Height(); ++row)
      CopySpan(source.ScanLine(sr.Top + row), sr.Left, ScanLine(y + row), x, w, bits);
    return;
  }
  uint32_t k = uint32_t(key);
  for (int32_t row = 0; row < sr.Height(); ++row) {
    const uint8_t* s = source.ScanLine(sr.Top + row);
    uint8_t* t = ScanLine(y + row);
    switch (bits) {
      case 8: {
        const uint8_t* sp = s + sr.Left;
        uint8_t* tp = t + x;
        for (int32_t i = 0; i < w; ++i)
          if (sp[i] != k) tp[i] = sp[i];
        break;
      }
      case 16: {
        const uint8_t* sp = s + 2 * sr.Left;
        uint8_t* tp = t + 2 * x;
        for (int32_t i = 0; i < w; ++i, sp += 2, tp += 2)
          if (Load16(sp) != k) std::memcpy(tp, sp, 2);
        break;
      }
      case 24: {
        const uint8_t* sp = s + 3 * sr.Left;
        uint8_t* tp = t + 3 * x;
        for (int32_t i = 0; i < w; ++i, sp += 3, tp += 3)
          if ((uint32_t(sp[0]) | uint32_t(sp[1]) << 8 | uint32_t(sp[2]) << 16) != k) std::memcpy(tp, sp, 3);
        break;
      }
      case 32: {
        const uint8_t* sp = s + 4 * sr.Left;
        uint8_t* tp = t + 4 * x;
        for (int32_t i = 0; i < w; ++i, sp += 4, tp += 4)
          if (Load32(sp) != k) std::memcpy(tp, sp, 4);
        break;
      }
      default:
        for (int32_t i = 0; i < w; ++i) {
          uint32_t v = GetPacked(s, sr.Left + i, bits);
          if (v != k) SetPacked(t, x + i, bits, v);
        }
    }
  }
}

void TDIBSurface::DrawBlend(int32_t x, int32_t y, const TDIBSurface& source, const TRect& sourceRect, int32_t key,
                            int32_t opacity) {
  if (opacity == 0) return;
  CheckSameFormat(source);
  int32_t bits = StoredBitCount();
  bool palette = bits <= 8;
  int32_t level = opacity / 16;
  if (opacity >= 255 || opacity < 0 || (palette && level == 15)) {
    DrawKeyed(x, y, source, sourceRect, key);
    return;
  }
  TRect sr = sourceRect;
  if (!ClipDraw(x, y, sr, source)) return;
  int32_t w = sr.Width();
  bool keyed = key >= 0;
  uint32_t k = uint32_t(key);
  uint32_t o = uint32_t(opacity), io = 255 - o;
  for (int32_t row = 0; row < sr.Height(); ++row) {
    const uint8_t* s = source.ScanLine(sr.Top + row);
    uint8_t* t = ScanLine(y + row);
    int32_t ty = y + row;
    switch (bits) {
      case 16: {
        const TPixelFormat& f = PixelFormat();
        const uint8_t* sp = s + 2 * sr.Left;
        uint8_t* tp = t + 2 * x;
        for (int32_t i = 0; i < w; ++i, sp += 2, tp += 2) {
          uint32_t sv = Load16(sp);
          if (keyed && sv == k) continue;
          uint32_t tv = Load16(tp);
          uint32_t r = (((tv & f.RedMask) * io + (sv & f.RedMask) * o) / 255) & f.RedMask;
          uint32_t g = (((tv & f.GreenMask) * io + (sv & f.GreenMask) * o) / 255) & f.GreenMask;
          uint32_t b = (((tv & f.BlueMask) * io + (sv & f.BlueMask) * o) / 255) & f.BlueMask;
          Store16(tp, r | g | b);
        }
        break;
      }
      case 24: {
        // Runs of pixels that differ from the key are blended bytewise.
        const uint8_t* sp = s + 3 * sr.Left;
        uint8_t* tp = t + 3 * x;
        if (!keyed) {
          BlendBytes(tp, sp, size_t(w) * 3, o);
          break;
        }
        // Only the three colour bytes are compared with the key. A four-byte load reads
        // one byte past the pixel, so the row's last pixel is compared bytewise.
        const uint32_t key24 = k & 0xFFFFFF;
        auto isKey = [&](int32_t i) {
          const uint8_t* p = sp + 3 * i;
          return (i + 1 < w ? Load32(p) & 0xFFFFFF : (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16)) ==
                 key24;
        };
        for (int32_t i = 0; i < w;) {
          while (i < w && isKey(i)) ++i;
          int32_t start = i;
          while (i < w && !isKey(i)) ++i;
          if (i > start) BlendBytes(tp + 3 * start, sp + 3 * start, size_t(i - start) * 3, o);
        }
        break;
      }
      case 32: {
        const uint8_t* sp = s + 4 * sr.Left;
        uint8_t* tp = t + 4 * x;
        for (int32_t i = 0; i < w; ++i, sp += 4, tp += 4) {
          uint32_t sv = Load32(sp);
          if (keyed && sv == k) continue;
          Store32(tp, Mix32(Load32(tp), sv, o));
        }
        break;
      }
      default: {
        const uint8_t* dither = kBayer[ty & 3];
        for (int32_t i = 0; i < w; ++i) {
          int32_t tx = x + i;
          if (dither[tx & 3] > level) continue;
          uint32_t v = GetPacked(s, sr.Left + i, bits);
          if (keyed && v == k) continue;
          SetPacked(t, tx, bits, v);
        }
      }
    }
  }
}

void TDIBSurface::DrawAlpha(int32_t x, int32_t y, const TDIBSurface& source, const TRect& sourceRect,
                            int32_t opacity) {
  const TDIBSurface* plane = source.AlphaPlane();
  if (!plane) {
    DrawBlend(x, y, source, sourceRect, -1, opacity);
    return;
  }
  CheckSameFormat(source);
  if (plane->Width() != source.Width() || plane->Height() != source.Height() || plane->StoredBitCount() != 8)
    throw EInvalidGraphicOperation("アルファプレーンの大きさが画像と一致しません");
  TRect sr = sourceRect;
  if (!ClipDraw(x, y, sr, source)) return;
  int32_t bits = StoredBitCount(), w = sr.Width();
  for (int32_t row = 0; row < sr.Height(); ++row) {
    const uint8_t* s = source.ScanLine(sr.Top + row);
    const uint8_t* a = plane->ScanLine(sr.Top + row) + sr.Left;
    uint8_t* t = ScanLine(y + row);
    switch (bits) {
      case 16: {
        const TPixelFormat& f = PixelFormat();
        const uint8_t* sp = s + 2 * sr.Left;
        uint8_t* tp = t + 2 * x;
        for (int32_t i = 0; i < w; ++i, sp += 2, tp += 2) {
          uint32_t av = a[i];
          if (av == 0) continue;
          if (av == 255) {
            std::memcpy(tp, sp, 2);
            continue;
          }
          uint32_t sv = Load16(sp), tv = Load16(tp), ia = 255 - av;
          uint32_t r = (((tv & f.RedMask) * ia + av * (sv & f.RedMask)) >> 8) & f.RedMask;
          uint32_t g = (((tv & f.GreenMask) * ia + av * (sv & f.GreenMask)) >> 8) & f.GreenMask;
          uint32_t b = (((tv & f.BlueMask) * ia + av * (sv & f.BlueMask)) >> 8) & f.BlueMask;
          Store16(tp, r | g | b);
        }
        break;
      }
      case 24: {
        const uint8_t* sp = s + 3 * sr.Left;
        uint8_t* tp = t + 3 * x;
        if (opacity >= 255) {
          // Runs of transparent pixels are skipped and runs of opaque ones copied.
          for (int32_t i = 0; i < w;) {
            uint32_t av = a[i];
            if (av == 0) {
              while (i < w && a[i] == 0) ++i;
            } else if (av == 255) {
              int32_t start = i;
              while (i < w && a[i] == 255) ++i;
              std::memcpy(tp + 3 * start, sp + 3 * start, size_t(i - start) * 3);
            } else {
              uint32_t ia = 255 - av;
              uint8_t* d = tp + 3 * i;
              const uint8_t* c = sp + 3 * i;
              d[0] = uint8_t((c[0] * av + d[0] * ia) >> 8);
              d[1] = uint8_t((c[1] * av + d[1] * ia) >> 8);
              d[2] = uint8_t((c[2] * av + d[2] * ia) >> 8);
              ++i;
            }
          }
        } else {
          int32_t op = opacity;
          for (int32_t i = 0; i < w; ++i, sp += 3, tp += 3) {
            int32_t oa = op * int32_t(a[i]);
            if (oa <= 255) continue;
            uint32_t d = uint32_t(oa) >> 8, id = 255 - d;
            tp[0] = uint8_t((id * tp[0] + d * sp[0]) >> 8);
            tp[1] = uint8_t((id * tp[1] + d * sp[1]) >> 8);
            tp[2] = uint8_t((id * tp[2] + d * sp[2]) >> 8);
          }
        }
        break;
      }
      case 32: {
        const uint8_t* sp = s + 4 * sr.Left;
        uint8_t* tp = t + 4 * x;
        for (int32_t i = 0; i < w; ++i, sp += 4, tp += 4) {
          uint32_t av = a[i];
          if (av == 0) continue;
          if (av == 255)
            std::memcpy(tp, sp, 4);
          else
            Store32(tp, Mix32(Load32(tp), Load32(sp), av));
        }
        break;
      }
      default:
        for (int32_t i = 0; i < w; ++i)
          if (a[i] >= 128) SetPacked(t, x + i, bits, GetPacked(s, sr.Left + i, bits));
    }
  }
}

void TDIBSurface::CreateAlpha() {
  if (!alpha_) alpha_ = std::make_unique<TDIBSurface>();
  if (alpha_->Width() != Width() || alpha_->Height() != Height() || alpha_->StoredBitCount() != 8) {
    alpha_->SetSize(Width(), Height(), 8);
    alpha_->ReleaseHandle();
  }
}

void TDIBSurface::FillAlpha() {
  if (!alpha_) return;
  for (int32_t y = 0; y < alpha_->Height(); ++y) std::memset(alpha_->ScanLine(y), 255, size_t(alpha_->WidthBytes()));
}

void TDIBSurface::CopyAlphaFrom(const TDIBSurface& plane) {
  if (plane.Width() != Width() || plane.Height() != Height() || plane.StoredBitCount() != 8)
    throw EInvalidGraphicOperation("アルファプレーンの大きさが画像と一致しません");
  CreateAlpha();
  for (int32_t y = 0; y < Height(); ++y)
    std::memcpy(alpha_->ScanLine(y), plane.ScanLine(y), size_t(alpha_->WidthBytes()));
}

void TDIBSurface::AssignSurface(const TDIBSurface& source) {
  if (&source == this) return;
  // Sharing the store gives the same size, format, palette and pixels as drawing the
  // source opaquely would, without copying until one of them writes.
  Assign(source);
  if (source.alpha_) {
    if (!alpha_) alpha_ = std::make_unique<TDIBSurface>();
    alpha_->AssignSurface(*source.alpha_);
  } else {
    alpha_.reset();
  }
}

}  // namespace zarn
