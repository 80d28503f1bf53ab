// The headless backend's screen: a canvas that paints into a picture in memory, with text
// set from the glyphs of a font file or drawn as boxes.
#pragma once

#include <string>

#include "toolkit/canvas.h"

namespace zarn {

// Size of a text drawn as boxes, where no real font is drawn: half the font height for
// a single-byte character, the font height for a double-byte one.
TSize BoxTextExtent(const std::string& text, int fontHeight);

class TGlyphFont;
struct TGlyphMask;

// The glyph font of a picture canvas that draws its text as boxes.
constexpr TGlyphFont* kBoxText = nullptr;

// A canvas that paints into a picture in memory (the headless backend's screen). Text is
// set as Windows sets a proportional font: each character drawn with the glyph of a font
// and moved on by its advance; a character without a glyph (no font, one the font lacks,
// or a canvas that draws boxes only) is a box one pixel inside its BoxTextExtent cell.
class TPictureCanvas : public TCanvas {
 public:
  // Glyphs of the process's font (TGlyphFont::Default()).
  explicit TPictureCanvas(TDIB& target);
  // Glyphs of `glyphs`; kBoxText: boxes only.
  TPictureCanvas(TDIB& target, TGlyphFont* glyphs);
  void FillRect(const TRect& r, TColor color) override;
  void TextOut(int x, int y, const std::string& text, const TRect& clip) override;
  TSize TextExtent(const std::string& text) override;
  void StretchDraw(const TRect& dest, const TDIB& picture, const TRect& src) override;

 private:
  // The glyph font when it can be drawn with, else nullptr (boxes).
  TGlyphFont* Glyphs() const;
  template <typename F>
  void ForEachCharacter(const std::string& text, F f) const;
  // The part of the picture the current clip and `extraClip` (device coordinates) leave.
  TRect Visible(const TRect& extraClip) const;
  // Points the picture's canvas at the current clip; false when nothing is visible.
  bool Prepare(const TRect& extraClip);
  // Blends a glyph's coverage in the font colour onto the picture, its cell's top left
  // at device (x, y), within `visible`.
  void BlendGlyph(int x, int y, const TGlyphMask& mask, const TRect& visible);
  TDIB& target_;
  TGlyphFont* glyphs_;
};

}  // namespace zarn
