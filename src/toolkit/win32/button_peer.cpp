// Push buttons, check boxes and radio buttons: the system's BUTTON windows.

#include "toolkit/win32/peer.h"

#include "toolkit/controls.h"

namespace zarn {
namespace win32ui {

namespace {

class ButtonPeer : public WinPeer {
 public:
  ButtonPeer(Win32Backend& backend, TControl& control, DWORD style) : WinPeer(backend, control) {
    CreateChild(L"BUTTON", style, 0);
  }
  void Notify(int code) override {
    if (code == BN_CLICKED && control_.CanUserAct()) control_.UserClick();
  }

 protected:
  void Apply(TProp what) override {
    switch (what) {
      case TProp::Checked:
        if (auto* box = dynamic_cast<TCheckBox*>(&control_)) SetCheck(box->Checked());
        else if (auto* radio = dynamic_cast<TRadioButton*>(&control_)) SetCheck(radio->Checked());
        break;
      case TProp::Default:
        if (auto* button = dynamic_cast<TButton*>(&control_))
          SendMessageW(hwnd_, BM_SETSTYLE, button->Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        break;
      default:
        WinPeer::Apply(what);
    }
  }

 private:
  void SetCheck(bool checked) { SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }
};

}  // namespace

std::unique_ptr<WinPeer> MakeButtonPeer(Win32Backend& backend, TControl& control) {
  if (dynamic_cast<TButton*>(&control)) return std::make_unique<ButtonPeer>(backend, control, BS_PUSHBUTTON);
  if (dynamic_cast<TCheckBox*>(&control)) return std::make_unique<ButtonPeer>(backend, control, BS_CHECKBOX);
  if (!dynamic_cast<TRadioButton*>(&control)) return nullptr;
  // The first radio button of a parent starts a group.
  DWORD style = BS_RADIOBUTTON;
  for (TControl* sibling : control.Parent()->Controls())
    if (dynamic_cast<TRadioButton*>(sibling)) {
      if (sibling == &control) style |= WS_GROUP;
      break;
    }
  return std::make_unique<ButtonPeer>(backend, control, style);
}

}  // namespace win32ui
}  // namespace zarn
