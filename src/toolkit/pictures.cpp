#include "toolkit/pictures.h"

namespace zarn {

TDXPaintBox::TDXPaintBox(TWinControl& parent, const std::string& name) : TGraphicControl(parent, name) {
  SetBounds(0, 0, TDXPaintBoxProperties::kDefaultWidth, TDXPaintBoxProperties::kDefaultHeight);
  props_.OnRepaint = [this] { Invalidate(); };
}

TRect TDXPaintBox::Target() const {
  const TDIB& dib = props_.DIB();
  return DXPaintBoxTarget(props_.Options(), dib.Width(), dib.Height(), Width(), Height());
}

void TDXPaintBox::Paint(TCanvas& canvas) {
  const TDIB& dib = props_.DIB();
  if (dib.Empty()) return;  // whatever lies beneath shows
  TRect target = Target();
  if (target.Width() == dib.Width() && target.Height() == dib.Height())
    canvas.Draw(target.Left, target.Top, dib);
  else
    canvas.StretchDraw(target, dib, Bounds(0, 0, dib.Width(), dib.Height()));
}

TGradBoxControl::TGradBoxControl(TWinControl& parent, const std::string& name) : TGraphicControl(parent, name) {
  SetBounds(0, 0, TGradBox::kDefaultWidth, TGradBox::kDefaultHeight);
  grad_.OnInvalidate = [this] { Invalidate(); };
}

void TGradBoxControl::Paint(TCanvas& canvas) {
  grad_.Paint(Width(), Height(), [&canvas](const TRect& r, TColor c) { canvas.FillRect(r, c); });
}

}  // namespace zarn
