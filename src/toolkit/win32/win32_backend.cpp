#include "toolkit/win32/win32_backend.h"

#include "toolkit/win32/peer.h"

#include <commctrl.h>
#include <vector>

#include "platform/win32/text.h"
#include "runtime/error.h"
#include "toolkit/forms.h"

namespace zarn {
namespace win32ui {

using win32::ToWide;

// ---- the peer's common part

WinPeer::~WinPeer() {
  if (IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void WinPeer::Attach(HWND hwnd) {
  if (!hwnd) throw EOSError("ウィンドウを作成できません");
  hwnd_ = hwnd;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void WinPeer::CreateChild(const wchar_t* windowClass, DWORD style, DWORD exStyle) {
  auto& w = static_cast<TWinControl&>(control_);
  style |= WS_CHILD | WS_CLIPSIBLINGS | (w.TabStop() ? WS_TABSTOP : 0);
  HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(backend_.NextChildId()));
  Attach(CreateWindowExW(exStyle, windowClass, L"", style, control_.Left(), control_.Top(), control_.Width(),
                         control_.Height() + DropDownHeight(), HwndOf(control_.Parent()), id,
                         GetModuleHandleW(nullptr), nullptr));
}

void WinPeer::Invalidate(const TRect& r) {
  RECT rc = {r.Left, r.Top, r.Right, r.Bottom};
  InvalidateRect(hwnd_, &rc, FALSE);
}

void WinPeer::SetFocus() { ::SetFocus(hwnd_); }

void WinPeer::UpdateAll() {
  updating = true;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(backend_.fonts().Get(control_.Font())), FALSE);
  for (TProp p : {TProp::Caption, TProp::Enabled, TProp::Checked, TProp::Items, TProp::Range, TProp::Position,
                  TProp::Default, TProp::ReadOnly, TProp::MaxLength, TProp::Bounds, TProp::Visible})
    Update(p);
  updating = false;
}

void WinPeer::Update(TProp what) {
  bool wasUpdating = updating;
  updating = true;
  struct Restore {
    bool& flag;
    bool value;
    ~Restore() { flag = value; }
  } restore{updating, wasUpdating};
  Apply(what);
}

void WinPeer::Apply(TProp what) {
  switch (what) {
    case TProp::Bounds:
      SetWindowPos(hwnd_, nullptr, control_.Left(), control_.Top(), control_.Width(),
                   control_.Height() + DropDownHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    case TProp::Caption:
      if (showsCaption_) SetWindowTextW(hwnd_, ToWide(control_.Caption()).c_str());
      break;
    case TProp::Visible:
      ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case TProp::Enabled:
      EnableWindow(hwnd_, control_.Enabled());
      break;
    case TProp::Font:
      SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(backend_.fonts().Get(control_.Font())), TRUE);
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case TProp::Color:
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case TProp::Focus:
      ::SetFocus(hwnd_);
      break;
    default:
      break;
  }
}

WinPeer* PeerOf(HWND hwnd) {
  return hwnd ? reinterpret_cast<WinPeer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) : nullptr;
}

HWND HwndOf(const TControl* control) {
  auto* peer = control ? static_cast<WinPeer*>(control->Peer()) : nullptr;
  return peer ? peer->hwnd() : nullptr;
}

// ---- the backend

Win32Backend::Win32Backend() {
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  richEdit_ = LoadLibraryW(L"riched20.dll");
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ContainerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
  wc.hIcon = nullptr;
  wc.lpszClassName = kPanelClass;
  RegisterClassExW(&wc);
}

Win32Backend::~Win32Backend() {
  if (richEdit_) FreeLibrary(richEdit_);
}

std::unique_ptr<ControlPeer> Win32Backend::CreatePeer(TControl& control) {
  if (!control.IsWindowed()) return nullptr;
  // A control gets its window once its parent has one (a form has no parent).
  if (control.Parent() && !HwndOf(control.Parent())) return nullptr;
  std::unique_ptr<WinPeer> peer;
  for (auto make : {MakeButtonPeer, MakeEditPeer, MakeListPeer, MakeProgressPeer, MakeContainerPeer})
    if ((peer = make(*this, control))) break;
  peer->UpdateAll();
  return peer;
}

TSize Win32Backend::ScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

TSize Win32Backend::TextExtent(const TFont& font, const std::string& text) {
  HDC dc = GetDC(nullptr);
  struct Release {
    HDC dc;
    ~Release() { ReleaseDC(nullptr, dc); }
  } release{dc};
  DCCanvas canvas(dc, fonts_);
  canvas.font = font;
  return canvas.TextExtent(text);
}

void Win32Backend::HandleMessage(TControl& control, const std::function<void()>& handling) {
  try {
    control.Application().Guard(handling);
  } catch (...) {
    if (!pending_) pending_ = std::current_exception();
  }
}

void Win32Backend::RaisePending() {
  if (!pending_) return;
  std::exception_ptr error = pending_;
  pending_ = nullptr;
  std::rethrow_exception(error);
}

void Win32Backend::Dispatch(MSG& msg) {
  // Keyboard navigation of the form the message's window lies on.
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  WinPeer* peer = PeerOf(root);
  if (!(peer && dynamic_cast<TForm*>(&peer->control()) && IsDialogMessageW(root, &msg))) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  RaisePending();
}

HWND Win32Backend::OwnerWindow(TApplication& app) {
  if (TForm* modal = app.ActiveModalForm()) return HwndOf(modal);
  return HwndOf(app.MainForm());
}

void Win32Backend::RunModal(TForm& form) {
  HWND hwnd = HwndOf(&form);
  // Every other window of the program stops taking input while this one is modal, and
  // takes it again however the loop ends.
  struct Disabled {
    TForm& form;
    std::vector<HWND> windows;
    ~Disabled() {
      for (HWND h : windows) EnableWindow(h, TRUE);
      if (HWND owner = HwndOf(form.OwnerForm())) SetActiveWindow(owner);
    }
  } disabled{form, {}};
  for (TForm* other : form.App().Forms()) {
    HWND h = HwndOf(other);
    if (other != &form && h && IsWindowEnabled(h)) {
      EnableWindow(h, FALSE);
      disabled.windows.push_back(h);
    }
  }
  if (hwnd) {
    SetForegroundWindow(hwnd);
    SetActiveWindow(hwnd);
    // As a form does when shown: the chosen control, else the first one Tab reaches,
    // has the keyboard, so Space and the arrow keys work without a click first.
    if (TWinControl* active = form.ActiveControl()) {
      form.SetActiveControl(active);
    } else if (HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE)) {
      ::SetFocus(first);
    }
  }
  while (!form.ModalEnds()) {
    RaisePending();
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      if (form.ModalResult() == mrNone) form.SetModalResult(mrCancel);
      // The outer loop must see the quit message too.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

void Win32Backend::ProcessMessages(TApplication&) {
  RaisePending();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    Dispatch(msg);
  }
}

void Win32Backend::Run(TApplication& app) {
  while (!app.Terminated() && app.MainForm() && app.MainForm()->Visible()) {
    RaisePending();
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
    Dispatch(msg);
  }
}

}  // namespace win32ui

std::unique_ptr<Backend> CreateWin32Backend() { return std::make_unique<win32ui::Win32Backend>(); }

void* NativeHandle(const TControl& control) { return win32ui::HwndOf(&control); }

namespace {
// Forms waiting for their timers; a timer without a window has no other context.
thread_local std::map<UINT_PTR, TForm*> tClosing;

void CALLBACK CloseTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  auto it = tClosing.find(timer);
  if (it == tClosing.end()) return;
  TForm* form = it->second;
  tClosing.erase(it);
  if (form->Modal()) form->SetModalResult(mrCancel);
}
}  // namespace

void CloseAfter(TForm& form, unsigned milliseconds) {
  UINT_PTR id = SetTimer(nullptr, 0, milliseconds, CloseTimer);
  if (id) tClosing[id] = &form;
}

}  // namespace zarn
