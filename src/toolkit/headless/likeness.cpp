#include "toolkit/headless/likeness.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/sjis.h"
#include "toolkit/forms.h"

namespace zarn {

namespace {

// Draws a caption whose text starts at (x, y), its mnemonic character (the one after a
// single '&') underlined as the system underlines it.
void TextOutWithMnemonic(TCanvas& canvas, int x, int y, const std::string& caption, const TRect& clip) {
  canvas.TextOut(x, y, StripMnemonic(caption), clip);
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(caption[i]))) {
      ++i;
    } else if (caption[i] == '&') {
      if (caption[i + 1] == '&') {
        ++i;
        continue;
      }
      size_t n = IsLeadByte(static_cast<unsigned char>(caption[i + 1])) && i + 2 < caption.size() ? 2 : 1;
      int left = x + canvas.TextExtent(StripMnemonic(caption.substr(0, i))).cx;
      int width = canvas.TextExtent(caption.substr(i + 1, n)).cx;
      int line = y + canvas.font.height;
      canvas.FillRect(IntersectRect({left, line, left + width, line + 1}, clip), canvas.font.color);
      return;
    }
  }
}

// Draws a caption in the plain likeness of a windowed control.
void PaintCaption(TCanvas& canvas, const TControl& c, int x, int y, bool centre) {
  std::string text = StripMnemonic(c.Caption());
  TSize ext = canvas.TextExtent(text);
  if (centre) x = (c.Width() - ext.cx) / 2;
  if (!c.EffectivelyEnabled()) canvas.font.color = clGrayText;
  TextOutWithMnemonic(canvas, x, y, c.Caption(), c.ClientRect());
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
  PaintButtonFace(canvas, b.ClientRect(), b.Caption(), b.Default(), b.EffectivelyEnabled());
}

void PaintCheckBox(TCheckBox& check, TCanvas& canvas) {
  int top = (check.Height() - 13) / 2;
  TRect box = Bounds(0, top, 13, 13);
  canvas.FillRect(box, check.EffectivelyEnabled() ? clWindow : clBtnFace);
  canvas.FrameRect(box, clGray);
  if (check.Checked()) {
    // The tick, three pixels thick: down to the right for three columns, then up.
    static const int kTop[7] = {5, 6, 7, 6, 5, 4, 3};
    TColor ink = check.EffectivelyEnabled() ? clWindowText : clGrayText;
    for (int i = 0; i < 7; ++i) canvas.FillRect(Bounds(3 + i, top + kTop[i], 1, 3), ink);
  }
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

// A vertical scroll bar at the top of its range, showing `visible` of `total` lines.
void PaintScrollBar(TCanvas& canvas, const TRect& r, int visible, int total) {
  canvas.FillRect(r, MakeColor(245, 245, 245));
  const int w = r.Right - r.Left, h = r.Bottom - r.Top;
  auto button = [&](int top, bool up) {
    TRect b{r.Left, top, r.Right, top + w};
    canvas.FillRect(b, clBtnFace);
    canvas.Frame3D(b, clBtnHighlight, clBtnShadow);
    // A small solid triangle pointing up or down.
    int cx = r.Left + w / 2, cy = top + w / 2;
    for (int i = 0; i < 4; ++i) {
      int row = up ? cy - 2 + i : cy + 1 - i;
      canvas.FillRect({cx - i, row, cx + i + 1, row + 1}, clWindowText);
    }
  };
  button(r.Top, true);
  button(r.Bottom - w, false);
  int track = h - 2 * w;
  if (track <= 0 || total <= 0) return;
  int thumb = std::max(std::min(track, track * visible / total), 8);
  TRect t{r.Left, r.Top + w, r.Right, r.Top + w + thumb};
  canvas.FillRect(t, clBtnFace);
  canvas.Frame3D(t, clBtnHighlight, clBtnShadow);
}

// Text of a multi-line edit starts this far inside its border, and its lines lie this
// many pixels apart beyond the font's height.
constexpr int kMemoMargin = 1, kMemoLineGap = 1;

void PaintRichEdit(TRichEdit& rich, TCanvas& canvas) {
  PaintSunkenBox(canvas, rich, rich.Color());
  const int innerW = rich.Width() - 4, innerH = rich.Height() - 4;
  TMemoLayout memo = LayOutMemo(canvas, rich.Text(), innerW, innerH);
  const int lineHeight = rich.Font().height + kMemoLineGap;
  int textRight = 2 + innerW - (memo.scrollBar ? kScrollBarWidth : 0);
  if (memo.scrollBar)
    PaintScrollBar(canvas, {textRight, 2, 2 + innerW, 2 + innerH}, innerH / lineHeight,
                   static_cast<int>(memo.lines.size()));
  TRect textArea{2, 2, textRight, 2 + innerH};
  int y = 2 + kMemoMargin;
  for (const std::string& line : memo.lines) {
    if (y >= textArea.Bottom) break;
    canvas.TextOut(2 + kMemoMargin, y, line, textArea);
    y += lineHeight;
  }
}

void PaintProgressBar(TProgressBar& bar, TCanvas& canvas) {
  // A white track in a thin grey frame, filled from the left in the bar colour.
  canvas.FillRect(bar.ClientRect(), clWindow);
  canvas.FrameRect(bar.ClientRect(), MakeColor(174, 174, 174));
  int span = bar.Max() - bar.Min();
  int inner = bar.Width() - 2;
  int filled = span > 0 ? static_cast<int>(static_cast<int64_t>(bar.Position() - bar.Min()) * inner / span) : 0;
  canvas.FillRect({1, 1, 1 + filled, bar.Height() - 1}, MakeColor(48, 150, 250));
}

void PaintDriveComboBox(TDriveComboBox& combo, TCanvas& canvas) {
  PaintSunkenBox(canvas, combo, combo.Color());
  // The drop-down button: raised, with a small solid triangle pointing down.
  TRect button{combo.Width() - 2 - kScrollBarWidth, 2, combo.Width() - 2, combo.Height() - 2};
  canvas.FillRect(button, clBtnFace);
  canvas.Frame3D(button, clBtnHighlight, clBtnShadow);
  int cx = (button.Left + button.Right) / 2, cy = (button.Top + button.Bottom) / 2 - 1;
  for (int i = 0; i < 4; ++i) canvas.FillRect({cx - 3 + i, cy + i, cx + 4 - i, cy + i + 1}, clWindowText);
  int i = combo.ItemIndex();
  if (i >= 0) canvas.TextOut(4, (combo.Height() - combo.Font().height) / 2, combo.Items()[static_cast<size_t>(i)],
                              combo.ClientRect());
}

void PaintDirectoryListBox(TDirectoryListBox& list, TCanvas& canvas) {
  PaintSunkenBox(canvas, list, list.Color());
  const int row = 13;  // the list box's item height on the dialog font
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

// Characters that never start a line: closing brackets and punctuation.
bool ClosesLine(const std::string& ch) {
  static const char* const kClosing[] = {"、", "。", "，", "．", "）", "」", "』", "】", "〕", "！", "？", "ー",
                                         "ッ", "ャ", "ュ", "ョ", "っ", "ゃ", "ゅ", "ょ", ")", ".", ",", "!", "?"};
  for (const char* c : kClosing)
    if (ch == c) return true;
  return false;
}

}  // namespace

void PaintButtonFace(TCanvas& canvas, const TRect& face, const std::string& caption, bool isDefault, bool enabled) {
  canvas.FillRect(face, clBtnFace);
  TRect r = face;
  if (isDefault) {
    canvas.FrameRect(r, clBlack);
    r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
  }
  canvas.Frame3D(r, clBtnHighlight, clBtnShadow);
  std::string text = StripMnemonic(caption);
  TSize ext = canvas.TextExtent(text);
  TFont saved = canvas.font;
  if (!enabled) canvas.font.color = clGrayText;
  TextOutWithMnemonic(canvas, face.Left + (face.Right - face.Left - ext.cx) / 2,
                      face.Top + (face.Bottom - face.Top - canvas.font.height) / 2, caption, face);
  canvas.font = saved;
}

void PaintDialogIcon(TCanvas& canvas, TMsgDlgType kind, int x, int y) {
  TFont saved = canvas.font;
  canvas.font.height = 22;
  canvas.font.bold = true;
  canvas.font.color = clWhite;
  std::string mark;
  switch (kind) {
    case TMsgDlgType::mtWarning:
      // An orange triangle, point up, with a black "!".
      for (int row = 2; row < 30; ++row) {
        int half = (row - 2) / 2 + 1;
        canvas.FillRect({x + 16 - half, y + row, x + 16 + half, y + row + 1}, MakeColor(240, 130, 30));
      }
      canvas.font.color = clBlack;
      mark = "!";
      break;
    case TMsgDlgType::mtError:
      FillDisc(canvas, x + 1, y + 1, 30, MakeColor(210, 40, 40));
      mark = "X";
      break;
    case TMsgDlgType::mtInformation:
      FillDisc(canvas, x + 1, y + 1, 30, MakeColor(40, 100, 190));
      mark = "i";
      break;
    case TMsgDlgType::mtConfirmation:
      FillDisc(canvas, x + 1, y + 1, 30, MakeColor(40, 100, 190));
      mark = "?";
      break;
  }
  TSize ext = canvas.TextExtent(mark);
  int top = kind == TMsgDlgType::mtWarning ? y + 9 : y + (32 - canvas.font.height) / 2;
  canvas.TextOut(x + (32 - ext.cx) / 2, top, mark, Bounds(x, y, 32, 32));
  canvas.font = saved;
}

std::vector<std::string> WrapText(TCanvas& canvas, const std::string& text, int width) {
  std::vector<std::string> out;
  for (const std::string& paragraph : Lines(text)) {
    // The characters of the paragraph, each with its width.
    std::vector<std::string> chars;
    for (size_t i = 0; i < paragraph.size(); ++i) {
      size_t n = IsLeadByte(static_cast<unsigned char>(paragraph[i])) && i + 1 < paragraph.size() ? 2 : 1;
      chars.push_back(paragraph.substr(i, n));
      i += n - 1;
    }
    size_t start = 0;
    if (chars.empty()) out.emplace_back();
    while (start < chars.size()) {
      size_t end = start;
      int used = 0;
      while (end < chars.size()) {
        int w = canvas.TextExtent(chars[end]).cx;
        if (end > start && used + w > width && chars[end] != " ") break;
        used += w;
        ++end;
      }
      if (end < chars.size()) {
        size_t space = end;
        while (space > start + 1 && chars[space - 1] != " ") --space;
        if (space > start + 1) end = space;  // after the last space
        else if (end > start + 1 && ClosesLine(chars[end])) --end;
      }
      std::string line;
      for (size_t i = start; i < end; ++i) line += chars[i];
      out.push_back(line);
      start = end;
    }
  }
  return out;
}

TMemoLayout LayOutMemo(TCanvas& canvas, const std::string& text, int width, int height) {
  const int lineHeight = canvas.font.height + kMemoLineGap;
  const int room = height - 2 * kMemoMargin;
  TMemoLayout memo;
  memo.lines = WrapText(canvas, text, width - 2 * kMemoMargin);
  if (static_cast<int>(memo.lines.size()) * lineHeight > room) {
    memo.scrollBar = true;
    memo.lines = WrapText(canvas, text, width - kScrollBarWidth - 2 * kMemoMargin);
  }
  return memo;
}

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
