// One-line edits (the system's EDIT) and multi-line plain-text boxes (RichEdit 2.0 where
// the system has it, else a multi-line EDIT).

#include "toolkit/win32/peer.h"

#include <richedit.h>
#include <string>

#include "platform/win32/text.h"
#include "toolkit/controls.h"

namespace zarn {
namespace win32ui {

namespace {

class EditPeer : public WinPeer {
 public:
  EditPeer(Win32Backend& backend, TEdit& edit) : WinPeer(backend, edit), edit_(&edit) {
    CreateChild(L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
  }
  EditPeer(Win32Backend& backend, TRichEdit& rich) : WinPeer(backend, rich), rich_(&rich) {
    CreateChild(backend.HasRichEdit() ? RICHEDIT_CLASSW : L"EDIT",
                ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_READONLY, WS_EX_CLIENTEDGE);
    if (backend.HasRichEdit()) {
      SendMessageW(hwnd_, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
      SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, Ref(rich.Color()));
    }
  }

  // The text as the user changed it.
  void Notify(int code) override {
    if (code != EN_CHANGE) return;
    int n = GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(hwnd_, &text[0], n + 1);
    text.resize(static_cast<size_t>(n));
    control_.PeerSetText(win32::FromWide(text));
  }

 protected:
  void Apply(TProp what) override {
    switch (what) {
      case TProp::ReadOnly:
        SendMessageW(hwnd_, EM_SETREADONLY, edit_ ? edit_->ReadOnly() : rich_->ReadOnly(), 0);
        break;
      case TProp::MaxLength:
        if (edit_) SendMessageW(hwnd_, EM_LIMITTEXT, edit_->MaxLength(), 0);
        else SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, rich_->MaxLength() > 0 ? rich_->MaxLength() : 0x7FFFFFFE);
        break;
      case TProp::Color:
        if (rich_ && backend_.HasRichEdit()) SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, Ref(rich_->Color()));
        WinPeer::Apply(what);
        break;
      default:
        WinPeer::Apply(what);
    }
  }

 private:
  TEdit* edit_ = nullptr;
  TRichEdit* rich_ = nullptr;
};

}  // namespace

std::unique_ptr<WinPeer> MakeEditPeer(Win32Backend& backend, TControl& control) {
  if (auto* edit = dynamic_cast<TEdit*>(&control)) return std::make_unique<EditPeer>(backend, *edit);
  if (auto* rich = dynamic_cast<TRichEdit*>(&control)) return std::make_unique<EditPeer>(backend, *rich);
  return nullptr;
}

}  // namespace win32ui
}  // namespace zarn
