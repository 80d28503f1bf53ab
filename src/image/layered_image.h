// Layered pictures (.BRM): frames made of layers, composed into one picture per frame
// when read. Planes may be deflated, stored as they are, or JPEG; cut into tiles that
// repeat earlier tiles; and stored in a scrambled order drawn from TQxRandom with a seed
// the caller supplies.
//
// Stream layout (little-endian, int32 signed; a text is an int32 length and that many
// Shift-JIS bytes):
//   tag        optional "BrimNNN" (NNN the version); no tag = version 0
//   header     version < 103: FrameCount, 1 byte, BackColor (from 102)
//              version >= 103: HeaderSize, then a block of which the first 40 bytes are
//              read (Version, -, FrameCount @16, Scrambled @21, Compression @22,
//              BackColor @24, TileWidth @28, TileHeight @32, BottomOpaque @36); bytes
//              past 40 are skipped, missing bytes read as 0
//   frames     Name, ColorKey, Delay, flag byte, 4 bytes, LayerCount, Width, Height,
//              BitCount, palette (8 bits or less), layers, two lists of 16-byte records
//              (from 104)
//   layer      8 bytes, Visible, ColorKey, Opacity, UseAlpha (from 101), Name,
//              PixelDataSize + colour plane, AlphaDataSize + alpha plane (from 100)
// Compression 0 deflates every plane; 1 stores them; 2 stores colour planes as JPEG files
// and deflates alpha planes.
//
// Limits against damaged or hostile streams: a side of at most 32768 pixels, at most
// 1 GiB per plane and, for all the pictures of one read, 64 MiB plus 1040 bytes for each
// byte of the stream up to 1 GiB (PixelBudget), at most
// 4194304 tiles per plane, and an inflated plane no larger than its layout needs.
// Every fault (a short stream, a plane shorter than its rows, a tile that refers to a
// tile, layer or frame that does not exist or is not read yet, a JPEG the library
// rejects, a colour key outside the palette) raises an exception with a clear message.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/dib_surface.h"
#include "runtime/error.h"
#include "runtime/streams.h"

namespace zarn {

// An index outside a list ("リストのインデックスが範囲を超えています (%d)").
class EListError : public EZarnError {
  using EZarnError::EZarnError;
};
// The JPEG library refused a colour plane; the message is the library's.
class EJPEGError : public EFormatError {
  using EFormatError::EFormatError;
};

class TBrimFrameList;
class TBrimFrame;

class TBrimLayer {
 public:
  explicit TBrimLayer(TBrimFrame& owner) : owner_(owner) {}
  virtual ~TBrimLayer() = default;
  TBrimLayer(const TBrimLayer&) = delete;
  TBrimLayer& operator=(const TBrimLayer&) = delete;

  TBrimFrame& Owner() const { return owner_; }

  std::string Name;
  TDIBSurface Surface;  // sized like the frame; may carry an alpha plane
  bool Visible = true;
  int32_t ColorKey = -1;  // raw pixel value; -1 = none
  int32_t Opacity = 255;  // 0 .. 255
  bool UseAlpha = false;

 private:
  TBrimFrame& owner_;
};

class TBrimFrame {
 public:
  explicit TBrimFrame(TBrimFrameList& owner) : owner_(owner) {}
  virtual ~TBrimFrame() = default;
  TBrimFrame(const TBrimFrame&) = delete;
  TBrimFrame& operator=(const TBrimFrame&) = delete;

  // Frees every layer.
  virtual void Clear() { layers_.clear(); }

  TBrimFrameList& Owner() const { return owner_; }
  int Count() const { return static_cast<int>(layers_.size()); }
  // Layer i, bottom first; EListError outside the list.
  TBrimLayer& Layers(int i) const;
  TBrimLayer& AddLayer();
  // Whether the composed picture has an alpha plane.
  bool HasAlpha() const { return Surface.HasAlpha(); }

  std::string Name;
  int32_t Delay = 100;  // kept, not used here
  uint8_t Flags = 0;    // kept, not interpreted
  TDIBSurface Surface;  // the composed picture
  int32_t ColorKey = -1;     // raw pixel value of Surface; -1 = none
  int32_t ColorKeyRGB = -1;  // the same as a colour (red in the low byte); -1 = none
  // Two lists of 16-byte records (version 104 and later), kept as read.
  std::vector<std::array<uint8_t, 16>> Records[2];

 private:
  TBrimFrameList& owner_;
  std::vector<std::unique_ptr<TBrimLayer>> layers_;
};

// The header as the last read found it (for tools that describe a file).
struct TBrimHeader {
  int32_t HeaderSize = 0;  // bytes of the header block (0 before version 103)
  int32_t Version = 0;     // version the frame and layer records follow
  int32_t FrameCount = 0;
  uint8_t Scrambled = 0;
  uint8_t Compression = 0;  // 0 deflate, 1 none, 2 JPEG colour planes
  uint32_t BackColor = 0;
  int32_t TileWidth = 0;
  int32_t TileHeight = 0;
  uint8_t BottomOpaque = 0;
};

class TBrimFrameList {
 public:
  explicit TBrimFrameList(int32_t seed) : Seed(seed) {}
  virtual ~TBrimFrameList() = default;
  TBrimFrameList(const TBrimFrameList&) = delete;
  TBrimFrameList& operator=(const TBrimFrameList&) = delete;

  // Frees every frame.
  virtual void Clear() { frames_.clear(); }

  // Empties the list and reads one image from the stream's position. firstFrameOnly
  // reads only frame 0 and leaves the stream right after it; prepareTransparency gives
  // keyed frames an alpha plane and turns palette frames into 24 bits; keepLayers keeps
  // the layers after the frames are composed. On an error the list keeps the frames
  // created so far.
  void LoadFromStream(TStream& stream, bool firstFrameOnly, bool prepareTransparency, bool keepLayers);

  int Count() const { return static_cast<int>(frames_.size()); }
  // Frame i in stream order; EListError outside the list.
  TBrimFrame& Frames(int i) const;
  TBrimFrame& AddFrame();

  // Most bytes that the pictures of one read may take together (frames, layers, alpha
  // planes), whatever the stream's size; a stream that needs more, or more than 64 MiB
  // plus 1040 bytes per byte it holds, raises EFormatError before allocating.
  static constexpr int64_t kDefaultPixelBudget = int64_t(1) << 30;
  int64_t PixelBudget = kDefaultPixelBudget;

  int32_t Seed;          // seed of every scrambled plane
  int32_t Version = 0;   // tag version of the last stream read; 0 without a tag
  TColor BackColor = 0;  // every frame is filled with it first; kept when a stream has none
  bool BottomOpaque = false;
  TBrimHeader Header;

 private:
  std::vector<std::unique_ptr<TBrimFrame>> frames_;
};

// True when the stream at its position holds a tagged image of version 103 or later
// whose header says its planes are stored without compression. Any other content
// (no tag, an older version, a damaged tag or a short stream) answers false. The stream
// is left after what was read.
bool IsStoredUncompressed(TStream& stream);

// The order in which scrambled rows or tile-table entries are stored: element k is the
// k-th NextFromPool value of a new TQxRandom(seed) after FillPool(n). Runs in
// O(n log n).
std::vector<int32_t> ScrambledOrder(int32_t seed, int32_t n);

}  // namespace zarn
