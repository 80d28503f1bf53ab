#include "toolkit/canvas.h"

#include <algorithm>

#include "runtime/sjis.h"

namespace zarn {

void TCanvas::Frame3D(const TRect& r, TColor topLeft, TColor bottomRight) {
  if (r.IsEmpty()) return;
  FillRect({r.Left, r.Top, r.Right, r.Top + 1}, topLeft);
  FillRect({r.Left, r.Top, r.Left + 1, r.Bottom}, topLeft);
  FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom}, bottomRight);
  FillRect({r.Right - 1, r.Top, r.Right, r.Bottom}, bottomRight);
}

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

TPictureCanvas::TPictureCanvas(TDIB& target) : target_(target) { clip_ = {0, 0, target.Width(), target.Height()}; }

bool TPictureCanvas::Prepare(const TRect& extraClip) {
  // The picture's canvas treats an empty clip as "everything": test for it here.
  TRect clip = IntersectRect(IntersectRect(clip_, extraClip), {0, 0, target_.Width(), target_.Height()});
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

void TPictureCanvas::TextOut(int x, int y, const std::string& text, const TRect& clip) {
  // Each character is a box one pixel inside its cell, with a gap above and below, so
  // where a text starts and how long it is shows in a rendered picture.
  if (!Prepare(OffsetRect(clip, originX_, originY_))) return;
  TDIBCanvas& canvas = target_.Canvas();
  int half = std::max(font.height / 2, 1);
  int cx = x;
  for (size_t i = 0; i < text.size(); ++i) {
    int w = half;
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      w = 2 * half;
      ++i;
    }
    if (c != ' ') canvas.FillRect({cx + 1, y + 2, cx + w - 1, y + font.height - 1}, font.color);
    cx += w;
  }
}

void TPictureCanvas::StretchDraw(const TRect& dest, const TDIB& picture, const TRect& src) {
  if (dest.IsEmpty() || src.IsEmpty() || picture.Empty() || !Prepare(clip_)) return;
  target_.Canvas().CopyRect(dest, picture, src);
}

}  // namespace zarn
