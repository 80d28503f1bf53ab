// The directory list (the system's LISTBOX) and the drive list (a drop-down COMBOBOX).

#include "toolkit/win32/peer.h"

#include <cctype>
#include <string>
#include <vector>

#include "platform/win32/text.h"
#include "toolkit/forms.h"

namespace zarn {
namespace win32ui {

namespace {

using win32::ToWide;

// The messages that empty, fill and select in a list box or a combo box.
struct ListMessages {
  UINT reset, add, select;
};

void Fill(HWND hwnd, ListMessages m, const std::vector<std::string>& items, int index) {
  SendMessageW(hwnd, m.reset, 0, 0);
  for (const std::string& item : items) SendMessageW(hwnd, m.add, 0, reinterpret_cast<LPARAM>(ToWide(item).c_str()));
  SendMessageW(hwnd, m.select, static_cast<WPARAM>(index), 0);
}

class ListPeer : public WinPeer {
 public:
  ListPeer(Win32Backend& backend, TDirectoryListBox& list) : WinPeer(backend, list), list_(list) {
    CreateChild(L"LISTBOX", LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE);
    showsCaption_ = false;
  }
  // A double-click opens the folder.
  void Notify(int code) override {
    if (code != LBN_DBLCLK) return;
    int sel = static_cast<int>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
    if (sel >= 0) list_.OpenItem(sel);
  }

 protected:
  void Apply(TProp what) override {
    switch (what) {
      case TProp::Items:
      case TProp::ItemIndex:
        Fill(hwnd_, {LB_RESETCONTENT, LB_ADDSTRING, LB_SETCURSEL}, list_.Items(), list_.ItemIndex());
        break;
      default:
        WinPeer::Apply(what);
    }
  }

 private:
  TDirectoryListBox& list_;
};

class ComboPeer : public WinPeer {
 public:
  ComboPeer(Win32Backend& backend, TDriveComboBox& combo) : WinPeer(backend, combo), combo_(combo) {
    CreateChild(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 0);
    showsCaption_ = false;
  }
  // Choosing a drive moves to it; a drive that is refused leaves the one in use shown.
  void Notify(int code) override {
    if (code != CBN_SELCHANGE) return;
    int sel = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
    if (sel < 0 || sel >= static_cast<int>(combo_.Items().size())) return;
    char letter = static_cast<char>(toupper(static_cast<unsigned char>(combo_.Items()[static_cast<size_t>(sel)][0])));
    combo_.Application().Guard([&] { combo_.SetDrive(letter); });
    Update(TProp::ItemIndex);
  }

 protected:
  void Apply(TProp what) override {
    switch (what) {
      case TProp::Items:
      case TProp::ItemIndex:
        Fill(hwnd_, {CB_RESETCONTENT, CB_ADDSTRING, CB_SETCURSEL}, combo_.Items(), combo_.ItemIndex());
        break;
      default:
        WinPeer::Apply(what);
    }
  }
  int DropDownHeight() const override { return 200; }

 private:
  TDriveComboBox& combo_;
};

}  // namespace

std::unique_ptr<WinPeer> MakeListPeer(Win32Backend& backend, TControl& control) {
  if (auto* list = dynamic_cast<TDirectoryListBox*>(&control)) return std::make_unique<ListPeer>(backend, *list);
  if (auto* combo = dynamic_cast<TDriveComboBox*>(&control)) return std::make_unique<ComboPeer>(backend, *combo);
  return nullptr;
}

}  // namespace win32ui
}  // namespace zarn
