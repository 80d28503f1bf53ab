// TDIBSurface: a picture with an optional 8-bit alpha plane, a clip rectangle and the
// drawing operations that compose layered pictures (opaque, keyed, blended and
// alpha-blended copies from a surface of the same pixel format). One routine per bit
// count, row by row on raw rows.
#pragma once

#include <memory>

#include "image/dib_picture.h"

namespace zarn {

class TDIBSurface : public TDIB {
 public:
  TDIBSurface();
  ~TDIBSurface() override;

  // 15 chooses 5-5-5 and stores 16 bits per pixel; 16 chooses 5-6-5; every other count
  // chooses 8-8-8; then as TDIB::SetSize. An alpha plane follows the new size.
  void SetSize(int32_t width, int32_t height, int32_t bitCount) override;
  // 15 for 16-bit 5-5-5 pixels, else the stored count.
  int32_t BitCount() const override;
  // Empties the picture and drops the alpha plane.
  void Clear() override;
  // Reads a BMP file (TDIB::LoadFromStream); a picture read drops the alpha plane.
  void LoadFromStream(TStream& stream) override;

  // Raw pixel value for a colour: the nearest palette entry for palette surfaces; the
  // top 5 (or 6 for green) bits of each byte for 15 and 16 bits; blue + green x 256 +
  // red x 65536 for 24 and 32 bits.
  uint32_t ColorToPixel(uint8_t red, uint8_t green, uint8_t blue) const;
  uint32_t ColorToPixel(TColor color) const {
    return ColorToPixel(ColorRed(color), ColorGreen(color), ColorBlue(color));
  }
  // Fills the rectangle, clipped to the surface (not to ClipRect), with the raw value
  // (masked to the pixel's width: 1, 4, 8, 15, 16, 24 or 32 bits).
  void FillRect(const TRect& rect, uint32_t value);

  // Rectangle that bounds all drawing into the surface (clipped further to the surface
  // itself); empty means the whole surface. Empty on a new surface.
  TRect ClipRect;

  // The drawing operations copy `sourceRect` of `source` (taken within the source) with
  // its top left corner at (x, y), clipped to ClipRect. The source must have the same
  // stored bit count; a different one raises EInvalidGraphicOperation.
  //
  // Every pixel of the source's whole area.
  void DrawOpaque(int32_t x, int32_t y, const TDIBSurface& source);
  // Pixels whose raw value differs from key (a negative key matches none).
  void DrawKeyed(int32_t x, int32_t y, const TDIBSurface& source, const TRect& sourceRect, int32_t key);
  // Pixels that differ from key, mixed with the target at opacity 0..255 (ordered dither
  // for palette formats). 0 draws nothing; 255 or more, or below 0, is DrawKeyed.
  void DrawBlend(int32_t x, int32_t y, const TDIBSurface& source, const TRect& sourceRect, int32_t key,
                 int32_t opacity);
  // Pixels mixed by the source's alpha plane (DrawBlend with key -1 when it has none).
  void DrawAlpha(int32_t x, int32_t y, const TDIBSurface& source, const TRect& sourceRect, int32_t opacity);

  // ---- alpha plane: an 8-bit surface of the same size, 0 transparent, 255 opaque.
  TDIBSurface* AlphaPlane() { return alpha_.get(); }
  const TDIBSurface* AlphaPlane() const { return alpha_.get(); }
  bool HasAlpha() const { return alpha_ != nullptr; }
  // Gives the surface an alpha plane of its size when it has none (contents not set;
  // a new plane is 0) and resizes one of another size.
  void CreateAlpha();
  // Sets every byte of an existing alpha plane to 255.
  void FillAlpha();
  // CreateAlpha, then copies the rows of the given 8-bit plane of the same size.
  void CopyAlphaFrom(const TDIBSurface& plane);
  void DropAlpha() { alpha_.reset(); }

  // Same size, bit count and palette as the source, its pixels, and a copy of its alpha
  // plane (none when it has none).
  void AssignSurface(const TDIBSurface& source);

 private:
  // The clip rectangle in effect: ClipRect within the surface, or the whole surface.
  TRect EffectiveClip() const;
  // Clips a draw at (x, y) of sourceRect; false when nothing is left.
  bool ClipDraw(int32_t& x, int32_t& y, TRect& sourceRect, const TDIBSurface& source) const;
  void CheckSameFormat(const TDIBSurface& source) const;
  std::unique_ptr<TDIBSurface> alpha_;
};

}  // namespace zarn
