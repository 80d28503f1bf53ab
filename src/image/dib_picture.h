// TDIB: a device-independent picture held in plain memory (1, 4, 8, 16, 24 or 32 bits
// per pixel, rows from the top, each row padded to whole 32-bit words, pixels laid out
// as in a Windows DIB). Pictures share their pixel store until one of them writes
// (copy on write). TDIBCanvas draws on a picture: filled rectangles and copies of other
// pictures, stretched colour-on-colour (rows and columns dropped or repeated, never
// averaged). The paint box's placement rule lives here too, so the toolkit's paint box
// only has to call it.
//
// Everything here is portable: it works row by row on raw rows and never asks the
// platform to draw.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "runtime/error.h"
#include "runtime/streams.h"

namespace zarn {

// ---- colours and rectangles

// A colour: red in the low byte, then green, then blue; the top byte is 0.
using TColor = uint32_t;
constexpr TColor MakeColor(uint8_t red, uint8_t green, uint8_t blue) {
  return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16;
}
constexpr uint8_t ColorRed(TColor c) { return uint8_t(c); }
constexpr uint8_t ColorGreen(TColor c) { return uint8_t(c >> 8); }
constexpr uint8_t ColorBlue(TColor c) { return uint8_t(c >> 16); }

struct TPoint {
  int32_t X = 0, Y = 0;
};

// Left and top inside, right and bottom outside. Empty when left is not below right or
// top is not below bottom.
struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

  static TRect Bounds(int32_t x, int32_t y, int32_t w, int32_t h) { return {x, y, x + w, y + h}; }
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Left >= Right || Top >= Bottom; }
  bool operator==(const TRect& o) const {
    return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
  }
  bool operator!=(const TRect& o) const { return !(*this == o); }
};

// The common part of two rectangles (empty when they do not meet).
TRect IntersectRect(const TRect& a, const TRect& b);

// v rounded to the nearest integer, a tie going to the even one (2.5 -> 2, 3.5 -> 4).
int32_t RoundHalfEven(double v);

// ---- errors

// A picture stream that is not a valid picture ("不正な DIB です").
class EInvalidGraphic : public EFormatError {
  using EFormatError::EFormatError;
};
// An operation the picture cannot carry out (a row outside the picture, a size too large).
class EInvalidGraphicOperation : public EZarnError {
  using EZarnError::EZarnError;
};

// Largest picture accepted: at most 32768 pixels a side and 1 GiB of rows. Larger sizes
// raise EInvalidGraphicOperation before anything is allocated.
constexpr int32_t kMaxDIBSide = 32768;
constexpr int64_t kMaxDIBBytes = int64_t(1) << 30;

// ---- pixel layout

// One palette entry, as a DIB stores it.
struct TRGBQuad {
  uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
  bool operator==(const TRGBQuad& o) const {
    return Blue == o.Blue && Green == o.Green && Red == o.Red && Reserved == o.Reserved;
  }
};
using TPalette = std::array<TRGBQuad, 256>;

// Bit masks of red, green and blue for 16- and 32-bit pixels.
struct TPixelFormat {
  uint32_t RedMask = 0xFF0000, GreenMask = 0x00FF00, BlueMask = 0x0000FF;

  static TPixelFormat Rgb555() { return {0x7C00, 0x03E0, 0x001F}; }
  static TPixelFormat Rgb565() { return {0xF800, 0x07E0, 0x001F}; }
  static TPixelFormat Rgb888() { return {0xFF0000, 0x00FF00, 0x0000FF}; }
  bool Is555() const { return GreenMask == 0x03E0; }
  bool operator==(const TPixelFormat& o) const {
    return RedMask == o.RedMask && GreenMask == o.GreenMask && BlueMask == o.BlueMask;
  }
  bool operator!=(const TPixelFormat& o) const { return !(*this == o); }
};

class TDIBCanvas;

// ---- the picture

class TDIB {
 public:
  TDIB();
  virtual ~TDIB();
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;

  int32_t Width() const;
  int32_t Height() const;
  // Bits per pixel as the picture reports it (a surface reports 15 for 5-5-5 pixels).
  virtual int32_t BitCount() const { return StoredBitCount(); }
  // Bits per pixel as stored: 0 (empty), 1, 4, 8, 16, 24 or 32.
  int32_t StoredBitCount() const;
  const TPixelFormat& PixelFormat() const;
  bool Empty() const { return Width() == 0; }
  // Bytes per row: ((Width x bits + 31) div 32) x 4.
  int32_t WidthBytes() const;
  // Signed step from a row to the one below (rows are kept from the top).
  int32_t RowStep() const { return WidthBytes(); }

  // Palette: 256 entries; the first 2^BitCount count for 1, 4 and 8 bits.
  const TPalette& ColorTable() const;
  // Replaces entries 0 .. count-1 (at most 256).
  void SetColorTable(const TRGBQuad* entries, int count);
  void SetColorTable(const TPalette& entries) { SetColorTable(entries.data(), 256); }
  // Number of palette entries in use: 2^bits for 8 bits or less, else 0.
  int32_t PaletteCount() const;
  // Makes the palette current for drawing. Kept for the toolkit; the portable store
  // always draws with its current palette.
  void UpdatePalette() {}

  // Nothing when size, bit count and pixel format are unchanged; an empty picture when
  // width or height is 0 or less; otherwise a new store of that size cleared to 0, with
  // the current palette and pixel format. Sizes over the limits raise
  // EInvalidGraphicOperation.
  virtual void SetSize(int32_t width, int32_t height, int32_t bitCount);
  // 0 or less empties the picture; on an empty picture SetSize(max(Width,1),
  // max(Height,1), n); otherwise converts every pixel to n bits (through its colour;
  // palette to palette keeps indices that fit).
  void SetBitCount(int32_t n);

  // Address of row y (0 = top). Writing through it is allowed: the non-const form first
  // gives the picture a store of its own. y outside the rows raises
  // EInvalidGraphicOperation "スキャンラインのインデックスが範囲を越えました (%d)".
  uint8_t* ScanLine(int32_t y);
  const uint8_t* ScanLine(int32_t y) const;

  // Raw pixel values: palette index; 16-bit word; blue + green x 256 + red x 65536;
  // the 32-bit word. Outside the picture ReadPixel answers 0 and WritePixel does nothing.
  uint32_t ReadPixel(int32_t x, int32_t y) const;
  void WritePixel(int32_t x, int32_t y, uint32_t value);
  // The colour a raw pixel value shows on this picture (through the palette or the
  // pixel layout; 5- and 6-bit fields are widened by repeating their top bits).
  TColor PixelColor(uint32_t value) const;

  // Empties the picture (keeps palette and pixel format).
  virtual void Clear();
  // Shares the source's store (copy on write); palette and format come with it.
  void Assign(const TDIB& source);
  // True when both pictures use one store (until one of them writes).
  bool SharesStoreWith(const TDIB& other) const { return store_ == other.store_; }

  // Windows BMP format: a 14-byte file header beginning with "BM", the bitmap
  // information and the rows. A stream that yields no bytes leaves the picture as it
  // is; anything that is not a valid BMP raises EInvalidGraphic "不正な DIB です".
  virtual void LoadFromStream(TStream& stream);
  // Writes a BMP file: rows bottom-up, a 40-byte information header, the palette for
  // 8 bits or less, bit-field masks for 5-6-5 pixels.
  void SaveToStream(TStream& stream) const;

  // Canvas bound to this picture, created on first use.
  TDIBCanvas& Canvas();
  // Whether the store is a drawable one (a canvas was used since the last release).
  bool HandleAllocated() const;
  // Turns a drawable store back into plain memory.
  void ReleaseHandle();

  // Draws the whole picture into `rect` of the target canvas, stretched colour-on-colour
  // when the rectangle's size differs from the picture's. Nothing for an empty picture.
  void Draw(TDIBCanvas& target, const TRect& rect) const;

 protected:
  // Resizes to a given pixel format (used by the surface to pick 5-5-5 or 5-6-5).
  void SetSizeFormat(int32_t width, int32_t height, int32_t bitCount, const TPixelFormat& format);

 private:
  struct Store;
  friend class TDIBCanvas;
  Store& Writable();
  std::shared_ptr<Store> store_;
  std::unique_ptr<TDIBCanvas> canvas_;
};

// ---- drawing on a picture

// A canvas over a TDIB. Coordinates are relative to the origin; drawing is clipped to
// the clip rectangle (target coordinates; empty = the whole picture) and to the picture.
// Colours are matched to the picture's format (nearest palette entry for palette
// pictures).
class TDIBCanvas {
 public:
  explicit TDIBCanvas(TDIB& target) : target_(target) {}

  TDIB& Target() { return target_; }
  void SetOrigin(int32_t x, int32_t y) { origin_ = {x, y}; }
  TPoint Origin() const { return origin_; }
  void SetClipRect(const TRect& rect) { clip_ = rect; }
  TRect ClipRect() const { return clip_; }

  // Colour used by FillRect without a colour.
  TColor BrushColor = 0xFFFFFF;

  // The colour the picture can actually show for `color`: unchanged on 24 and 32 bits,
  // reduced to 5 or 6 bits per field on 16 bits, the nearest palette colour otherwise.
  TColor NearestColor(TColor color) const;
  void FillRect(const TRect& rect) { FillRect(rect, BrushColor); }
  void FillRect(const TRect& rect, TColor color);
  // Copies `sourceRect` of the source into `destRect`, stretched colour-on-colour when
  // the sizes differ.
  void CopyRect(const TRect& destRect, const TDIB& source, const TRect& sourceRect);
  // The whole source at (x, y), unscaled.
  void Draw(int32_t x, int32_t y, const TDIB& source);
  // The whole source stretched into `destRect`.
  void StretchDraw(const TRect& destRect, const TDIB& source);

 private:
  TRect EffectiveClip() const;
  TDIB& target_;
  TPoint origin_;
  TRect clip_;
};

// ---- the paint box's placement

// Placement options of the paint box (TDXPaintBox).
struct TDXPaintBoxOptions {
  bool AutoStretch = false;
  bool Center = false;
  bool KeepAspect = false;
  bool Stretch = false;
  int32_t ViewWidth = 0;  // 0: the picture's own width
  int32_t ViewHeight = 0;
};

// Where a w x h picture goes in a cw x ch client area (client coordinates). Target size:
// with no view size, AutoStretch keeps the natural size when it fits and otherwise fits
// the area keeping the aspect ratio; else no Stretch keeps the natural size, Stretch
// without KeepAspect fills the area, Stretch with KeepAspect fits the area (sizes
// rounded half to even). With a view size, (ViewWidth, ViewHeight), a 0 replaced by the
// picture's; AutoStretch then fits that size into the area when it does not fit. Center
// puts the target in the middle (offsets truncated toward zero, negative when larger),
// else at (0, 0).
TRect DXPaintBoxTarget(const TDXPaintBoxOptions& options, int32_t w, int32_t h, int32_t cw, int32_t ch);

// Paints the picture as the paint box does: unscaled when the target has the picture's
// size, stretched otherwise; nothing for an empty picture.
void PaintDXPaintBox(TDIBCanvas& canvas, const TDIB& dib, const TDXPaintBoxOptions& options, int32_t cw,
                     int32_t ch);

// The paint box's state: its seven published properties with the rule that setting one
// to a different value asks for a repaint. The toolkit's control owns one of these and
// paints with PaintDXPaintBox.
class TDXPaintBoxProperties {
 public:
  TDXPaintBoxProperties() = default;
  TDXPaintBoxProperties(const TDXPaintBoxProperties&) = delete;
  TDXPaintBoxProperties& operator=(const TDXPaintBoxProperties&) = delete;

  // Called after a property changed (the control invalidates itself).
  std::function<void()> OnRepaint;

  const TDXPaintBoxOptions& Options() const { return options_; }
  bool AutoStretch() const { return options_.AutoStretch; }
  bool Center() const { return options_.Center; }
  bool KeepAspect() const { return options_.KeepAspect; }
  bool Stretch() const { return options_.Stretch; }
  int32_t ViewWidth() const { return options_.ViewWidth; }
  int32_t ViewHeight() const { return options_.ViewHeight; }
  void SetAutoStretch(bool v) { Change(options_.AutoStretch, v); }
  void SetCenter(bool v) { Change(options_.Center, v); }
  void SetKeepAspect(bool v) { Change(options_.KeepAspect, v); }
  void SetStretch(bool v) { Change(options_.Stretch, v); }
  // Negative sizes are stored as 0.
  void SetViewWidth(int32_t v) { Change(options_.ViewWidth, v < 0 ? 0 : v); }
  void SetViewHeight(int32_t v) { Change(options_.ViewHeight, v < 0 ? 0 : v); }

  TDIB& DIB() { return dib_; }
  const TDIB& DIB() const { return dib_; }
  // Takes the picture in (sharing its store until one of them writes) and repaints.
  void SetDIB(const TDIB& source);

  // Paints into a client area of cw x ch.
  void Paint(TDIBCanvas& canvas, int32_t cw, int32_t ch) const { PaintDXPaintBox(canvas, dib_, options_, cw, ch); }

  // A new paint box is this size.
  static constexpr int32_t kDefaultWidth = 105;
  static constexpr int32_t kDefaultHeight = 105;

 private:
  template <typename T>
  void Change(T& field, T value) {
    if (field == value) return;
    field = value;
    if (OnRepaint) OnRepaint();
  }
  TDXPaintBoxOptions options_;
  TDIB dib_;
};

}  // namespace zarn
