// A canvas: what graphic controls paint with, on every backend. Coordinates are those of
// the control being painted; the painter moves the origin and clips to the control before
// each call.
#pragma once

#include <string>

#include "image/dib_picture.h"
#include "toolkit/types.h"

namespace zarn {

// A font as the controls use it: face name, pixel height, character set, colour.
struct TFont {
  std::string name = "ＭＳ Ｐゴシック";
  int height = 12;    // pixels
  int charset = 128;  // SHIFTJIS_CHARSET
  TColor color = clWindowText;
  bool bold = false;
  bool operator==(const TFont& o) const {
    return name == o.name && height == o.height && charset == o.charset && color == o.color && bold == o.bold;
  }
};

class TCanvas {
 public:
  virtual ~TCanvas() = default;
  TFont font;

  virtual void FillRect(const TRect& r, TColor color) = 0;
  // Text at (x, y) (its top left) in `font`, clipped to `clip`; the background stays.
  virtual void TextOut(int x, int y, const std::string& text, const TRect& clip) = 0;
  virtual TSize TextExtent(const std::string& text) = 0;
  // Copies `src` of `picture` onto `dest`, stretched colour on colour (rows and columns
  // dropped or repeated, never averaged).
  virtual void StretchDraw(const TRect& dest, const TDIB& picture, const TRect& src) = 0;

  // Convenience built on the above.
  void Draw(int x, int y, const TDIB& picture) {
    StretchDraw(Bounds(x, y, picture.Width(), picture.Height()), picture, Bounds(0, 0, picture.Width(), picture.Height()));
  }
  void FrameRect(const TRect& r, TColor color) { Frame3D(r, color, color); }
  // Lines of a 3-D edge: top and left in `topLeft`, bottom and right in `bottomRight`.
  void Frame3D(const TRect& r, TColor topLeft, TColor bottomRight);

  // The painter's origin and clip, in device coordinates.
  void SetOrigin(int x, int y) { originX_ = x, originY_ = y; }
  void SetClip(const TRect& r) { clip_ = r; }
  int OriginX() const { return originX_; }
  int OriginY() const { return originY_; }
  const TRect& Clip() const { return clip_; }

 protected:
  int originX_ = 0, originY_ = 0;
  TRect clip_{0, 0, 1 << 20, 1 << 20};
};

}  // namespace zarn
