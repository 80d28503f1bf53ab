// Small value types of the widget toolkit: colours, rectangles, modal results and the
// message-dialog kinds and buttons.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "image/dib_picture.h"

namespace zarn {

// Colours (0x00BBGGRR, made by MakeColor), points and rectangles (Left, Top, Right,
// Bottom) are those of the picture layer, so pictures and controls share them.
constexpr TColor clBlack = MakeColor(0, 0, 0);
constexpr TColor clWhite = MakeColor(255, 255, 255);
constexpr TColor clBlue = MakeColor(0, 0, 255);
constexpr TColor clNavy = MakeColor(0, 0, 128);
constexpr TColor clRed = MakeColor(255, 0, 0);
constexpr TColor clGray = MakeColor(128, 128, 128);
constexpr TColor clSilver = MakeColor(192, 192, 192);
// The system's colours as this toolkit draws them.
constexpr TColor clBtnFace = MakeColor(240, 240, 240);
constexpr TColor clBtnShadow = MakeColor(160, 160, 160);
constexpr TColor clBtnHighlight = MakeColor(255, 255, 255);
constexpr TColor clWindow = MakeColor(255, 255, 255);
constexpr TColor clWindowText = MakeColor(0, 0, 0);
constexpr TColor clGrayText = MakeColor(109, 109, 109);
constexpr TColor clHighlight = MakeColor(0, 120, 215);

struct TSize {
  int cx = 0, cy = 0;
};

inline TRect Bounds(int left, int top, int width, int height) { return TRect::Bounds(left, top, width, height); }
inline TRect OffsetRect(const TRect& r, int dx, int dy) { return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy}; }
inline bool PtInRect(const TRect& r, int x, int y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

// Modal results of forms and message dialogs.
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

// Kinds of message dialog; each has its caption ("警告", "エラー", "情報", "確認").
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
constexpr TMsgDlgType mtWarning = TMsgDlgType::mtWarning;
constexpr TMsgDlgType mtError = TMsgDlgType::mtError;
constexpr TMsgDlgType mtInformation = TMsgDlgType::mtInformation;
constexpr TMsgDlgType mtConfirmation = TMsgDlgType::mtConfirmation;

// Buttons of a message dialog, as a set of bits. They are shown in the order Yes, No,
// OK, Cancel, Abort.
using TMsgDlgButtons = uint32_t;
enum : TMsgDlgButtons { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbAbort = 16 };
constexpr TMsgDlgButtons mbYesNo = mbYes | mbNo;
constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;

// The caption of a dialog kind, and the caption and result of one button.
std::string DialogCaption(TMsgDlgType kind);
std::string ButtonCaption(TMsgDlgButtons button);
int ButtonResult(TMsgDlgButtons button);
// The buttons of a set in display order.
int ButtonCount(TMsgDlgButtons buttons);
TMsgDlgButtons ButtonAt(TMsgDlgButtons buttons, int index);

// The row of `count` buttons of a message box, `gap` apart: each at least `width` wide and
// 8 pixels wider than the widest caption on each side, centred in the client area, which
// grows (by `grown` pixels) when the row and a gap on each side do not fit.
struct TButtonRow {
  int width = 0, gap = 0, firstLeft = 0, grown = 0;
};
TButtonRow FitMessageButtons(int clientWidth, int width, int gap, int count, int widestCaption);

// Text alignment of labels.
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
// How a control follows its parent's client area.
enum class TAlign { alNone, alClient };
// Where a form appears when shown.
enum class TPosition { poDesigned, poScreenCenter, poMainFormCenter, poOwnerFormCenter };
enum class TBorderStyle { bsSizeable, bsDialog, bsNone };
// Which edges a bevel draws, and whether it looks sunk or raised.
enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine };
enum class TBevelStyle { bsLowered, bsRaised };

// A failure of a scripted test user. The toolkit never reports it in its error box and
// always lets it through to the test that drives the program.
class EScriptFailure : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

}  // namespace zarn
