#include "toolkit/win32/win32_backend.h"

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/win32/text.h"
#include "runtime/error.h"
#include "toolkit/forms.h"

namespace zarn {

namespace {

using win32::FromWide;
using win32::ToWide;

const wchar_t kFormClass[] = L"ZarnForm";
const wchar_t kPanelClass[] = L"ZarnPanel";

COLORREF Ref(TColor c) { return RGB(RedOf(c), GreenOf(c), BlueOf(c)); }

class Win32Backend;

// Fonts by their description, made once per run.
class FontCache {
 public:
  ~FontCache() {
    for (auto& f : fonts_) DeleteObject(f.second);
  }
  HFONT Get(const TFont& font) {
    std::string key = font.name + "|" + std::to_string(font.height) + "|" + std::to_string(font.charset) +
                      (font.bold ? "|b" : "");
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    HFONT h = CreateFontW(-font.height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                          static_cast<BYTE>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, ToWide(font.name).c_str());
    fonts_[key] = h;
    return h;
  }

 private:
  std::map<std::string, HFONT> fonts_;
};

// A canvas over a device context (the off-screen bitmap of a container).
class DCCanvas : public TCanvas {
 public:
  DCCanvas(HDC dc, FontCache& fonts) : dc_(dc), fonts_(fonts) {}
  void FillRect(const TRect& r, TColor color) override {
    RECT rc = Device(r);
    if (!ClipTo(rc)) return;
    HBRUSH brush = CreateSolidBrush(Ref(color));
    ::FillRect(dc_, &rc, brush);
    DeleteObject(brush);
  }
  void TextOut(int x, int y, const std::string& text, const TRect& clip) override {
    RECT rc = Device(clip);
    if (!ClipTo(rc)) return;
    HGDIOBJ old = SelectObject(dc_, fonts_.Get(font));
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, Ref(font.color));
    std::wstring w = ToWide(text);
    ExtTextOutW(dc_, originX_ + x, originY_ + y, ETO_CLIPPED, &rc, w.c_str(), static_cast<UINT>(w.size()), nullptr);
    SelectObject(dc_, old);
  }
  TSize TextExtent(const std::string& text) override {
    HGDIOBJ old = SelectObject(dc_, fonts_.Get(font));
    std::wstring w = ToWide(text);
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
    SelectObject(dc_, old);
    return {size.cx, size.cy};
  }
  void StretchDraw(const TRect& dest, const TDIB& picture, const TRect& src) override {
    if (picture.Empty() || dest.IsEmpty() || src.IsEmpty()) return;
    RECT clip = Device(dest);
    if (!ClipTo(clip)) return;
    // The picture's rows as a top-down DIB; palette or bit masks as it stores them.
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colors[256];
    } info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = picture.Width();
    info.header.biHeight = -picture.Height();
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(picture.StoredBitCount());
    info.header.biCompression = BI_RGB;
    if (picture.StoredBitCount() <= 8) {
      int n = picture.PaletteCount();
      info.header.biClrUsed = static_cast<DWORD>(n);
      for (int i = 0; i < n; ++i) {
        const TRGBQuad& q = picture.ColorTable()[static_cast<size_t>(i)];
        info.colors[i] = {q.Blue, q.Green, q.Red, 0};
      }
    } else if (picture.StoredBitCount() == 16 || picture.StoredBitCount() == 32) {
      info.header.biCompression = BI_BITFIELDS;
      DWORD* masks = reinterpret_cast<DWORD*>(info.colors);
      masks[0] = picture.PixelFormat().RedMask;
      masks[1] = picture.PixelFormat().GreenMask;
      masks[2] = picture.PixelFormat().BlueMask;
    }
    int saved = SaveDC(dc_);
    IntersectClipRect(dc_, clip.left, clip.top, clip.right, clip.bottom);
    SetStretchBltMode(dc_, COLORONCOLOR);
    StretchDIBits(dc_, originX_ + dest.Left, originY_ + dest.Top, dest.Width(), dest.Height(), src.Left, src.Top,
                  src.Width(), src.Height(), picture.ScanLine(0), reinterpret_cast<BITMAPINFO*>(&info),
                  DIB_RGB_COLORS, SRCCOPY);
    RestoreDC(dc_, saved);
  }

 private:
  RECT Device(const TRect& r) const {
    return {originX_ + r.Left, originY_ + r.Top, originX_ + r.Right, originY_ + r.Bottom};
  }
  bool ClipTo(RECT& rc) const {
    RECT clip = {clip_.Left, clip_.Top, clip_.Right, clip_.Bottom};
    return IntersectRect(&rc, &rc, &clip) != FALSE;
  }
  HDC dc_;
  FontCache& fonts_;
};

enum class Kind { Form, Panel, Button, CheckBox, Radio, Edit, Rich, List, Combo, Progress };

Kind KindOf(TControl& c) {
  if (dynamic_cast<TForm*>(&c)) return Kind::Form;
  if (dynamic_cast<TButton*>(&c)) return Kind::Button;
  if (dynamic_cast<TCheckBox*>(&c)) return Kind::CheckBox;
  if (dynamic_cast<TRadioButton*>(&c)) return Kind::Radio;
  if (dynamic_cast<TEdit*>(&c)) return Kind::Edit;
  if (dynamic_cast<TRichEdit*>(&c)) return Kind::Rich;
  if (dynamic_cast<TDirectoryListBox*>(&c)) return Kind::List;
  if (dynamic_cast<TDriveComboBox*>(&c)) return Kind::Combo;
  if (dynamic_cast<TProgressBar*>(&c)) return Kind::Progress;
  return Kind::Panel;
}

class WinPeer : public ControlPeer {
 public:
  WinPeer(Win32Backend& backend, TControl& control, Kind kind, HWND hwnd)
      : backend_(backend), control_(control), kind_(kind), hwnd_(hwnd) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~WinPeer() override {
    if (IsWindow(hwnd_)) {
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      DestroyWindow(hwnd_);
    }
  }
  HWND hwnd() const { return hwnd_; }
  TControl& control() { return control_; }
  Win32Backend& backend() { return backend_; }
  Kind kind() const { return kind_; }
  void Update(TProp what) override;
  void Invalidate(const TRect& r) override {
    RECT rc = {r.Left, r.Top, r.Right, r.Bottom};
    InvalidateRect(hwnd_, &rc, FALSE);
  }
  void SetFocus() override { ::SetFocus(hwnd_); }
  void UpdateAll();
  // Set while the peer itself writes state back to the window, so the window's
  // notifications of that change are not taken for the user's.
  bool updating = false;

 private:
  void FillItems();
  Win32Backend& backend_;
  TControl& control_;
  Kind kind_;
  HWND hwnd_;
};

WinPeer* PeerOf(HWND hwnd) { return hwnd ? reinterpret_cast<WinPeer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) : nullptr; }

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

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

LRESULT CALLBACK MessageBoxHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    for (int i = 0; tMessageBoxPlan && i < tMessageBoxPlan->count; ++i)
      if (HWND item = GetDlgItem(box, tMessageBoxPlan->ids[i])) {
        SetWindowTextW(item, ToWide(ButtonCaption(tMessageBoxPlan->buttons[i])).c_str());
        if (tMessageBoxFont) SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(tMessageBoxFont), TRUE);
      }
    HHOOK hook = tMessageBoxHook;
    tMessageBoxHook = nullptr;
    UnhookWindowsHookEx(hook);
    return 0;
  }
  return CallNextHookEx(tMessageBoxHook, code, wParam, lParam);
}

class Win32Backend : public Backend {
 public:
  Win32Backend() {
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
  ~Win32Backend() override {
    if (richEdit_) FreeLibrary(richEdit_);
  }

  std::unique_ptr<ControlPeer> CreatePeer(TControl& control) override;
  void RunModal(TForm& form) override;
  void ProcessMessages(TApplication& app) override;
  void Run(TApplication& app) override;
  int MessageDialog(TApplication& app, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override;
  void ShowError(TApplication& app, const std::string& text) override;
  TSize ScreenSize() override { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }
  TSize TextExtent(const TFont& font, const std::string& text) override {
    HDC dc = GetDC(nullptr);
    DCCanvas canvas(dc, fonts_);
    canvas.font = font;
    TSize size = canvas.TextExtent(text);
    ReleaseDC(nullptr, dc);
    return size;
  }

  FontCache& fonts() { return fonts_; }
  // Handles a message; false when it was not for the toolkit's keyboard handling.
  void Dispatch(MSG& msg);
  HWND OwnerWindow(TApplication& app);

 private:
  FontCache fonts_;
  HMODULE richEdit_ = nullptr;
  int nextId_ = 100;
};

HWND HwndOf(TControl* control) {
  auto* peer = control ? static_cast<WinPeer*>(control->Peer()) : nullptr;
  return peer ? peer->hwnd() : nullptr;
}

DWORD FormStyle(TForm& form, DWORD& exStyle) {
  exStyle = WS_EX_CONTROLPARENT;
  switch (form.BorderStyle()) {
    case TBorderStyle::bsDialog:
      exStyle |= WS_EX_DLGMODALFRAME;
      return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    case TBorderStyle::bsNone:
      return WS_POPUP | WS_CLIPCHILDREN;
    case TBorderStyle::bsSizeable:
      break;
  }
  return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
}

std::unique_ptr<ControlPeer> Win32Backend::CreatePeer(TControl& control) {
  if (!control.IsWindowed()) return nullptr;
  Kind kind = KindOf(control);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND hwnd = nullptr;
  if (kind == Kind::Form) {
    TForm& form = static_cast<TForm&>(control);
    DWORD exStyle;
    DWORD style = FormStyle(form, exStyle);
    hwnd = CreateWindowExW(exStyle, kFormClass, ToWide(form.Caption()).c_str(), style, form.Left(), form.Top(),
                           form.Width(), form.Height(), HwndOf(form.OwnerForm()), nullptr, instance, nullptr);
  } else {
    HWND parent = HwndOf(control.Parent());
    if (!parent) return nullptr;
    auto& w = static_cast<TWinControl&>(control);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (w.TabStop() ? WS_TABSTOP : 0);
    DWORD exStyle = 0;
    const wchar_t* cls = kPanelClass;
    switch (kind) {
      case Kind::Panel: style |= WS_CLIPCHILDREN; exStyle = WS_EX_CONTROLPARENT; break;
      case Kind::Button: cls = L"BUTTON"; style |= BS_PUSHBUTTON; break;
      case Kind::CheckBox: cls = L"BUTTON"; style |= BS_CHECKBOX; break;
      case Kind::Radio: {
        cls = L"BUTTON";
        style |= BS_RADIOBUTTON;
        // The first radio button of a parent starts a group.
        for (TControl* sibling : control.Parent()->Controls())
          if (dynamic_cast<TRadioButton*>(sibling)) {
            if (sibling == &control) style |= WS_GROUP;
            break;
          }
        break;
      }
      case Kind::Edit: cls = L"EDIT"; style |= ES_AUTOHSCROLL; exStyle = WS_EX_CLIENTEDGE; break;
      case Kind::Rich:
        cls = richEdit_ ? RICHEDIT_CLASSW : L"EDIT";
        style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_READONLY;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::List: cls = L"LISTBOX"; style |= LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT; exStyle = WS_EX_CLIENTEDGE; break;
      case Kind::Combo: cls = L"COMBOBOX"; style |= CBS_DROPDOWNLIST | WS_VSCROLL; break;
      case Kind::Progress: cls = PROGRESS_CLASSW; break;
      case Kind::Form: break;
    }
    int height = kind == Kind::Combo ? control.Height() + 200 : control.Height();  // room for the drop-down
    hwnd = CreateWindowExW(exStyle, cls, L"", style, control.Left(), control.Top(), control.Width(), height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)), instance, nullptr);
    if (hwnd && kind == Kind::Rich && richEdit_) {
      SendMessageW(hwnd, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
      SendMessageW(hwnd, EM_SETBKGNDCOLOR, 0, Ref(control.Color()));
    }
  }
  if (!hwnd) throw EOSError("ウィンドウを作成できません");
  auto peer = std::make_unique<WinPeer>(*this, control, kind, hwnd);
  peer->UpdateAll();
  return peer;
}

void WinPeer::UpdateAll() {
  updating = true;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(backend_.fonts().Get(control_.Font())), FALSE);
  for (TProp p : {TProp::Caption, TProp::Enabled, TProp::Checked, TProp::Items, TProp::Range, TProp::Position,
                  TProp::Default, TProp::ReadOnly, TProp::MaxLength, TProp::Bounds, TProp::Visible})
    Update(p);
  updating = false;
}

void WinPeer::FillItems() {
  if (kind_ == Kind::List) {
    auto& list = static_cast<TDirectoryListBox&>(control_);
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    for (const std::string& item : list.Items())
      SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(item).c_str()));
    SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(list.ItemIndex()), 0);
  } else if (kind_ == Kind::Combo) {
    auto& combo = static_cast<TDriveComboBox&>(control_);
    SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : combo.Items())
      SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(item).c_str()));
    SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(combo.ItemIndex()), 0);
  }
}

void WinPeer::Update(TProp what) {
  bool wasUpdating = updating;
  updating = true;
  switch (what) {
    case TProp::Bounds:
      if (kind_ == Kind::Form) {
        auto& form = static_cast<TForm&>(control_);
        DWORD exStyle;
        DWORD style = FormStyle(form, exStyle);
        SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(style | (IsWindowVisible(hwnd_) ? WS_VISIBLE : 0)));
        RECT r = {0, 0, form.Width(), form.Height()};
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
        SetWindowPos(hwnd_, nullptr, form.Left(), form.Top(), r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
      } else {
        int height = kind_ == Kind::Combo ? control_.Height() + 200 : control_.Height();
        SetWindowPos(hwnd_, nullptr, control_.Left(), control_.Top(), control_.Width(), height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      }
      break;
    case TProp::Caption:
      if (kind_ != Kind::List && kind_ != Kind::Combo && kind_ != Kind::Progress)
        SetWindowTextW(hwnd_, ToWide(control_.Caption()).c_str());
      break;
    case TProp::Visible:
      if (kind_ == Kind::Form) {
        ShowWindow(hwnd_, control_.Visible() ? SW_SHOW : SW_HIDE);
        if (control_.Visible()) SetForegroundWindow(hwnd_);
      } else {
        ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
      }
      break;
    case TProp::Enabled:
      EnableWindow(hwnd_, control_.Enabled());
      break;
    case TProp::Checked:
      if (auto* box = dynamic_cast<TCheckBox*>(&control_))
        SendMessageW(hwnd_, BM_SETCHECK, box->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      else if (auto* radio = dynamic_cast<TRadioButton*>(&control_))
        SendMessageW(hwnd_, BM_SETCHECK, radio->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case TProp::Items:
    case TProp::ItemIndex:
      FillItems();
      break;
    case TProp::Range:
    case TProp::Position:
      if (auto* bar = dynamic_cast<TProgressBar*>(&control_)) {
        SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(bar->Min()), bar->Max());
        SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(bar->Position()), 0);
      }
      break;
    case TProp::Default:
      if (auto* button = dynamic_cast<TButton*>(&control_))
        SendMessageW(hwnd_, BM_SETSTYLE, button->Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
      break;
    case TProp::ReadOnly:
      if (auto* edit = dynamic_cast<TEdit*>(&control_)) SendMessageW(hwnd_, EM_SETREADONLY, edit->ReadOnly(), 0);
      if (auto* rich = dynamic_cast<TRichEdit*>(&control_)) SendMessageW(hwnd_, EM_SETREADONLY, rich->ReadOnly(), 0);
      break;
    case TProp::MaxLength:
      if (auto* edit = dynamic_cast<TEdit*>(&control_)) SendMessageW(hwnd_, EM_LIMITTEXT, edit->MaxLength(), 0);
      if (auto* rich = dynamic_cast<TRichEdit*>(&control_))
        SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, rich->MaxLength() > 0 ? rich->MaxLength() : 0x7FFFFFFE);
      break;
    case TProp::Font:
      SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(backend_.fonts().Get(control_.Font())), TRUE);
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case TProp::Color:
      if (kind_ == Kind::Rich) SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, Ref(control_.Color()));
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case TProp::Focus:
      ::SetFocus(hwnd_);
      break;
  }
  updating = wasUpdating;
}

// Paints a container: its own background, then its graphic controls in creation order,
// through an off-screen bitmap so nothing flickers.
void PaintContainer(WinPeer& peer, Win32Backend& backend) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(peer.hwnd(), &ps);
  RECT client;
  GetClientRect(peer.hwnd(), &client);
  int w = client.right, h = client.bottom;
  if (w > 0 && h > 0) {
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    DCCanvas canvas(mem, backend.fonts());
    canvas.SetClip({0, 0, w, h});
    TControl& control = peer.control();
    canvas.FillRect({0, 0, w, h}, control.Color());
    canvas.font = control.Font();
    static_cast<TWinControl&>(control).PaintGraphicChildren(canvas);
    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
           mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(mem);
  }
  EndPaint(peer.hwnd(), &ps);
}

// A notification from a child window (or Enter and Esc from IsDialogMessage).
void Command(WinPeer& container, WPARAM wParam, LPARAM lParam) {
  TApplication& app = container.control().Application();
  int id = LOWORD(wParam), code = HIWORD(wParam);
  WinPeer* child = PeerOf(reinterpret_cast<HWND>(lParam));
  if (!child) {
    // Enter without a default button gives IDOK, Esc gives IDCANCEL.
    if (id == IDCANCEL) {
      TForm& form = container.control().Form();
      if (TButton* cancel = form.CancelButton()) app.Guard([&] { cancel->UserClick(); });
    }
    return;
  }
  if (child->updating) return;
  TControl& c = child->control();
  switch (child->kind()) {
    case Kind::Button:
    case Kind::CheckBox:
    case Kind::Radio:
      if (code == BN_CLICKED && c.CanUserAct()) app.Guard([&] { c.UserClick(); });
      break;
    case Kind::Edit:
    case Kind::Rich:
      if (code == EN_CHANGE) {
        int n = GetWindowTextLengthW(child->hwnd());
        std::wstring text(static_cast<size_t>(n) + 1, L'\0');
        GetWindowTextW(child->hwnd(), &text[0], n + 1);
        text.resize(static_cast<size_t>(n));
        app.Guard([&] { c.PeerSetText(FromWide(text)); });
      }
      break;
    case Kind::List:
      if (code == LBN_DBLCLK) {
        int sel = static_cast<int>(SendMessageW(child->hwnd(), LB_GETCURSEL, 0, 0));
        auto& list = static_cast<TDirectoryListBox&>(c);
        if (sel >= 0) app.Guard([&] { list.OpenItem(sel); });
      }
      break;
    case Kind::Combo:
      if (code == CBN_SELCHANGE) {
        int sel = static_cast<int>(SendMessageW(child->hwnd(), CB_GETCURSEL, 0, 0));
        auto& combo = static_cast<TDriveComboBox&>(c);
        if (sel >= 0 && sel < static_cast<int>(combo.Items().size())) {
          char letter = static_cast<char>(toupper(static_cast<unsigned char>(combo.Items()[static_cast<size_t>(sel)][0])));
          app.Guard([&] { combo.SetDrive(letter); });
          child->Update(TProp::ItemIndex);  // back to the drive in use when it was refused
        }
      }
      break;
    default:
      break;
  }
}

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WinPeer* peer = PeerOf(hwnd);
  if (!peer) return DefWindowProcW(hwnd, msg, wParam, lParam);
  // Nothing may unwind through the system's frames.
  try {
    TControl& control = peer->control();
    switch (msg) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        PaintContainer(*peer, peer->backend());
        return 0;
      case WM_COMMAND:
        Command(*peer, wParam, lParam);
        return 0;
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN: {
        // Check boxes and radio buttons take the colour of the container they lie on.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, Ref(control.Color()));
        SetTextColor(dc, Ref(control.Font().color));
        static thread_local std::map<TColor, HBRUSH> brushes;
        HBRUSH& brush = brushes[control.Color()];
        if (!brush) brush = CreateSolidBrush(Ref(control.Color()));
        return reinterpret_cast<LRESULT>(brush);
      }
      case DM_GETDEFID:
        if (peer->kind() == Kind::Form) {
          TButton* button = static_cast<TForm&>(control).DefaultButton();
          if (HWND b = HwndOf(button)) return MAKELRESULT(GetDlgCtrlID(b), DC_HASDEFID);
          return 0;
        }
        break;
      case WM_CLOSE:
        if (peer->kind() == Kind::Form) {
          auto& form = static_cast<TForm&>(control);
          form.App().Guard([&] { form.Close(); });
          return 0;
        }
        break;
      case WM_MOVE:
        if (peer->kind() == Kind::Form && !peer->updating) {
          RECT r;
          GetWindowRect(hwnd, &r);
          peer->updating = true;
          control.SetBounds(r.left, r.top, control.Width(), control.Height());
          peer->updating = false;
        }
        break;
      default:
        break;
    }
  } catch (...) {
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Backend::Dispatch(MSG& msg) {
  // Keyboard navigation of the form the message's window lies on.
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  WinPeer* peer = PeerOf(root);
  if (peer && peer->kind() == Kind::Form && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

HWND Win32Backend::OwnerWindow(TApplication& app) {
  if (TForm* modal = app.ActiveModalForm()) return HwndOf(modal);
  return HwndOf(app.MainForm());
}

void Win32Backend::RunModal(TForm& form) {
  HWND hwnd = HwndOf(&form);
  // Every other window of the program stops taking input while this one is modal.
  std::vector<HWND> disabled;
  for (TForm* other : form.App().Forms()) {
    HWND h = HwndOf(other);
    if (other != &form && h && IsWindowEnabled(h)) {
      EnableWindow(h, FALSE);
      disabled.push_back(h);
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
  bool quit = false;
  int quitCode = 0;
  while (!form.ModalEnds()) {
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      if (form.ModalResult() == mrNone) form.SetModalResult(mrCancel);
      break;
    }
    Dispatch(msg);
  }
  for (HWND h : disabled) EnableWindow(h, TRUE);
  if (HWND owner = HwndOf(form.OwnerForm())) SetActiveWindow(owner);
  if (quit) PostQuitMessage(quitCode);
}

void Win32Backend::ProcessMessages(TApplication&) {
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
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
    Dispatch(msg);
  }
}

int Win32Backend::MessageDialog(TApplication& app, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) {
  const MessageBoxPlan plan = PlanMessageBox(buttons);
  UINT type = plan.type | MB_DEFBUTTON1;
  switch (kind) {
    case TMsgDlgType::mtWarning: type |= MB_ICONWARNING; break;
    case TMsgDlgType::mtError: type |= MB_ICONERROR; break;
    case TMsgDlgType::mtInformation: type |= MB_ICONINFORMATION; break;
    case TMsgDlgType::mtConfirmation: type |= MB_ICONQUESTION; break;
  }
  tMessageBoxFont = fonts_.Get(TFont());
  tMessageBoxPlan = &plan;
  tMessageBoxHook = SetWindowsHookExW(WH_CBT, MessageBoxHook, nullptr, GetCurrentThreadId());
  int id = MessageBoxW(OwnerWindow(app), ToWide(text).c_str(), ToWide(DialogCaption(kind)).c_str(), type);
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

}  // namespace

std::unique_ptr<Backend> CreateWin32Backend() { return std::make_unique<Win32Backend>(); }

void* NativeHandle(const TControl& control) {
  auto* peer = static_cast<WinPeer*>(control.Peer());
  return peer ? peer->hwnd() : nullptr;
}

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
