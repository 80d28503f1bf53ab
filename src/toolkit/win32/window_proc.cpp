// The toolkit's own windows: forms and the containers on them (notebooks, pages, panels).
// Their window procedure paints the container and its graphic controls, passes the
// notifications of child windows to their peers and answers the dialog manager.

#include "toolkit/win32/peer.h"

#include <exception>
#include <string>

#include "toolkit/forms.h"

namespace zarn {
namespace win32ui {

const wchar_t kFormClass[] = L"ZarnForm";
const wchar_t kPanelClass[] = L"ZarnPanel";

namespace {

// BeginPaint and EndPaint around an off-screen bitmap of the client area, copied to the
// window when painting ends, also when a control's painting failed part way.
class OffscreenPaint {
 public:
  explicit OffscreenPaint(HWND hwnd) : hwnd_(hwnd) {
    dc_ = BeginPaint(hwnd_, &ps_);
    RECT client;
    GetClientRect(hwnd_, &client);
    width_ = client.right, height_ = client.bottom;
    if (width_ <= 0 || height_ <= 0) return;
    mem_ = CreateCompatibleDC(dc_);
    bitmap_ = CreateCompatibleBitmap(dc_, width_, height_);
    old_ = SelectObject(mem_, bitmap_);
  }
  ~OffscreenPaint() {
    if (mem_) {
      const RECT& r = ps_.rcPaint;
      BitBlt(dc_, r.left, r.top, r.right - r.left, r.bottom - r.top, mem_, r.left, r.top, SRCCOPY);
      SelectObject(mem_, old_);
      DeleteObject(bitmap_);
      DeleteDC(mem_);
    }
    EndPaint(hwnd_, &ps_);
  }
  OffscreenPaint(const OffscreenPaint&) = delete;
  OffscreenPaint& operator=(const OffscreenPaint&) = delete;
  // The bitmap's device context; nullptr when the client area is empty.
  HDC dc() const { return mem_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_ = {};
  HDC dc_ = nullptr, mem_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  int width_ = 0, height_ = 0;
};

class ContainerPeer : public WinPeer {
 public:
  ContainerPeer(Win32Backend& backend, TControl& control) : WinPeer(backend, control) {}
  bool Handle(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (msg) {
      case WM_ERASEBKGND:
        result = 1;
        return true;
      case WM_PAINT:
        Paint();
        return true;
      case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return true;
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN: {
        // Check boxes and radio buttons take the colour of the container they lie on.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, Ref(control_.Color()));
        SetTextColor(dc, Ref(control_.Font().color));
        result = reinterpret_cast<LRESULT>(backend_.brushes().Get(control_.Color()));
        return true;
      }
      default:
        return false;
    }
  }

 protected:
  // Paints the container's background, then its graphic controls in creation order,
  // through an off-screen bitmap so nothing flickers. A failure is reported once: the
  // report's box would otherwise uncover the window and repeat it for ever.
  void Paint() {
    try {
      OffscreenPaint paint(hwnd_);
      if (!paint.dc()) return;
      DCCanvas canvas(paint.dc(), backend_.fonts());
      canvas.SetClip({0, 0, paint.width(), paint.height()});
      canvas.FillRect({0, 0, paint.width(), paint.height()}, control_.Color());
      canvas.font = control_.Font();
      static_cast<TWinControl&>(control_).PaintGraphicChildren(canvas);
      lastPaintError_.clear();
    } catch (const std::exception& e) {
      if (e.what() == lastPaintError_) return;
      lastPaintError_ = e.what();
      throw;
    }
  }

  // A notification from a child window, or Enter and Esc from the dialog manager.
  void Command(int id, int code, HWND from) {
    WinPeer* child = PeerOf(from);
    if (!child) {
      // Enter without a default button gives IDOK, Esc gives IDCANCEL.
      if (id == IDCANCEL)
        if (TButton* cancel = control_.Form().CancelButton()) cancel->UserClick();
      return;
    }
    if (!child->updating) child->Notify(code);
  }

 private:
  std::string lastPaintError_;
};

// A container of controls on a form: a notebook, one of its pages, a panel.
class PanelPeer : public ContainerPeer {
 public:
  PanelPeer(Win32Backend& backend, TControl& control) : ContainerPeer(backend, control) {
    CreateChild(kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
  }
};

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

// A top-level window. Its control's size is that of the client area.
class FormPeer : public ContainerPeer {
 public:
  FormPeer(Win32Backend& backend, TForm& form) : ContainerPeer(backend, form), form_(form) {
    DWORD exStyle;
    DWORD style = FormStyle(form, exStyle);
    Attach(CreateWindowExW(exStyle, kFormClass, L"", style, form.Left(), form.Top(), form.Width(), form.Height(),
                           HwndOf(form.OwnerForm()), nullptr, GetModuleHandleW(nullptr), nullptr));
  }

  bool Handle(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (msg) {
      case DM_GETDEFID:
        if (HWND b = HwndOf(form_.DefaultButton())) result = MAKELRESULT(GetDlgCtrlID(b), DC_HASDEFID);
        else result = 0;
        return true;
      case WM_CLOSE:
        form_.Close();
        result = 0;
        return true;
      case WM_MOVE:
        if (!updating) {
          RECT r;
          GetWindowRect(hwnd_, &r);
          updating = true;
          struct Done {
            bool& flag;
            ~Done() { flag = false; }
          } done{updating};
          form_.SetBounds(r.left, r.top, form_.Width(), form_.Height());
        }
        return false;
      default:
        return ContainerPeer::Handle(msg, wParam, lParam, result);
    }
  }

 protected:
  void Apply(TProp what) override {
    switch (what) {
      case TProp::Bounds: {
        DWORD exStyle;
        DWORD style = FormStyle(form_, exStyle);
        SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(style | (IsWindowVisible(hwnd_) ? WS_VISIBLE : 0)));
        RECT r = {0, 0, form_.Width(), form_.Height()};
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
        SetWindowPos(hwnd_, nullptr, form_.Left(), form_.Top(), r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        break;
      }
      case TProp::Visible:
        ShowWindow(hwnd_, form_.Visible() ? SW_SHOW : SW_HIDE);
        if (form_.Visible()) SetForegroundWindow(hwnd_);
        break;
      default:
        ContainerPeer::Apply(what);
    }
  }

 private:
  TForm& form_;
};

}  // namespace

std::unique_ptr<WinPeer> MakeContainerPeer(Win32Backend& backend, TControl& control) {
  if (auto* form = dynamic_cast<TForm*>(&control)) return std::make_unique<FormPeer>(backend, *form);
  return std::make_unique<PanelPeer>(backend, control);
}

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WinPeer* peer = PeerOf(hwnd);
  if (!peer) return DefWindowProcW(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  bool handled = false;
  peer->backend().HandleMessage(peer->control(), [&] { handled = peer->Handle(msg, wParam, lParam, result); });
  return handled ? result : DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace win32ui
}  // namespace zarn
