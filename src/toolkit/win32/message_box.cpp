// Message dialogs and the error report as the system's message boxes, with Japanese
// button captions.

#include "toolkit/win32/peer.h"

#include <algorithm>

#include "platform/win32/text.h"
#include "toolkit/forms.h"

namespace zarn {
namespace win32ui {

namespace {

using win32::ToWide;

// A message box shows the dialog's buttons in their display order on the standard box
// with as many buttons, each renamed; the first is the default, as in the headless run.
// (An OK/Abort prompt is an OK/Cancel box whose Cancel reads 中止: Enter answers OK.)
struct MessageBoxPlan {
  UINT type = MB_OK;
  int count = 0;
  int ids[3] = {};
  TMsgDlgButtons buttons[3] = {};
};

MessageBoxPlan PlanMessageBox(TMsgDlgButtons buttons) {
  MessageBoxPlan plan;
  plan.count = std::min(ButtonCount(buttons), 3);
  static const int kOne[] = {IDOK}, kTwo[] = {IDOK, IDCANCEL}, kYesNo[] = {IDYES, IDNO},
                   kThree[] = {IDYES, IDNO, IDCANCEL};
  const int* ids = kOne;
  if (plan.count == 2 && buttons == mbYesNo) plan.type = MB_YESNO, ids = kYesNo;
  else if (plan.count == 2) plan.type = MB_OKCANCEL, ids = kTwo;
  else if (plan.count == 3) plan.type = MB_YESNOCANCEL, ids = kThree;
  for (int i = 0; i < plan.count; ++i) {
    plan.ids[i] = ids[i];
    plan.buttons[i] = ButtonAt(buttons, i);
  }
  return plan;
}

// The dialog result of the box's answer: the button shown under that id.
int PlannedResult(const MessageBoxPlan& plan, int id) {
  for (int i = 0; i < plan.count; ++i)
    if (plan.ids[i] == id) return ButtonResult(plan.buttons[i]);
  return mrCancel;  // closed another way
}

// The thread's message-box hook renames the buttons; one message box at a time.
thread_local HHOOK tMessageBoxHook = nullptr;
thread_local HFONT tMessageBoxFont = nullptr;
thread_local const MessageBoxPlan* tMessageBoxPlan = nullptr;

// The system sized the buttons for its own captions: they are made wide enough for the
// program's captions and centred, as the headless picture of the box places them (the
// box grows when the row no longer fits).
void FitButtons(HWND box, const MessageBoxPlan& plan, HFONT font) {
  HWND items[3] = {};
  RECT rects[3] = {};
  int n = 0, widest = 0;
  HDC dc = GetDC(box);
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  for (int i = 0; i < plan.count; ++i) {
    HWND item = GetDlgItem(box, plan.ids[i]);
    if (!item) return;
    items[n] = item;
    GetWindowRect(item, &rects[n]);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rects[n]), 2);
    std::wstring caption = ToWide(ButtonCaption(plan.buttons[i]));
    RECT text = {0, 0, 0, 0};
    DrawTextW(dc, caption.c_str(), -1, &text, DT_CALCRECT | DT_SINGLELINE);
    widest = std::max(widest, static_cast<int>(text.right - text.left));
    ++n;
  }
  if (old) SelectObject(dc, old);
  ReleaseDC(box, dc);
  if (n == 0) return;
  const int width = rects[0].right - rects[0].left;
  const int gap = n > 1 ? rects[1].left - rects[0].right : width / 3;
  RECT client;
  GetClientRect(box, &client);
  TButtonRow row = FitMessageButtons(client.right, width, gap, n, widest);
  if (row.grown > 0) {
    RECT w;
    GetWindowRect(box, &w);
    SetWindowPos(box, nullptr, w.left - row.grown / 2, w.top, w.right - w.left + row.grown, w.bottom - w.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (int i = 0; i < n; ++i)
    SetWindowPos(items[i], nullptr, row.firstLeft + i * (row.width + row.gap), rects[i].top, row.width,
                 rects[i].bottom - rects[i].top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The box's own window procedure while it is subclassed. Wine activates the box while it
// is still laying it out, so the buttons are fitted on a message posted at activation,
// which arrives once the box's modal loop runs.
thread_local WNDPROC tMessageBoxProc = nullptr;
constexpr UINT kFitButtons = WM_APP + 0x5A;

LRESULT CALLBACK FittingProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC original = tMessageBoxProc;
  if (message == kFitButtons || message == WM_NCDESTROY) {
    SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    tMessageBoxProc = nullptr;
    if (message == kFitButtons) {
      if (tMessageBoxPlan) FitButtons(box, *tMessageBoxPlan, tMessageBoxFont);
      return 0;
    }
  }
  return CallWindowProcW(original, box, message, wParam, lParam);
}

LRESULT CALLBACK MessageBoxHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    for (int i = 0; tMessageBoxPlan && i < tMessageBoxPlan->count; ++i)
      if (HWND item = GetDlgItem(box, tMessageBoxPlan->ids[i])) {
        SetWindowTextW(item, ToWide(ButtonCaption(tMessageBoxPlan->buttons[i])).c_str());
        if (tMessageBoxFont) SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(tMessageBoxFont), TRUE);
      }
    if (tMessageBoxPlan && !tMessageBoxProc) {
      tMessageBoxProc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FittingProc)));
      PostMessageW(box, kFitButtons, 0, 0);
    }
    HHOOK hook = tMessageBoxHook;
    tMessageBoxHook = nullptr;
    UnhookWindowsHookEx(hook);
    return 0;
  }
  return CallNextHookEx(tMessageBoxHook, code, wParam, lParam);
}

}  // namespace

int Win32Backend::MessageDialog(TApplication& app, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) {
  const MessageBoxPlan plan = PlanMessageBox(buttons);
  UINT type = plan.type | MB_DEFBUTTON1;
  switch (kind) {
    case TMsgDlgType::mtWarning: type |= MB_ICONWARNING; break;
    case TMsgDlgType::mtError: type |= MB_ICONERROR; break;
    case TMsgDlgType::mtInformation: type |= MB_ICONINFORMATION; break;
    case TMsgDlgType::mtConfirmation: type |= MB_ICONQUESTION; break;
  }
  std::wstring message = ToWide(text), caption = ToWide(DialogCaption(kind));
  tMessageBoxFont = fonts_.Get(TFont());
  tMessageBoxPlan = &plan;
  tMessageBoxHook = SetWindowsHookExW(WH_CBT, MessageBoxHook, nullptr, GetCurrentThreadId());
  int id = MessageBoxW(OwnerWindow(app), message.c_str(), caption.c_str(), type);
  if (tMessageBoxHook) {
    UnhookWindowsHookEx(tMessageBoxHook);
    tMessageBoxHook = nullptr;
  }
  tMessageBoxPlan = nullptr;
  return PlannedResult(plan, id);
}

void Win32Backend::ShowError(TApplication& app, const std::string& text) {
  MessageBoxW(OwnerWindow(app), ToWide(text).c_str(), ToWide(app.Title()).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace win32ui
}  // namespace zarn
