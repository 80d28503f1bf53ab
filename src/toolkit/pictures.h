// The graphic controls that show pictures: the paint box (a picture at natural size,
// centred or stretched) and the gradient box (a banded colour gradient). Their
// properties and painting rules are the picture layer's; these controls place them on a
// form and paint them on the parent's canvas.
#pragma once

#include "image/dib_picture.h"
#include "image/gradient_box.h"
#include "toolkit/controls.h"

namespace zarn {

class TDXPaintBox : public TGraphicControl {
 public:
  TDXPaintBox(TWinControl& parent, const std::string& name);

  bool AutoStretch() const { return props_.AutoStretch(); }
  bool Center() const { return props_.Center(); }
  bool KeepAspect() const { return props_.KeepAspect(); }
  bool Stretch() const { return props_.Stretch(); }
  int ViewWidth() const { return props_.ViewWidth(); }
  int ViewHeight() const { return props_.ViewHeight(); }
  void SetAutoStretch(bool v) { props_.SetAutoStretch(v); }
  void SetCenter(bool v) { props_.SetCenter(v); }
  void SetKeepAspect(bool v) { props_.SetKeepAspect(v); }
  void SetStretch(bool v) { props_.SetStretch(v); }
  void SetViewWidth(int v) { props_.SetViewWidth(v); }
  void SetViewHeight(int v) { props_.SetViewHeight(v); }

  // The picture shown. Drawing into it does not repaint by itself: call Invalidate.
  TDIB& DIB() { return props_.DIB(); }
  const TDIB& DIB() const { return props_.DIB(); }
  void SetDIB(const TDIB& source) { props_.SetDIB(source); }

  // Where the picture goes in the control's area.
  TRect Target() const;
  void Paint(TCanvas& canvas) override;

 private:
  TDXPaintBoxProperties props_;
};

// The gradient box on a form (the picture layer's TGradBox holds its properties).
class TGradBoxControl : public TGraphicControl {
 public:
  TGradBoxControl(TWinControl& parent, const std::string& name);
  TGradBox& Gradient() { return grad_; }
  TColor StartColor() const { return grad_.StartColor(); }
  TColor EndColor() const { return grad_.EndColor(); }
  int GradStep() const { return grad_.GradStep(); }
  TGradDirection Direction() const { return grad_.Direction(); }
  void SetStartColor(TColor c) { grad_.SetStartColor(c); }
  void SetEndColor(TColor c) { grad_.SetEndColor(c); }
  void SetGradStep(uint8_t n) { grad_.SetGradStep(n); }
  void SetDirection(TGradDirection d) { grad_.SetDirection(d); }
  void Paint(TCanvas& canvas) override;

 private:
  TGradBox grad_;
};

}  // namespace zarn
