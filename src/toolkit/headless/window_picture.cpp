// Whole windows in headless pictures: the frame and title bar around a form's client
// area, and the system's message box. Sizes and colours are those of the window under
// Wine, where the pictures are compared with screenshots.
#include <algorithm>

#include "toolkit/headless/headless.h"
#include "toolkit/headless/likeness.h"

namespace zarn {

namespace {

// The dialog frame on each side, the title bar's height and the line below it.
constexpr int kFrame = 3, kCaptionHeight = 18, kCaptionGap = 1;
constexpr int kClientTop = kFrame + kCaptionHeight + kCaptionGap;
constexpr TColor kFrameLight = MakeColor(227, 227, 227), kFrameDark = MakeColor(106, 106, 106),
                 kFrameShadow = MakeColor(166, 166, 166), kFrameFace = MakeColor(245, 245, 245),
                 kActiveCaption = MakeColor(50, 150, 250);

// The system's message font: 11 pixels, its lines 12 pixels apart.
constexpr int kMessageLineHeight = 12;
TFont MessageFont() {
  TFont f;
  f.height = 11;
  return f;
}

void Shrink(TRect& r) { r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}; }

// The frame, title bar and caption of a window `width` x `height` (frame included);
// `icon` draws the small window icon before the caption.
void PaintFrame(TPictureCanvas& canvas, int width, int height, const std::string& caption, bool icon) {
  TRect r{0, 0, width, height};
  canvas.Frame3D(r, kFrameLight, kFrameDark);
  Shrink(r);
  canvas.Frame3D(r, clBtnHighlight, kFrameShadow);
  Shrink(r);
  canvas.FillRect(r, kFrameFace);
  TRect bar{kFrame, kFrame, width - kFrame, kFrame + kCaptionHeight};
  canvas.FillRect(bar, kActiveCaption);
  int textLeft = bar.Left + 2;
  if (icon) {
    TRect i = Bounds(bar.Left + 3, bar.Top + 2, 14, 14);
    canvas.FillRect(i, clWindow);
    canvas.FrameRect(i, clGray);
    canvas.FillRect({i.Left + 1, i.Top + 1, i.Right - 1, i.Top + 4}, MakeColor(30, 60, 140));
    textLeft = i.Right + 3;
  }
  // The close button: raised, with a small cross.
  TRect close{bar.Right - 18, bar.Top + 2, bar.Right - 2, bar.Top + 16};
  canvas.Frame3D(close, kFrameLight, kFrameDark);
  TRect face = close;
  Shrink(face);
  canvas.Frame3D(face, clBtnHighlight, kFrameShadow);
  Shrink(face);
  canvas.FillRect(face, kFrameFace);
  int cx = (close.Left + close.Right) / 2 - 4, cy = (close.Top + close.Bottom) / 2 - 4;
  for (int i = 0; i < 7; ++i) {
    canvas.FillRect({cx + i, cy + i, cx + i + 2, cy + i + 1}, clBlack);
    canvas.FillRect({cx + 6 - i, cy + i, cx + 8 - i, cy + i + 1}, clBlack);
  }
  canvas.font = TFont();
  canvas.TextOut(textLeft, bar.Top + (kCaptionHeight - canvas.font.height) / 2, caption,
                 {textLeft, bar.Top, close.Left - 2, bar.Bottom});
}

// The system's own captions of the standard box with as many buttons, which size its
// buttons before the program renames them.
std::vector<std::string> SystemCaptions(TMsgDlgButtons buttons) {
  int n = ButtonCount(buttons);
  if (n == 1) return {"OK"};
  if (n == 2) return buttons == mbYesNo ? std::vector<std::string>{"Yes", "No"} : std::vector<std::string>{"OK", "Cancel"};
  return {"Yes", "No", "Cancel"};
}

}  // namespace

void RenderWindow(TForm& form, TDIB& picture) {
  TDIB client;
  RenderForm(form, client);
  const int width = form.ClientWidth() + 2 * kFrame, height = form.ClientHeight() + kClientTop + kFrame;
  picture.SetSize(width, height, 24);
  if (picture.Empty()) return;
  TPictureCanvas canvas(picture);
  PaintFrame(canvas, width, height, form.Caption(), true);
  if (!client.Empty())
    canvas.StretchDraw(Bounds(kFrame, kClientTop, client.Width(), client.Height()), client,
                       {0, 0, client.Width(), client.Height()});
}

void RenderMessageDialog(const DialogRecord& dialog, TDIB& picture) {
  // Wine's message box: the icon 14 pixels in, the text after it, wrapped at 308 pixels;
  // buttons twice as high as a line and twice as wide as the widest of the system's
  // captions (at least two lines high), a third of that apart.
  TDIB scratch;
  scratch.SetSize(1, 1, 24);
  TPictureCanvas measure(scratch);
  measure.font = MessageFont();
  const int h = kMessageLineHeight;
  const int iconLeft = 14, iconSize = 32, textLeft = 2 * iconLeft + iconSize, maxTextWidth = 308;
  const int count = std::max(ButtonCount(dialog.buttons), 1);
  int widestSystem = 2 * h;
  for (const std::string& c : SystemCaptions(dialog.buttons)) widestSystem = std::max(widestSystem, measure.TextExtent(c).cx);
  const int baseWidth = 2 * widestSystem, buttonHeight = 2 * h, gap = baseWidth / 3;
  std::vector<std::string> lines = WrapText(measure, dialog.text, maxTextWidth);
  int textWidth = 0;
  for (std::string line : lines) {
    while (!line.empty() && line.back() == ' ') line.pop_back();  // trailing spaces take no room
    textWidth = std::max(textWidth, measure.TextExtent(line).cx);
  }
  const int textHeight = static_cast<int>(lines.size()) * h;
  const int twidth = std::max((baseWidth + gap) * count + gap - textLeft, textWidth);
  const int top = 16 + std::max(iconSize, textHeight);
  int clientWidth = textLeft + twidth + iconLeft;
  const int clientHeight = 8 + top + buttonHeight;

  std::vector<std::string> captions;
  int widest = 0;
  for (int i = 0; i < ButtonCount(dialog.buttons); ++i) {
    captions.push_back(ButtonCaption(ButtonAt(dialog.buttons, i)));
    widest = std::max(widest, measure.TextExtent(StripMnemonic(captions.back())).cx);
  }
  if (captions.empty()) captions.push_back("OK");
  TButtonRow row = FitMessageButtons(clientWidth, baseWidth, gap, count, widest);
  clientWidth += row.grown;

  const int width = clientWidth + 2 * kFrame, height = clientHeight + kClientTop + kFrame;
  picture.SetSize(width, height, 24);
  if (picture.Empty()) return;
  TPictureCanvas canvas(picture);
  PaintFrame(canvas, width, height, dialog.caption, false);
  canvas.SetOrigin(kFrame, kClientTop);
  canvas.SetClip(Bounds(kFrame, kClientTop, clientWidth, clientHeight));
  canvas.FillRect({0, 0, clientWidth, clientHeight}, kFrameFace);
  PaintDialogIcon(canvas, dialog.kind, iconLeft, (top - iconSize) / 2);
  canvas.font = MessageFont();
  int y = (top - textHeight) / 2 + 1;  // the system's font sits a pixel lower in its line
  for (const std::string& line : lines) {
    canvas.TextOut(textLeft, y, line, {textLeft, 0, clientWidth, clientHeight});
    y += h;
  }
  for (size_t i = 0; i < captions.size(); ++i) {
    int left = row.firstLeft + static_cast<int>(i) * (row.width + row.gap);
    canvas.font = TFont();  // the program's font, which the Windows backend gives the buttons
    PaintButtonFace(canvas, Bounds(left, top, row.width, buttonHeight), captions[i], i == 0, true);
  }
}

}  // namespace zarn
