// The plain likeness of a windowed control in a headless picture: what the window system
// would draw for a button, check box, edit, list or progress bar, in the toolkit's
// colours. Forms and pages fill their area with their colour; other containers (a
// notebook) draw nothing of their own.
#pragma once

#include <string>
#include <vector>

#include "toolkit/canvas.h"
#include "toolkit/controls.h"
#include "toolkit/forms.h"

namespace zarn {

// Width of a vertical scroll bar, in pixels.
constexpr int kScrollBarWidth = 17;

// How a multi-line edit shows a text in a box `width` x `height` pixels inside its border:
// the lines wrapped as the edit wraps them, and whether its vertical scroll bar shows
// (only when the lines are taller than the box; the bar then narrows the text's room).
struct TMemoLayout {
  std::vector<std::string> lines;
  bool scrollBar = false;
};
TMemoLayout LayOutMemo(TCanvas& canvas, const std::string& text, int width, int height);

// A text's lines wrapped to `width` pixels on the canvas's font: at CR LF, LF or CR; a line
// too long breaks after its last space, or, without one, before the character that would
// cross the edge, except that closing punctuation (、。」...) never starts a line. Every
// line holds at least one character.
std::vector<std::string> WrapText(TCanvas& canvas, const std::string& text, int width);

// Paints `control` on a canvas whose origin is its top left corner.
void PaintLikeness(TWinControl& control, TCanvas& canvas);

// A push button's face in `r`: raised, framed black when it is the default button, its
// caption (without the mnemonic's ampersand) centred on the canvas's font.
void PaintButtonFace(TCanvas& canvas, const TRect& r, const std::string& caption, bool isDefault, bool enabled);

// The 32 x 32 icon of a message dialog of `kind`, its top left at (x, y).
void PaintDialogIcon(TCanvas& canvas, TMsgDlgType kind, int x, int y);

}  // namespace zarn
