// toolkit-gallery: one window with every control of the toolkit, Japanese captions, and
// a button for each kind of message dialog. On Windows it opens the window; on Linux it
// renders the window headless to a PNG file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "runtime/error.h"
#include "common/form_viewer.h"
#include "toolkit/forms.h"
#include "toolkit/headless/headless.h"
#include "toolkit/pictures.h"

namespace zarn {
namespace {

class TGalleryForm : public TForm {
 public:
  TGradBoxControl GradBox{*this, "GradBox"};
  TLabel LabelTitle{*this, "LabelTitle"};
  TDXPaintBox PaintBox{*this, "PaintBox"};
  TLabel Label1{*this, "Label1"};
  TLabel LabelRight{*this, "LabelRight"};
  TLabel LabelStrip{*this, "LabelStrip"};
  TCheckBox CheckLicense{*this, "CheckLicense"};
  TCheckBox CheckProg{*this, "CheckProg"};
  TRadioButton RadioDiskAll{*this, "RadioDiskAll"};
  TRadioButton RadioDiskThis{*this, "RadioDiskThis"};
  TRichEdit EditHello{*this, "EditHello"};
  TNotebook Notebook{*this, "Notebook", {"folder", "other"}};
  TEdit EditDir{Notebook.Page(0), "EditDir"};
  TDirectoryListBox Directory{Notebook.Page(0), "Directory"};
  TDriveComboBox Drive{Notebook.Page(0), "Drive"};
  TLabel LabelOther{Notebook.Page(1), "LabelOther"};
  TButton btnPage{*this, "btnPage"};
  TProgressBar Progress{*this, "Progress"};
  TLabel LabelCopy{*this, "LabelCopy"};
  TBevel Bevel1{*this, "Bevel1"};
  TButton btnWarning{*this, "btnWarning"};
  TButton btnError{*this, "btnError"};
  TButton btnInfo{*this, "btnInfo"};
  TButton btnConfirm{*this, "btnConfirm"};
  TButton btnReport{*this, "btnReport"};
  TLabel LabelResult{*this, "LabelResult"};
  TButton btnClose{*this, "btnClose"};

  explicit TGalleryForm(TApplication& app) : TForm(app, nullptr, "GalleryForm") {
    RunCreate([this] { FormCreate(); });
  }

 private:
  void Place(TControl& c, int l, int t, int w, int h, const std::string& caption = "") {
    c.SetBounds(l, t, w, h);
    if (!caption.empty()) c.SetCaption(caption);
  }

  void FormCreate() {
    SetCaption("ツールキットの見本");
    SetClientWidth(600);
    SetClientHeight(420);
    Place(GradBox, 0, 0, 600, 44);
    GradBox.SetStartColor(clBlue);
    GradBox.SetEndColor(clNavy);
    LabelTitle.SetTransparent(true);
    LabelTitle.SetFontColor(clWhite);
    Place(LabelTitle, 12, 16, 0, 0, "ツールキットの見本 ― すべてのコントロール");
    Place(PaintBox, 488, 52, 100, 76);
    PaintBox.DIB().SetSize(50, 38, 24);
    for (int y = 0; y < 38; ++y)
      for (int x = 0; x < 50; ++x)
        PaintBox.DIB().Canvas().FillRect(Bounds(x, y, 1, 1), MakeColor(x * 5, y * 6, 255 - x * 5));
    PaintBox.SetStretch(true);
    Place(Label1, 12, 56, 0, 0, "左寄せのラベル（自動サイズ）");
    LabelRight.SetAutoSize(false);
    LabelRight.SetAlignment(TAlignment::taRightJustify);
    Place(LabelRight, 12, 76, 460, 12, "右寄せのラベル");
    LabelStrip.SetAutoSize(false);
    LabelStrip.SetAlignment(TAlignment::taRightJustify);
    LabelStrip.SetColor(clBlack);
    LabelStrip.SetFontColor(clWhite);
    Place(LabelStrip, 12, 96, 460, 14, "黒地に白い文字のラベル ");
    Place(CheckLicense, 12, 120, 200, 17, "同意する(&P)");
    CheckLicense.SetChecked(true);
    Place(CheckProg, 220, 120, 160, 17, "プログラム");
    CheckProg.SetChecked(true);
    CheckProg.SetEnabled(false);
    Place(RadioDiskAll, 12, 142, 200, 17, "全てのディスクをインストール");
    RadioDiskAll.SetChecked(true);
    Place(RadioDiskThis, 220, 142, 200, 17, "このディスクをインストール");
    Place(EditHello, 12, 166, 280, 110);
    EditHello.SetMaxLength(5242880);
    EditHello.SetText(
        "ようこそ。\r\nこのプログラムは物語をコンピュータにインストールします。\r\n"
        "続けるには [次へ] をクリックしてください。\r\n\r\n以下は長い行の例です：あいうえおかきくけこさしすせそ");
    Place(Notebook, 300, 166, 288, 118);
    Place(EditDir, 0, 0, 288, 20, "C:\\ゲーム\\物語");
    Place(Directory, 0, 24, 288, 70);
    Place(Drive, 0, 98, 288, 18);
    Drive.SetDirList(&Directory);
    try {
      Directory.SetDirectory(App().platform().GetCurrentDirectory());
    } catch (const EZarnError&) {
    }
    Directory.OnChange = [this](TControl&) { EditDir.SetText(Directory.Directory()); };
    Place(LabelOther, 8, 8, 0, 0, "二枚目のページです");
    Place(btnPage, 300, 290, 120, 25, "ページ切替(&T)");
    btnPage.OnClick = [this](TControl&) { Notebook.SetPageIndex(1 - Notebook.PageIndex()); };
    Place(Progress, 12, 286, 280, 16);
    Progress.SetPosition(60);
    Place(LabelCopy, 12, 306, 0, 0, "ファイルをコピーしています… 60%");
    Bevel1.SetShape(TBevelShape::bsTopLine);
    Place(Bevel1, 0, 332, 600, 12);
    Place(btnWarning, 12, 344, 90, 25, "警告(&W)");
    Place(btnError, 106, 344, 90, 25, "エラー(&E)");
    Place(btnInfo, 200, 344, 90, 25, "情報(&I)");
    Place(btnConfirm, 294, 344, 90, 25, "確認(&Q)");
    Place(btnReport, 388, 344, 110, 25, "エラー報告(&R)");
    btnWarning.OnClick = [this](TControl&) {
      Show(App().MessageDlg("正しいインストール先を指定してください", mtWarning, mbOK));
    };
    btnError.OnClick = [this](TControl&) {
      Show(App().MessageDlg("ファイルが壊れています", mtError, mbOK | mbAbort));
    };
    btnInfo.OnClick = [this](TControl&) { Show(App().MessageDlg("インストールが完了しました", mtInformation, mbOK)); };
    btnConfirm.OnClick = [this](TControl&) {
      Show(App().MessageDlg("インストールを中断しますか？", mtConfirmation, mbYesNo | mbCancel));
    };
    btnReport.OnClick = [](TControl&) { throw EZarnError("game.dat:ファイルがありません"); };
    Place(LabelResult, 12, 388, 0, 0, "結果: まだありません");
    Place(btnClose, 500, 384, 88, 25, "閉じる(&C)");
    btnClose.SetDefault(true);
    btnClose.SetCancel(true);
    btnClose.SetModalResult(mrOk);
  }

  void Show(int result) { LabelResult.SetCaption("結果: " + std::to_string(result)); }
};

int Usage(FILE* to, int status) {
  std::fputs(
      "usage: toolkit-gallery [--png FILE] [--seconds N]\n"
      "Shows one window with every control of the toolkit and a button for each kind of\n"
      "message dialog.\n"
      "  --png FILE   render the window headless into a PNG file and end (Linux builds)\n"
      "  --seconds N  close the window by itself after N seconds (Windows builds)\n",
      to);
  return status;
}

}  // namespace
}  // namespace zarn

int main(int argc, char** argv) {
  using namespace zarn;
  std::string png;
  int seconds = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") return Usage(stdout, 0);
    if (a == "--png" && i + 1 < argc) png = argv[++i];
    else if (a == "--seconds" && i + 1 < argc) seconds = std::atoi(argv[++i]);
    else return Usage(stderr, 2);
  }
  if (std::string problem = FormViewerUsageError(png); !problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", "toolkit-gallery", problem.c_str());
    return 2;
  }
  try {
    std::unique_ptr<Platform> platform = CreateHostPlatform();
    TFormViewer viewer(*platform, png, "toolkit-gallery");
    viewer.App().SetTitle("ツールキットの見本");
    TGalleryForm form(viewer.App());
    viewer.Show(form, seconds);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "toolkit-gallery: %s\n", e.what());
    return 1;
  }
}
