// What the Win32 backend's files share: the peer of a control (its window), one kind of
// peer per kind of control (containers, buttons, edits, lists, progress bars), GDI
// objects cached for a run, the canvas over a device context, and the backend itself.
// Each file of the backend includes this first, so no toolkit header meets the TextOut
// macro of <windows.h>.
#pragma once

#include <windows.h>
// The canvas's TextOut is the toolkit's own, not the GDI function's A/W macro.
#undef TextOut

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "toolkit/backend.h"
#include "toolkit/canvas.h"

namespace zarn {

class TApplication;
class TControl;
class TForm;

namespace win32ui {

inline COLORREF Ref(TColor c) { return RGB(ColorRed(c), ColorGreen(c), ColorBlue(c)); }

// Fonts by their description, made once per run and deleted with the backend.
class FontCache {
 public:
  FontCache() = default;
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  ~FontCache();
  HFONT Get(const TFont& font);

 private:
  std::map<std::string, HFONT> fonts_;
};

// Solid brushes by colour, made once per run and deleted with the backend.
class BrushCache {
 public:
  BrushCache() = default;
  BrushCache(const BrushCache&) = delete;
  BrushCache& operator=(const BrushCache&) = delete;
  ~BrushCache();
  HBRUSH Get(TColor color);

 private:
  std::map<TColor, HBRUSH> brushes_;
};

// A canvas over a device context (the off-screen bitmap of a container).
class DCCanvas : public TCanvas {
 public:
  DCCanvas(HDC dc, FontCache& fonts) : dc_(dc), fonts_(fonts) {}
  void FillRect(const TRect& r, TColor color) override;
  void TextOut(int x, int y, const std::string& text, const TRect& clip) override;
  TSize TextExtent(const std::string& text) override;
  void StretchDraw(const TRect& dest, const TDIB& picture, const TRect& src) override;

 private:
  RECT Device(const TRect& r) const;
  bool ClipTo(RECT& rc) const;
  HDC dc_;
  FontCache& fonts_;
};

class Win32Backend;

// The window of one windowed control. The base shows what every window has (bounds,
// caption, visibility, enabled state, font); each kind adds its own properties and
// notifications.
class WinPeer : public ControlPeer {
 public:
  WinPeer(Win32Backend& backend, TControl& control) : backend_(backend), control_(control) {}
  ~WinPeer() override;
  HWND hwnd() const { return hwnd_; }
  TControl& control() { return control_; }
  Win32Backend& backend() { return backend_; }
  void Update(TProp what) final;
  void Invalidate(const TRect& r) override;
  void SetFocus() override;
  // Shows the control's whole state; called once, when the window exists.
  void UpdateAll();
  // A notification the window sent its parent (the code of its WM_COMMAND).
  virtual void Notify(int code) {}
  // A message to a window of the toolkit's own classes (forms and other containers);
  // false leaves it to the system.
  virtual bool Handle(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }
  // Set while the peer itself writes state to the window, so the window's notifications
  // of that change are not taken for the user's.
  bool updating = false;

 protected:
  // Makes the control's window a child of its parent's, of a system class or the
  // toolkit's container class.
  void CreateChild(const wchar_t* windowClass, DWORD style, DWORD exStyle);
  void Attach(HWND hwnd);
  // Shows one property; a kind handles its own and hands the rest to the base.
  virtual void Apply(TProp what);
  // Height the window has beyond the control's (a combo box's drop-down list).
  virtual int DropDownHeight() const { return 0; }

  Win32Backend& backend_;
  TControl& control_;
  HWND hwnd_ = nullptr;
  // False for windows whose text is their content, not a caption (lists, progress bars).
  bool showsCaption_ = true;
};

WinPeer* PeerOf(HWND hwnd);
HWND HwndOf(const TControl* control);

// The peers of each kind of control; nullptr when the control is of another kind.
std::unique_ptr<WinPeer> MakeContainerPeer(Win32Backend& backend, TControl& control);
std::unique_ptr<WinPeer> MakeButtonPeer(Win32Backend& backend, TControl& control);
std::unique_ptr<WinPeer> MakeEditPeer(Win32Backend& backend, TControl& control);
std::unique_ptr<WinPeer> MakeListPeer(Win32Backend& backend, TControl& control);
std::unique_ptr<WinPeer> MakeProgressPeer(Win32Backend& backend, TControl& control);

// Window classes of forms and of the other containers; both use ContainerProc.
extern const wchar_t kFormClass[];
extern const wchar_t kPanelClass[];
LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

class Win32Backend : public Backend {
 public:
  Win32Backend();
  ~Win32Backend() override;

  std::unique_ptr<ControlPeer> CreatePeer(TControl& control) override;
  void RunModal(TForm& form) override;
  void ProcessMessages(TApplication& app) override;
  void Run(TApplication& app) override;
  int MessageDialog(TApplication& app, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override;
  void ShowError(TApplication& app, const std::string& text) override;
  TSize ScreenSize() override;
  TSize TextExtent(const TFont& font, const std::string& text) override;

  FontCache& fonts() { return fonts_; }
  BrushCache& brushes() { return brushes_; }
  bool HasRichEdit() const { return richEdit_ != nullptr; }
  int NextChildId() { return nextId_++; }
  // Runs the handling of one window message. Nothing may unwind through the system's
  // frames: an error goes to the application's error report, as a handler's does, and
  // whatever the report lets through (a scripted user's failure, an error of the report
  // itself) is raised again when the message loop has the message back.
  void HandleMessage(TControl& control, const std::function<void()>& handling);

 private:
  void Dispatch(MSG& msg);
  void RaisePending();
  HWND OwnerWindow(TApplication& app);
  FontCache fonts_;
  BrushCache brushes_;
  HMODULE richEdit_ = nullptr;
  int nextId_ = 100;
  std::exception_ptr pending_;
};

}  // namespace win32ui
}  // namespace zarn
