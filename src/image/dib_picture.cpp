#include "image/dib_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "image/pixel_rows.h"
#include "runtime/byte_order.h"
#include "runtime/sjis.h"

namespace zarn {

using namespace pixelrows;

// ---- geometry

TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return TRect{};
  return r;
}

int32_t RoundHalfEven(double v) {
  double f = std::floor(v);
  double diff = v - f;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0)) f += 1;
  if (f >= 2147483647.0) return INT32_MAX;
  if (f <= -2147483648.0) return INT32_MIN;
  return int32_t(f);
}

// ---- the pixel store

namespace {

// Rows of a store. Cleared memory comes from calloc, which for large pictures hands
// out pages that are already zero instead of clearing them a second time.
class PixelBuffer {
 public:
  PixelBuffer() = default;
  PixelBuffer(const PixelBuffer& o) { *this = o; }
  PixelBuffer& operator=(const PixelBuffer& o) {
    if (this == &o) return *this;
    Reset(o.size_, false);
    if (size_) std::memcpy(data_.get(), o.data_.get(), size_);
    return *this;
  }
  // n bytes, all 0.
  void assign(size_t n, uint8_t) { Reset(n, true); }
  uint8_t* data() { return data_.get(); }
  const uint8_t* data() const { return data_.get(); }
  size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  void Reset(size_t n, bool zero) {
    data_.reset();
    size_ = 0;
    if (n == 0) return;
    uint8_t* p = static_cast<uint8_t*>(zero ? std::calloc(n, 1) : std::malloc(n));
    if (!p) throw std::bad_alloc();
    data_.reset(p);
    size_ = n;
  }
  std::unique_ptr<uint8_t, Free> data_;
  size_t size_ = 0;
};

}  // namespace

struct TDIB::Store {
  int32_t width = 0, height = 0, bitCount = 0, stride = 0;
  TPixelFormat format;
  TPalette palette{};
  PixelBuffer bits;
  bool drawable = false;
};

namespace {

bool ValidBitCount(int32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

int64_t RowBytes(int64_t width, int64_t bits) { return ((width * bits + 31) / 32) * 4; }

const char kInvalidDIB[] = "不正な DIB です";

}  // namespace

TDIB::TDIB() : store_(std::make_shared<Store>()) {}
TDIB::~TDIB() = default;

int32_t TDIB::Width() const { return store_->width; }
int32_t TDIB::Height() const { return store_->height; }
int32_t TDIB::StoredBitCount() const { return store_->bitCount; }
const TPixelFormat& TDIB::PixelFormat() const { return store_->format; }
int32_t TDIB::WidthBytes() const { return store_->stride; }
const TPalette& TDIB::ColorTable() const { return store_->palette; }

int32_t TDIB::PaletteCount() const {
  int32_t b = store_->bitCount;
  return (b >= 1 && b <= 8) ? (1 << b) : 0;
}

TDIB::Store& TDIB::Writable() {
  if (store_.use_count() > 1) store_ = std::make_shared<Store>(*store_);
  return *store_;
}

void TDIB::SetColorTable(const TRGBQuad* entries, int count) {
  count = std::max(0, std::min(count, 256));
  Store& s = Writable();
  std::copy(entries, entries + count, s.palette.begin());
}

void TDIB::SetSize(int32_t width, int32_t height, int32_t bitCount) {
  TPixelFormat format = TPixelFormat::Rgb888();
  if (bitCount == 16) format = store_->bitCount == 16 ? store_->format : TPixelFormat::Rgb565();
  SetSizeFormat(width, height, bitCount, format);
}

void TDIB::SetSizeFormat(int32_t width, int32_t height, int32_t bitCount, const TPixelFormat& format) {
  if (width <= 0 || height <= 0) {
    if (Empty() && store_->bitCount == 0) return;
    auto s = std::make_shared<Store>();
    s->palette = store_->palette;
    s->format = store_->format;
    store_ = std::move(s);
    return;
  }
  if (!ValidBitCount(bitCount))
    throw EInvalidGraphicOperation(Format("ビット数が正しくありません (%d)", bitCount));
  if (width == store_->width && height == store_->height && bitCount == store_->bitCount &&
      format == store_->format)
    return;
  int64_t stride = RowBytes(width, bitCount);
  if (width > kMaxDIBSide || height > kMaxDIBSide || stride * height > kMaxDIBBytes)
    throw EInvalidGraphicOperation(Format("画像が大きすぎます (%d x %d, %d ビット)", width, height, bitCount));
  auto s = std::make_shared<Store>();
  s->width = width;
  s->height = height;
  s->bitCount = bitCount;
  s->stride = int32_t(stride);
  s->format = format;
  s->palette = store_->palette;
  s->bits.assign(size_t(stride * height), 0);
  store_ = std::move(s);
}

void TDIB::SetBitCount(int32_t n) {
  if (n <= 0) {
    Clear();
    return;
  }
  int32_t bits = n == 15 ? 16 : n;
  if (!ValidBitCount(bits)) throw EInvalidGraphicOperation(Format("ビット数が正しくありません (%d)", n));
  TPixelFormat format = TPixelFormat::Rgb888();
  if (n == 15)
    format = TPixelFormat::Rgb555();
  else if (n == 16)
    format = store_->bitCount == 16 ? store_->format : TPixelFormat::Rgb565();
  if (Empty()) {
    SetSizeFormat(std::max(Width(), 1), std::max(Height(), 1), bits, format);
    return;
  }
  if (bits == store_->bitCount && (bits != 16 || format == store_->format)) return;

  std::shared_ptr<Store> old = store_;
  store_ = std::make_shared<Store>();
  store_->palette = old->palette;
  SetSizeFormat(old->width, old->height, bits, format);
  Store& s = *store_;
  int32_t w = s.width;
  NearestIndex nearest(s.palette.data(), bits <= 8 ? (1 << bits) : 0);
  if (old->bitCount <= 8 && bits <= 8) {
    // Palette to palette: the same palette, so indices that fit stay as they are.
    uint32_t limit = 1u << bits;
    for (int32_t y = 0; y < s.height; ++y) {
      const uint8_t* src = old->bits.data() + size_t(y) * size_t(old->stride);
      uint8_t* dst = s.bits.data() + size_t(y) * size_t(s.stride);
      for (int32_t x = 0; x < w; ++x) {
        uint32_t v = GetPacked(src, x, old->bitCount);
        if (v >= limit) {
          const TRGBQuad& q = old->palette[v];
          v = nearest(q.Red, q.Green, q.Blue);
        }
        SetPacked(dst, x, bits, v);
      }
    }
    return;
  }
  std::vector<uint8_t> bgr(size_t(w) * 3);
  for (int32_t y = 0; y < s.height; ++y) {
    ToBGR(old->bits.data() + size_t(y) * size_t(old->stride), 0, w, old->bitCount, old->format,
          old->palette.data(), bgr.data());
    FromBGR(bgr.data(), w, s.bits.data() + size_t(y) * size_t(s.stride), 0, bits, s.format, &nearest);
  }
}

uint8_t* TDIB::ScanLine(int32_t y) {
  if (y < 0 || y >= store_->height)
    throw EInvalidGraphicOperation(Format("スキャンラインのインデックスが範囲を越えました (%d)", y));
  Store& s = Writable();
  return s.bits.data() + size_t(y) * size_t(s.stride);
}

const uint8_t* TDIB::ScanLine(int32_t y) const {
  if (y < 0 || y >= store_->height)
    throw EInvalidGraphicOperation(Format("スキャンラインのインデックスが範囲を越えました (%d)", y));
  return store_->bits.data() + size_t(y) * size_t(store_->stride);
}

uint32_t TDIB::ReadPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  return GetPixel(ScanLine(y), x, store_->bitCount);
}

void TDIB::WritePixel(int32_t x, int32_t y, uint32_t value) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
  int32_t bits = store_->bitCount;
  SetPixel(ScanLine(y), x, bits, value & ValueMask(bits, TPixelFormat::Rgb565()));
}

TColor TDIB::PixelColor(uint32_t value) const {
  return ValueToColor(value, store_->bitCount, store_->format, store_->palette.data());
}

void TDIB::Clear() { SetSizeFormat(0, 0, 0, store_->format); }

void TDIB::Assign(const TDIB& source) {
  if (&source == this) return;
  store_ = source.store_;
}

TDIBCanvas& TDIB::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TDIBCanvas>(*this);
  Writable().drawable = true;
  return *canvas_;
}

bool TDIB::HandleAllocated() const { return store_->drawable; }

void TDIB::ReleaseHandle() {
  if (!store_->drawable) return;
  Writable().drawable = false;
}

void TDIB::Draw(TDIBCanvas& target, const TRect& rect) const {
  if (Empty()) return;
  if (rect.Width() == Width() && rect.Height() == Height())
    target.Draw(rect.Left, rect.Top, *this);
  else
    target.StretchDraw(rect, *this);
}

// ---- BMP files

namespace {


// Reads exactly n bytes or raises the invalid-picture error.
void ReadExact(TStream& stream, void* buffer, int64_t n) {
  if (n > 0 && stream.Read(buffer, n) != n) throw EInvalidGraphic(kInvalidDIB);
}

enum : uint32_t { kBiRGB = 0, kBiBitfields = 3 };

}  // namespace

void TDIB::LoadFromStream(TStream& stream) {
  uint8_t file[14];
  int64_t got = stream.Read(file, 14);
  if (got == 0) return;
  if (got < 14 || file[0] != 'B' || file[1] != 'M') throw EInvalidGraphic(kInvalidDIB);
  uint32_t offBits = LoadLE32(file + 10);

  uint8_t info[124] = {};
  ReadExact(stream, info, 4);
  uint32_t infoSize = LoadLE32(info);
  if (infoSize != 12 && (infoSize < 40 || infoSize > 124)) throw EInvalidGraphic(kInvalidDIB);
  ReadExact(stream, info + 4, infoSize - 4);
  int64_t consumed = 14 + infoSize;

  int64_t width, height;
  uint32_t bits, compression = kBiRGB, clrUsed = 0;
  bool core = infoSize == 12;
  if (core) {
    width = LoadLE16(info + 4);
    height = LoadLE16(info + 6);
    bits = LoadLE16(info + 10);
  } else {
    width = int32_t(LoadLE32(info + 4));
    height = int32_t(LoadLE32(info + 8));
    bits = LoadLE16(info + 14);
    compression = LoadLE32(info + 16);
    clrUsed = LoadLE32(info + 32);
  }
  bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxDIBSide || height > kMaxDIBSide || !ValidBitCount(int32_t(bits)))
    throw EInvalidGraphic(kInvalidDIB);
  int64_t stride = RowBytes(width, bits);
  if (stride * height > kMaxDIBBytes) throw EInvalidGraphic(kInvalidDIB);

  TPixelFormat format = TPixelFormat::Rgb888();
  if (bits == 16) format = TPixelFormat::Rgb555();
  if (compression == kBiBitfields) {
    if (bits != 16 && bits != 32) throw EInvalidGraphic(kInvalidDIB);
    uint8_t masks[12];
    if (infoSize >= 52) {
      std::memcpy(masks, info + 40, 12);
    } else {
      ReadExact(stream, masks, 12);
      consumed += 12;
    }
    format = TPixelFormat{LoadLE32(masks), LoadLE32(masks + 4), LoadLE32(masks + 8)};
    bool ok = bits == 16 ? (format == TPixelFormat::Rgb555() || format == TPixelFormat::Rgb565())
                         : format == TPixelFormat::Rgb888();
    if (!ok) throw EInvalidGraphic(kInvalidDIB);
  } else if (compression != kBiRGB) {
    throw EInvalidGraphic(kInvalidDIB);
  }

  // Palette: 2^bits entries unless the header names fewer; pictures of more bits may
  // carry an optional table, which is skipped.
  uint32_t maxEntries = bits <= 8 ? (1u << bits) : 256u;
  uint32_t entries = clrUsed ? clrUsed : (bits <= 8 ? (1u << bits) : 0);
  if (entries > maxEntries) throw EInvalidGraphic(kInvalidDIB);
  int entrySize = core ? 3 : 4;
  std::vector<uint8_t> pal(size_t(entries) * entrySize);
  ReadExact(stream, pal.data(), int64_t(pal.size()));
  consumed += int64_t(pal.size());
  TPalette palette = store_->palette;
  if (bits <= 8) {
    palette = TPalette{};
    for (uint32_t i = 0; i < entries; ++i)
      palette[i] = TRGBQuad{pal[i * entrySize], pal[i * entrySize + 1], pal[i * entrySize + 2], 0};
  }

  if (offBits != 0) {
    if (offBits < consumed) throw EInvalidGraphic(kInvalidDIB);
    std::vector<uint8_t> skip(size_t(std::min<int64_t>(offBits - consumed, 1 << 16)));
    for (int64_t left = offBits - consumed; left > 0;) {
      int64_t n = std::min<int64_t>(left, int64_t(skip.size()));
      ReadExact(stream, skip.data(), n);
      left -= n;
    }
  }

  // Read the rows into a picture of our own first, so a short stream leaves this one
  // as it was.
  auto s = std::make_shared<Store>();
  s->width = int32_t(width);
  s->height = int32_t(height);
  s->bitCount = int32_t(bits);
  s->stride = int32_t(stride);
  s->format = format;
  s->palette = palette;
  s->bits.assign(size_t(stride * height), 0);
  for (int64_t i = 0; i < height; ++i) {
    int64_t y = topDown ? i : height - 1 - i;
    ReadExact(stream, s->bits.data() + size_t(y * stride), stride);
  }
  store_ = std::move(s);
}

void TDIB::SaveToStream(TStream& stream) const {
  if (Empty()) throw EInvalidGraphicOperation("空の画像は保存できません");
  const Store& s = *store_;
  bool bitfields = s.bitCount == 16 && !s.format.Is555();
  uint32_t entries = uint32_t(PaletteCount());
  uint32_t headerBytes = 14 + 40 + (bitfields ? 12 : 0) + entries * 4;
  uint32_t imageBytes = uint32_t(s.stride) * uint32_t(s.height);
  std::vector<uint8_t> head(headerBytes, 0);
  head[0] = 'B';
  head[1] = 'M';
  StoreLE32(&head[2], headerBytes + imageBytes);
  StoreLE32(&head[10], headerBytes);
  uint8_t* info = &head[14];
  StoreLE32(info, 40);
  StoreLE32(info + 4, uint32_t(s.width));
  StoreLE32(info + 8, uint32_t(s.height));
  StoreLE16(info + 12, 1);
  StoreLE16(info + 14, uint32_t(s.bitCount));
  StoreLE32(info + 16, bitfields ? kBiBitfields : kBiRGB);
  StoreLE32(info + 20, imageBytes);
  StoreLE32(info + 24, 3780);  // 96 dots per inch
  StoreLE32(info + 28, 3780);
  StoreLE32(info + 32, entries);
  uint8_t* p = info + 40;
  if (bitfields) {
    StoreLE32(p, s.format.RedMask);
    StoreLE32(p + 4, s.format.GreenMask);
    StoreLE32(p + 8, s.format.BlueMask);
    p += 12;
  }
  for (uint32_t i = 0; i < entries; ++i, p += 4) {
    p[0] = s.palette[i].Blue;
    p[1] = s.palette[i].Green;
    p[2] = s.palette[i].Red;
    p[3] = 0;
  }
  stream.WriteBuffer(head.data(), int64_t(head.size()));
  for (int32_t y = s.height - 1; y >= 0; --y)
    stream.WriteBuffer(s.bits.data() + size_t(y) * size_t(s.stride), s.stride);
}

// ---- canvas

TRect TDIBCanvas::EffectiveClip() const {
  TRect whole{0, 0, target_.Width(), target_.Height()};
  return clip_.IsEmpty() ? whole : IntersectRect(clip_, whole);
}

TColor TDIBCanvas::NearestColor(TColor color) const {
  int32_t bits = target_.StoredBitCount();
  if (bits == 0 || bits >= 24) return color & 0xFFFFFF;
  const TPixelFormat& f = target_.PixelFormat();
  NearestIndex nearest(target_.ColorTable().data(), target_.PaletteCount());
  return ValueToColor(ColorToValue(color, bits, f, &nearest), bits, f, target_.ColorTable().data());
}

void TDIBCanvas::FillRect(const TRect& rect, TColor color) {
  if (target_.Empty()) return;
  TRect r = IntersectRect(TRect::Bounds(rect.Left + origin_.X, rect.Top + origin_.Y, rect.Width(), rect.Height()),
                          EffectiveClip());
  if (r.IsEmpty()) return;
  int32_t bits = target_.StoredBitCount();
  NearestIndex nearest(target_.ColorTable().data(), target_.PaletteCount());
  uint32_t value = ColorToValue(color, bits, target_.PixelFormat(), &nearest);
  for (int32_t y = r.Top; y < r.Bottom; ++y) FillSpan(target_.ScanLine(y), r.Left, r.Width(), bits, value);
}

void TDIBCanvas::Draw(int32_t x, int32_t y, const TDIB& source) {
  CopyRect(TRect::Bounds(x, y, source.Width(), source.Height()), source,
           TRect{0, 0, source.Width(), source.Height()});
}

void TDIBCanvas::StretchDraw(const TRect& destRect, const TDIB& source) {
  CopyRect(destRect, source, TRect{0, 0, source.Width(), source.Height()});
}

void TDIBCanvas::CopyRect(const TRect& destRect, const TDIB& source, const TRect& sourceRect) {
  if (target_.Empty() || source.Empty()) return;
  TRect src = IntersectRect(sourceRect, TRect{0, 0, source.Width(), source.Height()});
  // Of a source rectangle reaching outside the source only the part inside is drawn,
  // scaled as the whole would have been.
  if (src.IsEmpty()) return;
  int64_t dw = destRect.Width(), dh = destRect.Height();
  int64_t sw = sourceRect.Width(), sh = sourceRect.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  int64_t dl = int64_t(destRect.Left) + origin_.X, dt = int64_t(destRect.Top) + origin_.Y;
  TRect clip = EffectiveClip();
  int64_t x0 = std::max<int64_t>(dl, clip.Left), x1 = std::min<int64_t>(dl + dw, clip.Right);
  int64_t y0 = std::max<int64_t>(dt, clip.Top), y1 = std::min<int64_t>(dt + dh, clip.Bottom);
  if (x0 >= x1 || y0 >= y1) return;

  // Source column and row of each target pixel: the source pixel under its centre.
  auto sourceCol = [&](int64_t dx) { return sourceRect.Left + ((2 * (dx - dl) + 1) * sw) / (2 * dw); };
  auto sourceRow = [&](int64_t dy) { return sourceRect.Top + ((2 * (dy - dt) + 1) * sh) / (2 * dh); };

  int32_t count = int32_t(x1 - x0);
  std::vector<int32_t> cols;
  cols.reserve(size_t(count));
  bool inside = true;
  for (int64_t dx = x0; dx < x1; ++dx) {
    int64_t sx = sourceCol(dx);
    if (sx < src.Left || sx >= src.Right) inside = false;
    cols.push_back(int32_t(sx));
  }

  int32_t sbits = source.StoredBitCount(), tbits = target_.StoredBitCount();
  bool sameLayout = sbits == tbits && (sbits != 16 || source.PixelFormat() == target_.PixelFormat()) &&
                    (sbits > 8 || source.ColorTable() == target_.ColorTable());
  bool unscaled = dw == sw && dh == sh;
  NearestIndex nearest(target_.ColorTable().data(), target_.PaletteCount());
  std::vector<uint8_t> srcBGR(size_t(sw) * 3), rowBGR(size_t(count) * 3);
  int64_t cachedRow = -1;
  for (int64_t dy = y0; dy < y1; ++dy) {
    int64_t sy = sourceRow(dy);
    if (sy < src.Top || sy >= src.Bottom) continue;
    const uint8_t* srow = source.ScanLine(int32_t(sy));
    uint8_t* trow = target_.ScanLine(int32_t(dy));
    if (sameLayout && unscaled && inside) {
      CopySpan(srow, cols[0], trow, int32_t(x0), count, sbits);
      continue;
    }
    if (sameLayout) {
      for (int32_t i = 0; i < count; ++i) {
        if (cols[size_t(i)] < src.Left || cols[size_t(i)] >= src.Right) continue;
        SetPixel(trow, int32_t(x0) + i, tbits, GetPixel(srow, cols[size_t(i)], sbits));
      }
      continue;
    }
    if (sy != cachedRow) {
      ToBGR(srow, src.Left, src.Width(), sbits, source.PixelFormat(), source.ColorTable().data(),
            srcBGR.data());
      cachedRow = sy;
    }
    if (inside) {
      for (int32_t i = 0; i < count; ++i) std::memcpy(&rowBGR[size_t(i) * 3], &srcBGR[size_t(cols[size_t(i)] - src.Left) * 3], 3);
      FromBGR(rowBGR.data(), count, trow, int32_t(x0), tbits, target_.PixelFormat(), &nearest);
    } else {
      for (int32_t i = 0; i < count; ++i) {
        int32_t sx = cols[size_t(i)];
        if (sx < src.Left || sx >= src.Right) continue;
        FromBGR(&srcBGR[size_t(sx - src.Left) * 3], 1, trow, int32_t(x0) + i, tbits, target_.PixelFormat(),
                &nearest);
      }
    }
  }
}

// ---- paint box

TRect DXPaintBoxTarget(const TDXPaintBoxOptions& o, int32_t w, int32_t h, int32_t cw, int32_t ch) {
  if (w <= 0 || h <= 0) return TRect{};
  auto fit = [&](int32_t pw, int32_t ph, int32_t& tw, int32_t& th) {
    double r = std::min(double(cw) / pw, double(ch) / ph);
    tw = RoundHalfEven(pw * r);
    th = RoundHalfEven(ph * r);
  };
  int32_t tw = w, th = h;
  if (o.ViewWidth <= 0 && o.ViewHeight <= 0) {
    if (o.AutoStretch) {
      if (!(cw >= w && ch >= h)) fit(w, h, tw, th);
    } else if (!o.Stretch) {
      // natural size
    } else if (!o.KeepAspect) {
      tw = cw;
      th = ch;
    } else {
      fit(w, h, tw, th);
    }
  } else {
    tw = o.ViewWidth > 0 ? o.ViewWidth : w;
    th = o.ViewHeight > 0 ? o.ViewHeight : h;
    // A view larger than the area shrinks to fit when AutoStretch is set.
    if (o.AutoStretch && (cw < tw || ch < th)) fit(tw, th, tw, th);
  }
  tw = std::max(tw, 0);
  th = std::max(th, 0);
  int32_t x = 0, y = 0;
  if (o.Center) {
    x = int32_t((int64_t(cw) - tw) / 2);
    y = int32_t((int64_t(ch) - th) / 2);
  }
  return TRect::Bounds(x, y, tw, th);
}

void PaintDXPaintBox(TDIBCanvas& canvas, const TDIB& dib, const TDXPaintBoxOptions& options, int32_t cw,
                     int32_t ch) {
  if (dib.Empty()) return;
  TRect target = DXPaintBoxTarget(options, dib.Width(), dib.Height(), cw, ch);
  if (target.IsEmpty()) return;
  dib.Draw(canvas, target);
}

void TDXPaintBoxProperties::SetDIB(const TDIB& source) {
  dib_.Assign(source);
  if (OnRepaint) OnRepaint();
}

}  // namespace zarn
