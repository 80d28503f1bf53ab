#include "toolkit/headless/likeness.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "toolkit/forms.h"

namespace zarn {

namespace {

// Draws a caption in the plain likeness of a windowed control.
void PaintCaption(TCanvas& canvas, const TControl& c, int x, int y, bool centre) {
  std::string text = StripMnemonic(c.Caption());
  TSize ext = canvas.TextExtent(text);
  if (centre) x = (c.Width() - ext.cx) / 2;
  if (!c.EffectivelyEnabled()) canvas.font.color = clGrayText;
  canvas.TextOut(x, y, text, c.ClientRect());
}

// A filled disc of `diameter` pixels with its bounding square's top left at (x, y), drawn
// as one span per row.
void FillDisc(TCanvas& canvas, int x, int y, int diameter, TColor color) {
  const double r = diameter / 2.0;
  for (int row = 0; row < diameter; ++row) {
    double dy = row + 0.5 - r;
    double half = std::sqrt(std::max(0.0, r * r - dy * dy));
    int left = static_cast<int>(std::lround(r - half)), right = static_cast<int>(std::lround(r + half));
    if (right > left) canvas.FillRect({x + left, y + row, x + right, y + row + 1}, color);
  }
}

void PaintSunkenBox(TCanvas& canvas, const TControl& c, TColor fill) {
  canvas.FillRect(c.ClientRect(), fill);
  canvas.Frame3D(c.ClientRect(), clBtnShadow, clBtnHighlight);
}

// Lines of a text separated by CR LF, LF or CR.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}

void PaintButton(TButton& b, TCanvas& canvas) {
  canvas.FillRect(b.ClientRect(), clBtnFace);
  TRect r = b.ClientRect();
  if (b.Default()) {
    canvas.FrameRect(r, clBlack);
    r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
  }
  canvas.Frame3D(r, clBtnHighlight, clBtnShadow);
  PaintCaption(canvas, b, 0, (b.Height() - b.Font().height) / 2, true);
}

void PaintCheckBox(TCheckBox& check, TCanvas& canvas) {
  int top = (check.Height() - 13) / 2;
  TRect box = Bounds(0, top, 13, 13);
  canvas.FillRect(box, check.EffectivelyEnabled() ? clWindow : clBtnFace);
  canvas.FrameRect(box, clGray);
  if (check.Checked()) canvas.FillRect(Bounds(3, top + 3, 7, 7), clWindowText);
  PaintCaption(canvas, check, 17, (check.Height() - check.Font().height) / 2, false);
}

void PaintRadioButton(TRadioButton& radio, TCanvas& canvas) {
  // A round button: a grey ring, the field inside, and a dot when chosen.
  int top = (radio.Height() - 12) / 2;
  FillDisc(canvas, 0, top, 12, clBtnShadow);
  FillDisc(canvas, 1, top + 1, 10, radio.EffectivelyEnabled() ? clWindow : clBtnFace);
  if (radio.Checked()) FillDisc(canvas, 4, top + 4, 4, clWindowText);
  PaintCaption(canvas, radio, 17, (radio.Height() - radio.Font().height) / 2, false);
}

void PaintEdit(TEdit& edit, TCanvas& canvas) {
  PaintSunkenBox(canvas, edit, edit.EffectivelyEnabled() ? edit.Color() : clBtnFace);
  canvas.TextOut(3, (edit.Height() - edit.Font().height) / 2, edit.Text(),
                 {2, 2, edit.Width() - 2, edit.Height() - 2});
}

void PaintRichEdit(TRichEdit& rich, TCanvas& canvas) {
  PaintSunkenBox(canvas, rich, rich.Color());
  const int bar = 17;
  canvas.FillRect({rich.Width() - 2 - bar, 2, rich.Width() - 2, rich.Height() - 2}, clBtnFace);
  TRect textArea{2, 2, rich.Width() - 2 - bar, rich.Height() - 2};
  int y = 3, lineHeight = rich.Font().height + 2;
  for (const std::string& line : Lines(rich.Text())) {
    if (y >= rich.Height()) break;
    canvas.TextOut(4, y, line, textArea);
    y += lineHeight;
  }
}

void PaintProgressBar(TProgressBar& bar, TCanvas& canvas) {
  PaintSunkenBox(canvas, bar, clBtnFace);
  int span = bar.Max() - bar.Min();
  int inner = bar.Width() - 4;
  int filled = span > 0 ? static_cast<int>(static_cast<int64_t>(bar.Position() - bar.Min()) * inner / span) : 0;
  canvas.FillRect({2, 2, 2 + filled, bar.Height() - 2}, clHighlight);
}

void PaintDriveComboBox(TDriveComboBox& combo, TCanvas& canvas) {
  PaintSunkenBox(canvas, combo, combo.Color());
  canvas.FillRect({combo.Width() - 18, 2, combo.Width() - 2, combo.Height() - 2}, clBtnFace);
  int i = combo.ItemIndex();
  if (i >= 0) canvas.TextOut(4, (combo.Height() - combo.Font().height) / 2, combo.Items()[static_cast<size_t>(i)],
                              combo.ClientRect());
}

void PaintDirectoryListBox(TDirectoryListBox& list, TCanvas& canvas) {
  PaintSunkenBox(canvas, list, list.Color());
  const int row = 16;
  TRect inner{2, 2, list.Width() - 2, list.Height() - 2};
  for (size_t i = 0; i < list.Items().size(); ++i) {
    int y = 2 + static_cast<int>(i) * row;
    if (y >= list.Height()) break;
    TFont saved = canvas.font;
    if (static_cast<int>(i) == list.ItemIndex()) {
      canvas.FillRect(IntersectRect(TRect{2, y, list.Width() - 2, y + row}, inner), clHighlight);
      canvas.font.color = clWhite;
    }
    canvas.TextOut(4, y + (row - list.Font().height) / 2, list.Items()[i], inner);
    canvas.font = saved;
  }
}

}  // namespace

void PaintLikeness(TWinControl& control, TCanvas& canvas) {
  if (auto* button = dynamic_cast<TButton*>(&control)) PaintButton(*button, canvas);
  else if (auto* check = dynamic_cast<TCheckBox*>(&control)) PaintCheckBox(*check, canvas);
  else if (auto* radio = dynamic_cast<TRadioButton*>(&control)) PaintRadioButton(*radio, canvas);
  else if (auto* edit = dynamic_cast<TEdit*>(&control)) PaintEdit(*edit, canvas);
  else if (auto* rich = dynamic_cast<TRichEdit*>(&control)) PaintRichEdit(*rich, canvas);
  else if (auto* bar = dynamic_cast<TProgressBar*>(&control)) PaintProgressBar(*bar, canvas);
  else if (auto* combo = dynamic_cast<TDriveComboBox*>(&control)) PaintDriveComboBox(*combo, canvas);
  else if (auto* list = dynamic_cast<TDirectoryListBox*>(&control)) PaintDirectoryListBox(*list, canvas);
  else if (dynamic_cast<TForm*>(&control) || dynamic_cast<TPage*>(&control))
    canvas.FillRect(control.ClientRect(), control.Color());
}

}  // namespace zarn
