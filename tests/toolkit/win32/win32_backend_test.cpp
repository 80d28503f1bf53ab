// The Win32 backend against the real window system (Wine): texts, clicks, keyboard
// navigation, painting of graphic controls, message boxes and errors while handling
// window messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include <windows.h>

#include "platform/win32/text.h"
#include "support/test_machine.h"
#include "toolkit/forms.h"
#include "toolkit/win32/win32_backend.h"

namespace zarn {
namespace {

HWND H(const TControl& c) { return static_cast<HWND>(NativeHandle(c)); }

std::string WindowText(HWND h) {
  wchar_t buffer[512] = {};
  GetWindowTextW(h, buffer, 512);
  return win32::FromWide(buffer);
}

struct Win32Fixture : ::testing::Test {
  testing::TestMachine machine;
  std::unique_ptr<Backend> backend = CreateWin32Backend();
  TApplication app{machine.platform(), *backend};
};

struct WizardLikeForm : TForm {
  TButton btnBack{*this, "btnBack"};
  TButton btnNext{*this, "btnNext"};
  TButton btnAbort{*this, "btnAbort"};
  TCheckBox CheckLicense{*this, "CheckLicense"};
  TEdit EditDir{*this, "EditDir"};
  int nextClicks = 0, abortClicks = 0;
  explicit WizardLikeForm(TApplication& app) : TForm(app, nullptr, "FormType") {
    SetCaption("インストールタイプの選択");
    SetClientWidth(497);
    SetClientHeight(336);
    btnBack.SetBounds(244, 300, 75, 25);
    btnBack.SetCaption("< 戻る(&B)");
    btnNext.SetBounds(324, 300, 75, 25);
    btnNext.SetCaption("次へ(&N) >");
    btnNext.SetDefault(true);
    btnNext.OnClick = [this](TControl&) { ++nextClicks; };
    btnAbort.SetBounds(416, 300, 75, 25);
    btnAbort.SetCaption("中断(&A)");
    btnAbort.SetCancel(true);
    btnAbort.OnClick = [this](TControl&) { ++abortClicks; };
    CheckLicense.SetBounds(16, 264, 97, 17);
    CheckLicense.SetCaption("同意する(&P)");
    EditDir.SetBounds(16, 32, 465, 20);
    EditDir.SetText("C:\\ゲーム\\物語");
  }
};

using Win32FormTest = Win32Fixture;

TEST_F(Win32FormTest, JapaneseTextsReachTheWindows) {
  WizardLikeForm form(app);
  form.HandleNeeded();
  ASSERT_NE(H(form), nullptr);
  EXPECT_EQ(WindowText(H(form)), "インストールタイプの選択");
  EXPECT_EQ(WindowText(H(form.btnNext)), "次へ(&N) >");
  EXPECT_EQ(WindowText(H(form.EditDir)), "C:\\ゲーム\\物語");
  form.SetCaption("ようこそ");
  EXPECT_EQ(WindowText(H(form)), "ようこそ");
  // Typing into the edit comes back as Shift-JIS, with the change reported.
  int changes = 0;
  form.EditDir.OnChange = [&](TControl&) { ++changes; };
  SetWindowTextW(H(form.EditDir), win32::ToWide("D:\\物語").c_str());
  EXPECT_EQ(form.EditDir.Text(), "D:\\物語");
  EXPECT_EQ(changes, 1);
  RECT client;
  GetClientRect(H(form), &client);
  EXPECT_EQ(client.right, 497);
  EXPECT_EQ(client.bottom, 336);
}

TEST_F(Win32FormTest, StateChangesShowInTheControls) {
  WizardLikeForm form(app);
  form.HandleNeeded();
  form.btnBack.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(H(form.btnBack)));
  form.CheckLicense.SetChecked(true);
  EXPECT_EQ(SendMessageW(H(form.CheckLicense), BM_GETCHECK, 0, 0), BST_CHECKED);
  form.btnNext.Hide();
  EXPECT_FALSE(GetWindowLongW(H(form.btnNext), GWL_STYLE) & WS_VISIBLE);
  form.btnAbort.SetBounds(10, 20, 30, 40);
  RECT r;
  GetWindowRect(H(form.btnAbort), &r);
  EXPECT_EQ(r.right - r.left, 30);
  EXPECT_EQ(r.bottom - r.top, 40);
}

TEST_F(Win32FormTest, APostedClickEndsTheModalLoop) {
  WizardLikeForm form(app);
  form.btnNext.SetModalResult(mrOk);
  form.HandleNeeded();
  PostMessageW(H(form.CheckLicense), BM_CLICK, 0, 0);
  PostMessageW(H(form.btnNext), BM_CLICK, 0, 0);
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_TRUE(form.CheckLicense.Checked());
  EXPECT_EQ(form.nextClicks, 1);
  EXPECT_FALSE(IsWindowVisible(H(form)));
}

TEST_F(Win32FormTest, CloseQueryCanKeepTheWindowOpen) {
  WizardLikeForm form(app);
  int asked = 0;
  form.OnCloseQuery = [&](bool& canClose) { canClose = ++asked > 1; };
  form.HandleNeeded();
  PostMessageW(H(form), WM_CLOSE, 0, 0);
  PostMessageW(H(form), WM_CLOSE, 0, 0);
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
}

TEST_F(Win32FormTest, EnterEscAndMnemonicsPressTheirButtons) {
  WizardLikeForm form(app);
  form.btnBack.SetModalResult(mrOk);
  form.HandleNeeded();
  HWND edit = H(form.EditDir);
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(edit, WM_SYSCHAR, 'p', 1 << 29);  // Alt+P ticks the box
  PostMessageW(edit, WM_SYSCHAR, 'b', 1 << 29);  // Alt+B: back, which ends the loop
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(form.nextClicks, 1);
  EXPECT_EQ(form.abortClicks, 1);
  EXPECT_TRUE(form.CheckLicense.Checked());
}

TEST_F(Win32FormTest, TabMovesThroughTheControlsInCreationOrder) {
  WizardLikeForm form(app);
  form.btnBack.SetModalResult(mrOk);
  std::vector<HWND> focus;
  form.btnAbort.OnClick = [&](TControl&) {};
  form.HandleNeeded();
  ShowWindow(H(form), SW_SHOW);
  SetForegroundWindow(H(form));
  SetFocus(H(form.btnBack));
  for (int i = 0; i < 3; ++i) {
    MSG msg = {};
    msg.hwnd = GetFocus();
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_TAB;
    IsDialogMessageW(H(form), &msg);
    focus.push_back(GetFocus());
  }
  ASSERT_EQ(focus.size(), 3u);
  EXPECT_EQ(focus[0], H(form.btnNext));
  EXPECT_EQ(focus[1], H(form.btnAbort));
  EXPECT_EQ(focus[2], H(form.CheckLicense));
  form.Release();
}

// A graphic control that fills its area with one colour.
struct Swatch : TGraphicControl {
  TColor colour;
  Swatch(TWinControl& parent, TColor c, TRect r) : TGraphicControl(parent, "Swatch"), colour(c) {
    SetBounds(r.Left, r.Top, r.Width(), r.Height());
  }
  void Paint(TCanvas& canvas) override { canvas.FillRect(ClientRect(), colour); }
};

TEST_F(Win32FormTest, GraphicControlsPaintInCreationOrder) {
  TForm form(app, nullptr, "Form1");
  form.SetClientWidth(200);
  form.SetClientHeight(100);
  Swatch blue(form, clBlue, Bounds(0, 0, 120, 100));
  Swatch red(form, clRed, Bounds(80, 0, 120, 100));
  form.ShowForm();
  UpdateWindow(H(form));
  HDC dc = GetDC(H(form));
  COLORREF left = GetPixel(dc, 40, 50), middle = GetPixel(dc, 100, 50), right = GetPixel(dc, 160, 50);
  ReleaseDC(H(form), dc);
  EXPECT_EQ(left, RGB(0, 0, 255));
  EXPECT_EQ(middle, RGB(255, 0, 0));
  EXPECT_EQ(right, RGB(255, 0, 0));
  form.Release();
}

// Finds the message box the program shows, reads its buttons from left to right, the
// default one and those too narrow for their caption, and presses the button with the
// caption given (the default when empty).
struct BoxPresser {
  static BoxPresser* current;
  std::string press;
  std::vector<std::string> buttons;
  std::vector<std::string> clipped;
  std::string defaultButton;
  std::string text;
  static BOOL CALLBACK Child(HWND child, LPARAM) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    std::string t = WindowText(child);
    // The message is the longest text among the box's static controls.
    if (lstrcmpiW(cls, L"Static") == 0 && t.size() > current->text.size()) current->text = t;
    if (lstrcmpiW(cls, L"Button") == 0 && (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) {
      RECT r;
      GetWindowRect(child, &r);
      current->found.push_back({r.left, child});
    }
    return TRUE;
  }
  // The width of a button's caption on its font.
  static int CaptionWidth(HWND button) {
    wchar_t caption[64] = {};
    GetWindowTextW(button, caption, 64);
    HDC dc = GetDC(button);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(button, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, caption, -1, &r, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(button, dc);
    return r.right - r.left;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(L"#32770", nullptr);
    if (!box || !current) return;
    KillTimer(nullptr, timer);
    EnumChildWindows(box, Child, 0);
    std::sort(current->found.begin(), current->found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    HWND target = nullptr;
    for (const auto& [x, button] : current->found) {
      current->buttons.push_back(WindowText(button));
      if (CaptionWidth(button) > 0) {
        RECT inside;
        GetClientRect(button, &inside);
        if (CaptionWidth(button) + 4 > inside.right) current->clipped.push_back(current->buttons.back());
      }
      if ((GetWindowLongW(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) current->defaultButton = WindowText(button);
      if (!current->press.empty() && current->buttons.back() == current->press) target = button;
    }
    if (target) {
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(target), BN_CLICKED), reinterpret_cast<LPARAM>(target));
    } else {  // Enter, as a player presses it
      HWND focus = GetFocus();
      PostMessageW(focus ? focus : box, WM_KEYDOWN, VK_RETURN, 0);
    }
    if (current->then) PostMessageW(current->then, BM_CLICK, 0, 0);
  }
  HWND then = nullptr;  // a button to click once the box is gone
  std::vector<std::pair<LONG, HWND>> found;
  UINT_PTR timer = 0;
  explicit BoxPresser(std::string caption = "") : press(std::move(caption)) {
    current = this;
    timer = SetTimer(nullptr, 0, 200, Tick);
  }
  ~BoxPresser() {
    KillTimer(nullptr, timer);
    current = nullptr;
  }
};
BoxPresser* BoxPresser::current = nullptr;

// Every button set the program uses: the same buttons, in the same order, as the headless
// run shows, the first one the default, each wide enough for its caption and answering
// with its own result.
TEST_F(Win32FormTest, MessageBoxesShowTheDialogsButtonsInOrder) {
  const TMsgDlgButtons sets[] = {mbOK, mbOK | mbAbort, mbYesNo, mbYes | mbNo | mbCancel, mbOKCancel, mbAbort};
  for (TMsgDlgButtons set : sets) {
    std::vector<std::string> want;
    for (int i = 0; i < ButtonCount(set); ++i) want.push_back(ButtonCaption(ButtonAt(set, i)));
    for (int i = 0; i < ButtonCount(set); ++i) {
      SCOPED_TRACE("set " + std::to_string(set) + ", pressing " + want[i]);
      BoxPresser presser(i == 0 ? "" : want[i]);  // the first by Enter's default
      EXPECT_EQ(app.MessageDlg("ディスク2を入れてからOKをクリックしてください", mtInformation, set),
                ButtonResult(ButtonAt(set, i)));
      EXPECT_EQ(presser.buttons, want);
      EXPECT_EQ(presser.defaultButton, want[0]);
      EXPECT_TRUE(presser.clipped.empty()) << "too narrow for its caption: " << presser.clipped[0];
      EXPECT_EQ(presser.text, "ディスク2を入れてからOKをクリックしてください");
    }
  }
}

TEST_F(Win32FormTest, AnErrorInAHandlerIsReportedAndTheWindowGoesOn) {
  app.SetTitle("物語");
  WizardLikeForm form(app);
  form.btnNext.OnClick = [](TControl&) { throw EZarnError("game.dat:ファイルがありません"); };
  form.btnBack.SetModalResult(mrOk);
  form.HandleNeeded();
  BoxPresser presser;
  presser.then = H(form.btnBack);
  PostMessageW(H(form.btnNext), BM_CLICK, 0, 0);
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(presser.text, "game.dat:ファイルがありません");
}

// What fails while a window message is handled reaches the application: an error raised
// in painting or in a handler goes to the error report (a paint that fails every time is
// reported once, not at each repaint), and anything the report cannot take comes out of
// the message loop.
TEST_F(Win32FormTest, ErrorsWhileHandlingMessagesReachTheApplication) {
  struct FailingPaint : TGraphicControl {
    std::function<void()> fail;
    int paints = 0;
    explicit FailingPaint(TWinControl& parent) : TGraphicControl(parent, "Failing") { SetBounds(0, 0, 50, 50); }
    void Paint(TCanvas&) override {
      ++paints;
      if (fail) fail();
    }
  };
  enum class Via { Paint, Typing };
  struct Case {
    const char* name;
    Via via;
    bool reported;  // an error the report shows, or something else thrown
  } const cases[] = {
      {"paint", Via::Paint, true}, {"typing", Via::Typing, true}, {"paint, a thrown int", Via::Paint, false}};
  app.SetTitle("物語");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = std::string(c.name) + ": 続けられません";
    WizardLikeForm form(app);
    FailingPaint failing(form);
    auto fail = [&] {
      if (c.reported) throw EZarnError(message);
      throw 42;
    };
    if (c.via == Via::Paint) failing.fail = fail;
    else form.EditDir.OnChange = [&](TControl&) { fail(); };
    auto pump = [&](const BoxPresser& presser) {
      for (int i = 0; i < 50 && presser.text.empty(); ++i) {
        app.ProcessMessages();
        Sleep(20);
      }
    };
    BoxPresser presser;
    form.ShowForm();
    if (c.via == Via::Typing) SetWindowTextW(H(form.EditDir), win32::ToWide("D:\\物語").c_str());
    if (!c.reported) {
      EXPECT_THROW(pump(presser), int);
      EXPECT_EQ(presser.text, "");
      form.Release();
      continue;
    }
    pump(presser);
    EXPECT_EQ(presser.text, message);
    // The window goes on, and painting it again shows no second box.
    BoxPresser again;
    int paints = failing.paints;
    InvalidateRect(H(form), nullptr, FALSE);
    pump(again);
    EXPECT_GT(failing.paints, paints);
    EXPECT_EQ(again.text, "");
    form.Release();
  }
}

}  // namespace
}  // namespace zarn
