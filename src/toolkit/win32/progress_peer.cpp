// The progress bar: the common controls' progress window.

#include "toolkit/win32/peer.h"

#include <commctrl.h>

#include "toolkit/controls.h"

namespace zarn {
namespace win32ui {

namespace {

class ProgressPeer : public WinPeer {
 public:
  ProgressPeer(Win32Backend& backend, TProgressBar& bar) : WinPeer(backend, bar), bar_(bar) {
    CreateChild(PROGRESS_CLASSW, 0, 0);
    showsCaption_ = false;
  }

 protected:
  void Apply(TProp what) override {
    switch (what) {
      case TProp::Range:
      case TProp::Position:
        SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(bar_.Min()), bar_.Max());
        SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(bar_.Position()), 0);
        break;
      default:
        WinPeer::Apply(what);
    }
  }

 private:
  TProgressBar& bar_;
};

}  // namespace

std::unique_ptr<WinPeer> MakeProgressPeer(Win32Backend& backend, TControl& control) {
  if (auto* bar = dynamic_cast<TProgressBar*>(&control)) return std::make_unique<ProgressPeer>(backend, *bar);
  return nullptr;
}

}  // namespace win32ui
}  // namespace zarn
