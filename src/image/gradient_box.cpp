#include "image/gradient_box.h"

#include <cstdlib>

namespace zarn {

void TGradBox::Changed() {
  if (OnInvalidate) OnInvalidate();
  if (OnChange) OnChange(*this);
}

void TGradBox::SetStartColor(TColor c) {
  startColor_ = c;
  Changed();
}

void TGradBox::SetEndColor(TColor c) {
  endColor_ = c;
  Changed();
}

void TGradBox::SetGradStep(uint8_t n) {
  gradStep_ = n;
  Changed();
}

void TGradBox::SetDirection(TGradDirection d) {
  if (d == direction_) return;
  direction_ = d;
  Changed();
}

void TGradBox::Paint(int32_t width, int32_t height, const std::function<void(const TRect&, TColor)>& fill,
                     const std::function<TColor(TColor)>& nearest) const {
  const int32_t n = gradStep_;
  TColor s = nearest ? nearest(startColor_) : startColor_;
  TColor e = nearest ? nearest(endColor_) : endColor_;
  const int32_t sc[3] = {ColorRed(s), ColorGreen(s), ColorBlue(s)};
  const int32_t ec[3] = {ColorRed(e), ColorGreen(e), ColorBlue(e)};

  int32_t band = RoundHalfEven(double(direction_ == gdVertical ? height : width) / (n + 1));
  if (band == 0) band = 1;
  int32_t x = 0, y = 0;
  TColor brush = s;
  const int32_t half = n / 2;
  for (int32_t i = 0; i <= n + 1; ++i) {
    uint8_t c[3];
    for (int k = 0; k < 3; ++k) {
      int32_t v;
      if (direction_ == gdHorzCenter)
        v = RoundHalfEven(double(ec[k] - sc[k]) / (half + 1) * std::abs(half - i)) + sc[k];
      else
        v = RoundHalfEven(double(ec[k] - sc[k]) / (n + 1) * i) + sc[k];
      c[k] = uint8_t(v);  // a byte, modulo 256
    }
    brush = MakeColor(c[0], c[1], c[2]);
    if (direction_ == gdVertical) {
      fill(TRect{x, y, width, y + band}, brush);
      y += band;
    } else {
      fill(TRect{x, y, x + band, height}, brush);
      x += band;
    }
  }
  if (direction_ == gdVertical) {
    if (y + band < height) fill(TRect{x, y, width, height}, brush);
  } else if (direction_ == gdHorizontal) {
    if (x + band < width) fill(TRect{x, y, width, height}, brush);
  }
}

void TGradBox::Paint(TDIBCanvas& canvas, int32_t width, int32_t height) const {
  // Clip to the box's own area: bands past its edges belong to nobody.
  TRect saved = canvas.ClipRect();
  TPoint o = canvas.Origin();
  TRect box = TRect::Bounds(o.X, o.Y, width, height);
  canvas.SetClipRect(saved.IsEmpty() ? box : IntersectRect(saved, box));
  if (canvas.ClipRect().IsEmpty()) {
    canvas.SetClipRect(saved);
    return;
  }
  Paint(
      width, height, [&](const TRect& r, TColor c) { canvas.FillRect(r, c); },
      [&](TColor c) { return canvas.NearestColor(c); });
  canvas.SetClipRect(saved);
}

}  // namespace zarn
