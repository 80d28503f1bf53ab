#include "toolkit/canvas.h"

namespace zarn {

void TCanvas::Frame3D(const TRect& r, TColor topLeft, TColor bottomRight) {
  if (r.IsEmpty()) return;
  FillRect({r.Left, r.Top, r.Right, r.Top + 1}, topLeft);
  FillRect({r.Left, r.Top, r.Left + 1, r.Bottom}, topLeft);
  FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom}, bottomRight);
  FillRect({r.Right - 1, r.Top, r.Right, r.Bottom}, bottomRight);
}

}  // namespace zarn
