// The plain likeness of a windowed control in a headless picture: what the window system
// would draw for a button, check box, edit, list or progress bar, in the toolkit's
// colours. Forms and pages fill their area with their colour; other containers (a
// notebook) draw nothing of their own.
#pragma once

#include "toolkit/canvas.h"
#include "toolkit/controls.h"

namespace zarn {

// Paints `control` on a canvas whose origin is its top left corner.
void PaintLikeness(TWinControl& control, TCanvas& canvas);

}  // namespace zarn
