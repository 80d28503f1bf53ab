#include "image/layered_image.h"

#include <algorithm>
#include <cstring>

#ifdef ZARN_HAVE_LIBDEFLATE
#include <libdeflate.h>

#include <memory>
#endif

#include "image/layered_image_jpeg.h"
#include "image/pixel_rows.h"
#include "runtime/byte_order.h"
#include "runtime/scramble_random.h"
#include "runtime/sjis.h"
#include "runtime/zlib_streams.h"

namespace zarn {

using pixelrows::CopySpan;
using pixelrows::GetPacked;
using pixelrows::SetPacked;

namespace {

const int32_t kMaxTiles = 1 << 22;
// What the bytes of a stream can make: every read may take this much for its pictures,
// and this many bytes more for each byte of the stream (deflate expands by about 1032:1
// at most), so a short stream cannot claim a large part of PixelBudget.
const int64_t kBudgetFloor = int64_t(64) << 20;
const int64_t kBudgetPerByte = 1040;

const char kTruncated[] = "画像データが途中で終わっています";
const char kPlaneShort[] = "画像データが不足しています";

std::string ListIndexMessage(int64_t index) { return Format("リストのインデックスが範囲を超えています (%d)", index); }

// Version of a seven-byte tag "BrimNNN", or -1 when the bytes are not such a tag.
int TagVersion(const uint8_t* tag) {
  if (std::memcmp(tag, "Brim", 4) != 0) return -1;
  int v = 0;
  for (int i = 4; i < 7; ++i) {
    if (tag[i] < '0' || tag[i] > '9') return -1;
    v = v * 10 + (tag[i] - '0');
  }
  return v;
}


int64_t RowBytes(int64_t width, int64_t bits) { return ((width * bits + 31) / 32) * 4; }

// Bytes of a picture of this size, for the budget of one read.
int64_t PictureBytes(int64_t width, int64_t height, int64_t bits) {
  if (width <= 0 || height <= 0) return 0;
  return RowBytes(width, bits == 15 ? 16 : bits) * height;
}

// One read of a layered image.
class Reader {
 public:
  Reader(TStream& stream, TBrimFrameList& list, bool keepLayers)
      : s_(stream), list_(list), keepLayers_(keepLayers), mem_(dynamic_cast<TMemoryStream*>(&stream)) {
    size_ = s_.Size();
  }

  void Run(bool firstFrameOnly, bool prepareTransparency);

 private:
  // ---- primitive reads; a short stream is an error
  int64_t Remaining() { return std::max<int64_t>(0, size_ - s_.Position()); }
  void Read(void* buf, int64_t n) {
    if (n > 0 && s_.Read(buf, n) != n) throw EFormatError(kTruncated);
  }
  void Skip(int64_t n) {
    if (n > Remaining()) throw EFormatError(kTruncated);
    s_.Seek(n, soCurrent);
  }
  int32_t I32() {
    uint8_t b[4];
    Read(b, 4);
    return LoadLEI32(b);
  }
  uint8_t U8() {
    uint8_t b;
    Read(&b, 1);
    return b;
  }
  std::string Text() {
    int32_t n = I32();
    if (n <= 0) return std::string();
    if (n > Remaining()) throw EFormatError(kTruncated);
    std::string t(size_t(n), '\0');
    Read(&t[0], n);
    return t;
  }
  void Reserve(int64_t bytes) {
    used_ += bytes;
    if (used_ > budget_) throw EFormatError("画像が大きすぎます");
  }

  void ReadHeader();
  void ReadFrame(TBrimFrame& frame, int frameIndex);
  void ReadLayer(TBrimFrame& frame, int frameIndex, TBrimLayer& layer, int layerIndex);
  struct Bytes {
    const uint8_t* data;
    int64_t size;
  };
  // The next `size` bytes of the stream: straight from its memory when it is a memory
  // stream (which nothing changes while the plane is decoded), otherwise copied into the
  // scratch stream.
  Bytes RawBytes(int64_t size);
  // Decodes a colour or alpha plane of `size` stored bytes into `target`.
  void DecodePlane(int64_t size, bool inflate, TDIBSurface& target, int frameIndex, int layerIndex, bool alpha);
  void DecodeRows(const Bytes& b, TDIBSurface& target, bool scrambled);
  void DecodeTiles(const Bytes& b, TDIBSurface& target, int frameIndex, int layerIndex, bool alpha);
  void DecodeJPEGPlane(const Bytes& b, TBrimFrame& frame, TBrimLayer& layer);
  void PrepareTransparency(TBrimFrame& frame);

  bool Tiled() const {
    return recVersion_ >= 103 && h_.TileWidth > 0 && h_.TileHeight > 0 && h_.Compression != 2;
  }

  TStream& s_;
  TBrimFrameList& list_;
  bool keepLayers_;
  TMemoryStream* mem_;
  int64_t size_ = 0;
  int64_t used_ = 0;
  int64_t budget_ = 0;  // bytes the pictures of this read may take
  TBrimHeader h_;
  int32_t recVersion_ = 0;
  TMemoryStream scratch_;
  std::vector<uint8_t> inflated_;
};

// Bytes an inflated plane may hold beyond what its layout needs; they are ignored.
const int64_t kInflateSlack = 65536;

// Inflates a whole zlib stream into out[0, capacity) and answers the bytes written.
// Up to kInflateSlack bytes beyond the capacity are decoded and dropped; more raise
// EFormatError, so a small stream cannot make a huge plane. Damaged data raises
// EZlibError.
int64_t Inflate(const uint8_t* src, int64_t size, uint8_t* out, int64_t capacity) {
#ifdef ZARN_HAVE_LIBDEFLATE
  // The whole stream is in memory and the plane's size is known: libdeflate inflates
  // that about twice as fast as zlib. Anything but a clean fit (damage, a stream larger
  // than the plane) is left to zlib below, which tells the cases apart.
  {
    thread_local std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> d(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    size_t written = 0;
    if (d && libdeflate_zlib_decompress(d.get(), src, size_t(size), out, size_t(capacity), &written) ==
                 LIBDEFLATE_SUCCESS)
      return int64_t(written);
  }
#endif
  // zlib tells damaged, short and oversized streams apart; the plane takes what fits.
  int64_t written = 0;
  InflateEnd end = InflateBlocks(
      src, size,
      [&](const uint8_t* block, int64_t n) {
        const int64_t take = std::min(n, capacity - written);
        if (take > 0) std::memcpy(out + written, block, size_t(take));  // `out` may be null when empty
        written += take;
      },
      capacity + kInflateSlack);
  switch (end) {
    case InflateEnd::Complete: return written;
    case InflateEnd::TooLarge: throw EFormatError("展開後のデータが大きすぎます");
    case InflateEnd::Truncated: throw EZlibError("展開エラー: データが途中で終わっています");
    case InflateEnd::Damaged: break;
  }
  throw EZlibError("展開エラー: データが壊れています");
}

void Reader::ReadHeader() {
  uint8_t tag[7];
  int64_t got = s_.Read(tag, 7);
  if (got == 7 && std::memcmp(tag, "Brim", 4) == 0) {
    list_.Version = StrToInt(std::string(reinterpret_cast<char*>(tag) + 4, 3));
  } else {
    s_.Seek(-got, soCurrent);
    list_.Version = 0;
  }
  const int32_t v = list_.Version;
  h_ = TBrimHeader{};
  if (v < 103) {
    h_.FrameCount = I32();
    U8();
    if (v >= 102) list_.BackColor = uint32_t(I32());
    h_.Version = v;
    h_.BackColor = list_.BackColor;
  } else {
    int32_t size = I32();
    if (size < 0) throw EFormatError(Format("画像のヘッダーの大きさが正しくありません (%d)", size));
    uint8_t block[40] = {};
    int32_t n = std::min(size, 40);
    Read(block, n);
    if (size > 40) Skip(size - 40);  // a longer header of a later version: the rest is not ours
    h_.HeaderSize = size;
    h_.Version = LoadLEI32(block);
    h_.FrameCount = LoadLEI32(block + 16);
    h_.Scrambled = block[21];
    h_.Compression = block[22];
    h_.BackColor = LoadLE32(block + 24);
    h_.TileWidth = LoadLEI32(block + 28);
    h_.TileHeight = LoadLEI32(block + 32);
    h_.BottomOpaque = block[36];
    list_.BackColor = h_.BackColor;
    if (h_.Compression > 2) throw EFormatError(Format("画像の圧縮形式が正しくありません (%d)", h_.Compression));
  }
  list_.BottomOpaque = v >= 105 && h_.BottomOpaque != 0;
  recVersion_ = h_.Version;
  list_.Header = h_;
}

void Reader::Run(bool firstFrameOnly, bool prepareTransparency) {
  int64_t stored = Remaining();
  budget_ = stored > (list_.PixelBudget - kBudgetFloor) / kBudgetPerByte
                ? list_.PixelBudget
                : std::min(list_.PixelBudget, kBudgetFloor + stored * kBudgetPerByte);
  ReadHeader();
  int32_t count = h_.FrameCount;
  if (firstFrameOnly && count > 1) count = 1;
  for (int32_t i = 0; i < count; ++i) {
    TBrimFrame& frame = list_.AddFrame();
    ReadFrame(frame, i);
    if (prepareTransparency) PrepareTransparency(frame);
    frame.Surface.ReleaseHandle();
    if (keepLayers_)
      for (int l = 0; l < frame.Count(); ++l) frame.Layers(l).Surface.ReleaseHandle();
  }
  // Layers stay until every frame is read: tiles of a later frame may copy from them.
  if (!keepLayers_)
    for (int i = 0; i < list_.Count(); ++i) list_.Frames(i).Clear();
}

void Reader::ReadFrame(TBrimFrame& frame, int frameIndex) {
  frame.Name = Text();
  frame.ColorKey = I32();
  frame.Delay = I32();
  frame.Flags = U8();
  Skip(4);
  int32_t layerCount = I32();
  int32_t width = I32();
  int32_t height = I32();
  int32_t bits = I32();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
    throw EFormatError(Format("画像のビット数が正しくありません (%d)", bits));
  if (width < 0 || height < 0 || width > kMaxDIBSide || height > kMaxDIBSide)
    throw EFormatError(Format("画像の大きさが正しくありません (%d x %d)", width, height));
  if (layerCount < 0) throw EFormatError(Format("レイヤーの数が正しくありません (%d)", layerCount));
  Reserve(PictureBytes(width, height, bits));
  frame.Surface.SetSize(width, height, bits);
  TDIBSurface& surface = frame.Surface;
  if (bits <= 8) {
    int entries = 1 << bits;
    uint8_t raw[256 * 4];
    Read(raw, entries * 4);
    TRGBQuad pal[256];
    for (int i = 0; i < entries; ++i) pal[i] = TRGBQuad{raw[i * 4], raw[i * 4 + 1], raw[i * 4 + 2], raw[i * 4 + 3]};
    surface.SetColorTable(pal, entries);
    surface.UpdatePalette();
  }
  if (frame.ColorKey < 0) {
    frame.ColorKeyRGB = -1;
  } else {
    if (bits <= 8 && frame.ColorKey >= (1 << bits))
      throw EFormatError(Format("色キーがパレットの範囲を超えています (%d)", frame.ColorKey));
    frame.ColorKeyRGB = int32_t(surface.PixelColor(uint32_t(frame.ColorKey)));
  }
  // The background goes in before the first layer is drawn; a first layer copied
  // opaquely covers every pixel, so then it is not needed at all.
  const uint32_t back = surface.ColorToPixel(list_.BackColor);
  bool filled = surface.Empty();
  auto fill = [&] {
    if (!filled) surface.FillRect(TRect{0, 0, width, height}, back);
    filled = true;
  };

  bool first = true;
  for (int32_t i = 0; i < layerCount; ++i) {
    TBrimLayer& layer = frame.AddLayer();
    ReadLayer(frame, frameIndex, layer, i);
    if (keepLayers_ && bits <= 8) layer.Surface.SetColorTable(surface.ColorTable());
    if (!layer.Visible) continue;
    bool alpha = layer.Surface.HasAlpha() && layer.UseAlpha;
    if (first && alpha) surface.CopyAlphaFrom(*layer.Surface.AlphaPlane());
    TRect whole{0, 0, layer.Surface.Width(), layer.Surface.Height()};
    if (alpha && i > 0) {
      fill();
      surface.DrawAlpha(0, 0, layer.Surface, whole, 255);
    } else if ((layer.ColorKey < 0 || (first && list_.BottomOpaque)) && layer.Opacity >= 255) {
      filled = true;  // layers have the frame's size
      surface.DrawOpaque(0, 0, layer.Surface);
    } else {
      fill();
      surface.DrawBlend(0, 0, layer.Surface, whole, layer.ColorKey, layer.Opacity);
    }
    first = false;
  }
  fill();

  if (recVersion_ >= 104) {
    for (auto& records : frame.Records) {
      int32_t n = I32();
      if (n < 0) continue;
      if (int64_t(n) * 16 > Remaining()) throw EFormatError(kTruncated);
      records.resize(size_t(n));
      for (auto& r : records) Read(r.data(), 16);
    }
  }
}

void Reader::ReadLayer(TBrimFrame& frame, int frameIndex, TBrimLayer& layer, int layerIndex) {
  TDIBSurface& fs = frame.Surface;
  Reserve(PictureBytes(fs.Width(), fs.Height(), fs.BitCount()));
  layer.Surface.SetSize(fs.Width(), fs.Height(), fs.BitCount());
  Skip(8);
  layer.Visible = U8() != 0;
  layer.ColorKey = I32();
  layer.Opacity = I32();
  if (recVersion_ >= 101) layer.UseAlpha = U8() != 0;
  layer.Name = Text();

  // Colour plane.
  int32_t pixelSize = I32();
  if (pixelSize < 0) throw EFormatError(Format("画像データの大きさが正しくありません (%d)", pixelSize));
  if (recVersion_ >= 103 && h_.Compression == 2)
    DecodeJPEGPlane(RawBytes(pixelSize), frame, layer);
  else
    DecodePlane(pixelSize, recVersion_ < 103 || h_.Compression == 0, layer.Surface, frameIndex, layerIndex, false);

  // Alpha plane.
  if (recVersion_ < 100) return;
  int32_t alphaSize = I32();
  if (alphaSize <= 0) return;
  if (layer.UseAlpha) layer.ColorKey = -1;
  Reserve(PictureBytes(layer.Surface.Width(), layer.Surface.Height(), 8));
  layer.Surface.CreateAlpha();
  DecodePlane(alphaSize, recVersion_ < 103 || h_.Compression != 1, *layer.Surface.AlphaPlane(), frameIndex, layerIndex,
              true);
}

Reader::Bytes Reader::RawBytes(int64_t size) {
  if (size > Remaining()) throw EFormatError(kTruncated);
  if (size == 0) return Bytes{nullptr, 0};
  if (mem_) {
    Bytes b{mem_->Memory() + mem_->Position(), size};
    mem_->Seek(size, soCurrent);
    return b;
  }
  scratch_.SetSize(0);
  scratch_.SetPosition(0);
  scratch_.CopyFrom(s_, size);
  return Bytes{scratch_.Memory(), size};
}

void Reader::DecodePlane(int64_t size, bool inflate, TDIBSurface& target, int frameIndex, int layerIndex,
                         bool alpha) {
  const int64_t rowsBytes = int64_t(target.WidthBytes()) * target.Height();
  const bool tiled = Tiled() && !target.Empty();
  const bool scrambled = recVersion_ >= 103 && h_.Scrambled && h_.Compression != 2;
  Bytes raw = RawBytes(size);
  if (!tiled && !scrambled) {
    // Rows in order: straight into the picture, whose rows lie one after the other.
    if (rowsBytes == 0) return;
    uint8_t* rows = target.ScanLine(0);
    if (inflate) {
      if (raw.size == 0 || Inflate(raw.data, raw.size, rows, rowsBytes) < rowsBytes) throw EFormatError(kPlaneShort);
    } else {
      if (raw.size < rowsBytes) throw EFormatError(kPlaneShort);
      std::memcpy(rows, raw.data, size_t(rowsBytes));
    }
    return;
  }
  Bytes b = raw;
  if (inflate && raw.size > 0) {
    int64_t tableBytes = 0;
    if (tiled) {
      int64_t cols = (int64_t(target.Width()) + h_.TileWidth - 1) / h_.TileWidth;
      int64_t rows = (int64_t(target.Height()) + h_.TileHeight - 1) / h_.TileHeight;
      if (cols * rows > kMaxTiles) throw EFormatError(Format("タイルの数が多すぎます (%d)", cols * rows));
      tableBytes = cols * rows * 8;
    }
    const int64_t capacity = tableBytes + rowsBytes;
    if (int64_t(inflated_.size()) < capacity) {
      inflated_.clear();
      inflated_.shrink_to_fit();
      inflated_.resize(size_t(capacity));
    }
    b = Bytes{inflated_.data(), Inflate(raw.data, raw.size, inflated_.data(), capacity)};
  }
  if (tiled)
    DecodeTiles(b, target, frameIndex, layerIndex, alpha);
  else
    DecodeRows(b, target, scrambled);
}

void Reader::DecodeRows(const Bytes& b, TDIBSurface& target, bool scrambled) {
  const int32_t height = target.Height();
  if (height == 0) return;
  const int64_t stride = target.WidthBytes();
  if (b.size < stride * height) throw EFormatError(kPlaneShort);
  if (scrambled) {
    std::vector<int32_t> order = ScrambledOrder(list_.Seed, height);
    for (int32_t k = 0; k < height; ++k)
      std::memcpy(target.ScanLine(order[size_t(k)]), b.data + size_t(k) * size_t(stride), size_t(stride));
  } else {
    for (int32_t k = 0; k < height; ++k)
      std::memcpy(target.ScanLine(k), b.data + size_t(k) * size_t(stride), size_t(stride));
  }
}

void Reader::DecodeTiles(const Bytes& b, TDIBSurface& target, int frameIndex, int layerIndex, bool alpha) {
  const int32_t width = target.Width(), height = target.Height();
  if (width == 0 || height == 0) return;
  const int32_t tw = h_.TileWidth, th = h_.TileHeight;
  const int32_t bits = target.StoredBitCount();
  const int64_t cols64 = (int64_t(width) + tw - 1) / tw, rows64 = (int64_t(height) + th - 1) / th;
  if (cols64 * rows64 > kMaxTiles) throw EFormatError(Format("タイルの数が多すぎます (%d)", cols64 * rows64));
  const int32_t cols = int32_t(cols64), count = int32_t(cols64 * rows64);
  if (b.size < int64_t(count) * 8) throw EFormatError(kPlaneShort);

  struct Entry {
    int32_t source, index;
  };
  std::vector<Entry> table(static_cast<size_t>(count));
  std::vector<int32_t> order;
  if (h_.Scrambled) order = ScrambledOrder(list_.Seed, count);
  for (int32_t k = 0; k < count; ++k) {
    const uint8_t* p = b.data + size_t(k) * 8;
    table[size_t(h_.Scrambled ? order[size_t(k)] : k)] = Entry{LoadLEI32(p), LoadLEI32(p + 4)};
  }
  int64_t pos = int64_t(count) * 8;

  for (int32_t t = 0; t < count; ++t) {
    const int32_t c = t % cols, r = t / cols;
    const int32_t x = c * tw, y = r * th;
    const int32_t w = std::min(tw, width - x), hgt = std::min(th, height - y);
    const Entry e = table[size_t(t)];
    if (e.source == -1) {
      // The tile's own pixels: one run per tile row, padded to whole bytes.
      const int64_t run = (int64_t(w) * bits + 7) / 8;
      if (pos + run * hgt > b.size) throw EFormatError(kPlaneShort);
      for (int32_t row = 0; row < hgt; ++row) {
        CopySpan(b.data + pos, 0, target.ScanLine(y + row), x, w, bits);
        pos += run;
      }
    } else if (e.source == -2) {
      // A copy of an earlier tile of this plane.
      if (e.index < 0 || e.index >= t) throw EFormatError(Format("タイルの参照が正しくありません (%d)", e.index));
      const int32_t sx = (e.index % cols) * tw, sy = (e.index / cols) * th;
      if (int64_t(sx) + w > width || int64_t(sy) + hgt > height)
        throw EFormatError(Format("タイルの参照が正しくありません (%d)", e.index));
      for (int32_t row = 0; row < hgt; ++row) {
        const uint8_t* src = target.ScanLine(sy + row);
        CopySpan(src, sx, target.ScanLine(y + row), x, w, bits);
      }
    } else if (e.source >= 0) {
      // The same place of a layer read earlier, of this frame or an earlier one.
      if (e.source >= list_.Count()) throw EListError(ListIndexMessage(e.source));
      TBrimFrame& sf = list_.Frames(e.source);
      int32_t available = e.source == frameIndex ? layerIndex : sf.Count();
      if (e.index < 0 || e.index >= available) throw EListError(ListIndexMessage(e.index));
      const TDIBSurface* src = &sf.Layers(e.index).Surface;
      if (alpha) src = src->AlphaPlane();
      if (!src || src->StoredBitCount() != bits || src->Width() < x + w || src->Height() < y + hgt)
        throw EFormatError(Format("タイルの参照先が正しくありません (%d, %d)", e.source, e.index));
      for (int32_t row = 0; row < hgt; ++row) CopySpan(src->ScanLine(y + row), x, target.ScanLine(y + row), x, w, bits);
    } else {
      throw EFormatError(Format("タイルの参照が正しくありません (%d)", e.source));
    }
  }
}

void Reader::DecodeJPEGPlane(const Bytes& b, TBrimFrame& frame, TBrimLayer& layer) {
  TDIBSurface& fs = frame.Surface;
  if (fs.StoredBitCount() == 24) {
    DecodeJPEG(b.data, size_t(b.size), layer.Surface);
    return;
  }
  // A JPEG gives 24-bit pixels; the frame's layers share the frame's pixel format, so
  // the picture is converted to it (nearest palette entries for palette frames).
  TDIBSurface picture;
  Reserve(PictureBytes(fs.Width(), fs.Height(), 24));
  picture.SetSize(fs.Width(), fs.Height(), 24);
  DecodeJPEG(b.data, size_t(b.size), picture);
  if (fs.StoredBitCount() <= 8) picture.SetColorTable(fs.ColorTable());
  picture.SetBitCount(fs.BitCount());
  layer.Surface.AssignSurface(picture);
}

void Reader::PrepareTransparency(TBrimFrame& frame) {
  TDIBSurface& fs = frame.Surface;
  auto keyToAlpha = [](TDIBSurface& surface, int32_t key) {
    surface.CreateAlpha();
    surface.FillAlpha();
    if (key < 0 || surface.Empty()) return;
    TDIBSurface& plane = *surface.AlphaPlane();
    const int32_t bits = surface.StoredBitCount();
    for (int32_t y = 0; y < surface.Height(); ++y) {
      const uint8_t* row = static_cast<const TDIBSurface&>(surface).ScanLine(y);
      uint8_t* a = plane.ScanLine(y);
      for (int32_t x = 0; x < surface.Width(); ++x)
        if (pixelrows::GetPixel(row, x, bits) == uint32_t(key)) a[x] = 0;
    }
  };
  if (frame.ColorKeyRGB >= 0) {
    if (!fs.HasAlpha()) keyToAlpha(fs, frame.ColorKey);
    if (keepLayers_) {
      for (int i = 0; i < frame.Count(); ++i) {
        TBrimLayer& layer = frame.Layers(i);
        if (layer.Surface.HasAlpha()) continue;
        keyToAlpha(layer.Surface, layer.ColorKey >= 0 ? layer.ColorKey : frame.ColorKey);
      }
    }
  }
  if (fs.StoredBitCount() <= 8) {
    int32_t foundX = -1, foundY = -1;
    if (frame.ColorKey >= 0) {
      const TDIBSurface& cfs = fs;
      for (int32_t y = 0; y < cfs.Height() && foundY < 0; ++y) {
        const uint8_t* row = cfs.ScanLine(y);
        for (int32_t x = 0; x < cfs.Width(); ++x)
          if (GetPacked(row, x, cfs.StoredBitCount()) == uint32_t(frame.ColorKey)) {
            foundX = x;
            foundY = y;
            break;
          }
      }
    }
    Reserve(PictureBytes(fs.Width(), fs.Height(), 24));
    fs.SetBitCount(24);
    if (foundY >= 0) frame.ColorKey = int32_t(fs.ReadPixel(foundX, foundY));
    if (keepLayers_)
      for (int i = 0; i < frame.Count(); ++i) frame.Layers(i).Surface.SetBitCount(24);
  }
}

}  // namespace

// ---- lists

TBrimLayer& TBrimFrame::Layers(int i) const {
  if (i < 0 || i >= Count()) throw EListError(ListIndexMessage(i));
  return *layers_[size_t(i)];
}

TBrimLayer& TBrimFrame::AddLayer() {
  layers_.push_back(std::make_unique<TBrimLayer>(*this));
  return *layers_.back();
}

TBrimFrame& TBrimFrameList::Frames(int i) const {
  if (i < 0 || i >= Count()) throw EListError(ListIndexMessage(i));
  return *frames_[size_t(i)];
}

TBrimFrame& TBrimFrameList::AddFrame() {
  frames_.push_back(std::make_unique<TBrimFrame>(*this));
  return *frames_.back();
}

void TBrimFrameList::LoadFromStream(TStream& stream, bool firstFrameOnly, bool prepareTransparency,
                                    bool keepLayers) {
  Clear();
  Reader reader(stream, *this, keepLayers);
  reader.Run(firstFrameOnly, prepareTransparency);
}

// ---- helpers

bool IsStoredUncompressed(TStream& stream) {
  uint8_t tag[7];
  if (stream.Read(tag, 7) != 7) return false;
  if (TagVersion(tag) < 103) return false;
  uint8_t size[4];
  if (stream.Read(size, 4) != 4) return false;
  int32_t headerSize = LoadLEI32(size);
  uint8_t block[40] = {};
  int32_t n = headerSize < 0 ? 0 : std::min(headerSize, 40);
  if (stream.Read(block, n) != n) return false;
  if (headerSize > 40) stream.Seek(headerSize - 40, soCurrent);
  return block[22] == 1;
}

std::vector<int32_t> ScrambledOrder(int32_t seed, int32_t n) {
  std::vector<int32_t> out;
  if (n <= 0) return out;
  out.reserve(size_t(n));
  // A Fenwick tree over the values still in the pool answers "the k-th value left" in
  // O(log n), where removing from a plain list would cost O(n) each time.
  std::vector<int32_t> tree(size_t(n) + 1, 0);
  for (int32_t i = 1; i <= n; ++i) {
    tree[size_t(i)] += 1;
    int32_t j = i + (i & -i);
    if (j <= n) tree[size_t(j)] += tree[size_t(i)];
  }
  int32_t top = 1;
  while (top * 2 <= n) top *= 2;
  TQxRandom random(seed);
  for (int32_t k = 0; k < n; ++k) {
    uint32_t left = uint32_t(n - k);
    int32_t rank = int32_t(uint32_t(random.Next()) % left) + 1;
    int32_t pos = 0;
    for (int32_t step = top; step; step >>= 1) {
      if (pos + step <= n && tree[size_t(pos + step)] < rank) {
        pos += step;
        rank -= tree[size_t(pos)];
      }
    }
    out.push_back(pos);  // the value at 1-based slot pos + 1
    for (int32_t i = pos + 1; i <= n; i += i & -i) tree[size_t(i)] -= 1;
  }
  return out;
}

}  // namespace zarn
