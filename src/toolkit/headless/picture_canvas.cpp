#include "toolkit/headless/picture_canvas.h"

#include <algorithm>

#include "runtime/sjis.h"
#include "toolkit/headless/glyphs.h"

namespace zarn {

TSize BoxTextExtent(const std::string& text, int fontHeight) {
  int half = std::max(fontHeight / 2, 1);
  int width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      width += 2 * half;
      ++i;
    } else {
      width += half;
    }
  }
  return {width, fontHeight};
}

TPictureCanvas::TPictureCanvas(TDIB& target) : TPictureCanvas(target, &TGlyphFont::Default()) {}

TPictureCanvas::TPictureCanvas(TDIB& target, TGlyphFont* glyphs) : target_(target), glyphs_(glyphs) {
  clip_ = {0, 0, target.Width(), target.Height()};
}

TRect TPictureCanvas::Visible(const TRect& extraClip) const {
  return IntersectRect(IntersectRect(clip_, extraClip), {0, 0, target_.Width(), target_.Height()});
}

bool TPictureCanvas::Prepare(const TRect& extraClip) {
  // The picture's canvas treats an empty clip as "everything": test for it here.
  TRect clip = Visible(extraClip);
  if (clip.IsEmpty()) return false;
  TDIBCanvas& canvas = target_.Canvas();
  canvas.SetOrigin(originX_, originY_);
  canvas.SetClipRect(clip);
  return true;
}

void TPictureCanvas::FillRect(const TRect& r, TColor color) {
  if (r.IsEmpty() || !Prepare(clip_)) return;
  target_.Canvas().FillRect(r, color);
}

TGlyphFont* TPictureCanvas::Glyphs() const { return glyphs_ && glyphs_->Available() ? glyphs_ : nullptr; }

// Calls f(character, width) for each character of `text`: its advance where the font
// has a glyph for it, its box cell (half the height, or the height for a double-byte
// character) otherwise.
template <typename F>
void TPictureCanvas::ForEachCharacter(const std::string& text, F f) const {
  TGlyphFont* glyphs = Glyphs();
  int half = std::max(font.height / 2, 1);
  for (size_t i = 0; i < text.size(); ++i) {
    size_t start = i;
    if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ++i;
    std::string ch = text.substr(start, i + 1 - start);
    int advance = glyphs ? glyphs->Advance(ch, font.height, font.bold) : 0;
    f(ch, advance > 0 ? advance : static_cast<int>(ch.size()) * half);
  }
}

TSize TPictureCanvas::TextExtent(const std::string& text) {
  int width = 0;
  ForEachCharacter(text, [&](const std::string&, int w) { width += w; });
  return {width, font.height};
}

void TPictureCanvas::TextOut(int x, int y, const std::string& text, const TRect& clip) {
  // Characters with a glyph are set at the font's own advances, as Windows sets a
  // proportional font; any other is a box one pixel inside its cell, with a gap above
  // and below, so where a text starts and how long it is shows.
  TRect deviceClip = OffsetRect(clip, originX_, originY_);
  if (!Prepare(deviceClip)) return;
  TRect visible = Visible(deviceClip);
  TDIBCanvas& canvas = target_.Canvas();
  TGlyphFont* glyphs = Glyphs();
  int cx = x;
  ForEachCharacter(text, [&](const std::string& ch, int w) {
    const TGlyphMask* mask = glyphs ? glyphs->Glyph(ch, w, font.height, font.bold) : nullptr;
    if (mask)
      BlendGlyph(originX_ + cx, originY_ + y, *mask, visible);
    else if (ch != " ")
      canvas.FillRect({cx + 1, y + 2, cx + w - 1, y + font.height - 1}, font.color);
    cx += w;
  });
}

void TPictureCanvas::BlendGlyph(int x, int y, const TGlyphMask& mask, const TRect& visible) {
  TRect area = IntersectRect(Bounds(x + mask.left, y + mask.top, mask.width, mask.height), visible);
  if (area.IsEmpty()) return;
  TColor ink = font.color;
  // Each pixel moves from its colour towards the ink by the glyph's coverage there.
  auto mix = [](int under, int over, int coverage) { return (under * (255 - coverage) + over * coverage + 127) / 255; };
  bool rgb24 = target_.StoredBitCount() == 24;
  TDIBCanvas& canvas = target_.Canvas();
  for (int py = area.Top; py < area.Bottom; ++py) {
    const uint8_t* cover = mask.coverage.data() + static_cast<size_t>(py - y - mask.top) * mask.width;
    uint8_t* row = rgb24 ? target_.ScanLine(py) : nullptr;
    for (int px = area.Left; px < area.Right; ++px) {
      int a = cover[px - x - mask.left];
      if (a == 0) continue;
      if (rgb24) {
        uint8_t* p = row + px * 3;  // blue, green, red
        p[0] = static_cast<uint8_t>(mix(p[0], ColorBlue(ink), a));
        p[1] = static_cast<uint8_t>(mix(p[1], ColorGreen(ink), a));
        p[2] = static_cast<uint8_t>(mix(p[2], ColorRed(ink), a));
      } else {
        // Other formats go through colours; the picture's canvas still has the origin.
        TColor under = target_.PixelColor(target_.ReadPixel(px, py));
        TColor mixed = MakeColor(mix(ColorRed(under), ColorRed(ink), a), mix(ColorGreen(under), ColorGreen(ink), a),
                                mix(ColorBlue(under), ColorBlue(ink), a));
        canvas.FillRect(Bounds(px - originX_, py - originY_, 1, 1), mixed);
      }
    }
  }
}

void TPictureCanvas::StretchDraw(const TRect& dest, const TDIB& picture, const TRect& src) {
  if (dest.IsEmpty() || src.IsEmpty() || picture.Empty() || !Prepare(clip_)) return;
  target_.Canvas().CopyRect(dest, picture, src);
}

}  // namespace zarn
