// zarn-wizard-pages: shows one page of the install wizard, the start menu or one of the
// message boxes the player can meet, with a sample game's settings, to look at their
// layout and texts. On Windows it opens the real window (for a screenshot); on Linux it
// renders it headless to a PNG file.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "archive/archive_reader.h"
#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "common/form_viewer.h"
#include "launcher/start_menu.h"
#include "toolkit/forms.h"
#include "wizard/wizard_window.h"

namespace zarn {
namespace {

const char* const kPages[] = {"Hello", "License", "Media", "file", "seldir", "confirm", "copy", "exit", "uninst",
                              "delete"};

// The start menu, shown by the name "start".
const char* const kStartMenu = "start";

// The message boxes the program shows, with the texts a player meets them with.
struct SampleDialog {
  const char* name;
  TMsgDlgType kind;
  const char* text;
  TMsgDlgButtons buttons;
  bool errorReport;  // the general error report, titled with the program's title
};
const SampleDialog kDialogs[] = {
    {"disc", TMsgDlgType::mtInformation, "ディスク2を入れてからOKをクリックしてください", mbOK | mbAbort, false},
    {"abort", TMsgDlgType::mtConfirmation, "インストールを中断しますか？", mbYesNo, false},
    {"abort-uninst", TMsgDlgType::mtConfirmation, "アンインストールを中断しますか？", mbYesNo, false},
    {"bad-folder", TMsgDlgType::mtWarning, "正しいインストール先を指定してください", mbOK, false},
    {"drive-folder", TMsgDlgType::mtWarning,
     "インストール先はドライブ名から始まるフォルダ（C:\\Games\\ゲーム など）で指定してください", mbOK, false},
    {"no-space", TMsgDlgType::mtWarning, "ドライブにじゅうぶんな空き容量がありません\r\nこのまま処理を続けますか？",
     mbYesNo, false},
    {"no-folder", TMsgDlgType::mtWarning, "ディレクトリを作成できませんでした", mbOK, false},
    {"damaged", TMsgDlgType::mtWarning,
     "ファイルの内容が正しくありません\r\nインストールしなおしてください\r\n何度も失敗する場合は、スキャンディスクを実行"
     "して\r\nハードディスクに異常がないか調べてください",
     mbOK, false},
    {"build-error", TMsgDlgType::mtError, "エラー:graphic.arc", mbOK, false},
    {"admin", TMsgDlgType::mtWarning, "管理者権限で実行してください", mbOK, false},
    {"no-settings", TMsgDlgType::mtWarning, "インストール設定ファイルがありません", mbOK, false},
    {"no-copy", TMsgDlgType::mtWarning, "ファイルをコピーできません", mbOK, false},
    {"no-run", TMsgDlgType::mtWarning, "プログラムを実行できませんでした\r\nエラーコード[2]", mbOK, false},
    {"error-report", TMsgDlgType::mtError, "install.dat:ファイルがありません", mbOK, true},
};

int Usage(FILE* to, int status) {
  std::string dialogs;
  for (const SampleDialog& d : kDialogs) dialogs += std::string(dialogs.empty() ? "" : ", ") + d.name;
  std::fprintf(to,
               "usage: zarn-wizard-pages PAGE [--seconds N] [--png FILE]\n"
               "\n"
               "Shows the install wizard on one page, the start menu or a message box, filled\n"
               "in as for a sample game. PAGE is one of Hello, License, Media, file, seldir,\n"
               "confirm, copy, exit, uninst, delete (the wizard's pages), start (the start\n"
               "menu) or a message box: %s.\n"
               "The copy and delete pages are shown as their jobs show them while working; no\n"
               "job runs and nothing is installed.\n"
               "\n"
               "  --seconds N   close the window after N seconds (Windows; not message boxes)\n"
               "  --png FILE    render it to a PNG file instead (Linux)\n"
               "\n"
               "On Linux the machine is the emulated one in the folder ZARN_ROOT names (made when\n"
               "missing), so the folder page lists its C: drive.\n",
               dialogs.c_str());
  return status;
}

TZarnInstallSet SampleSettings(bool installed) {
  TZarnInstallSet s;
  s.Title = "物語";
  s.MediaName = "ディスク";
  s.DefaultDir = "<ProgramFiles>\\Zarn\\物語\\";
  s.ProgramFile = "game.exe";
  s.RegistryKey = "\\Zarn\\WizardPages";
  s.HelloText =
      "物語のセットアップへようこそ。\r\n\r\nこのプログラムは物語をコンピュータにインストールします。\r\n"
      "インストールを始める前に、他のアプリケーションを終了してください。";
  // Long enough to wrap and to need the scroll bar, as a real licence does.
  s.LicenseText =
      "使用許諾契約書\r\n\r\n"
      "本契約は、お客様と当社との間で締結される、本ソフトウェアの使用に関する契約です。本ソフトウェアをインストール"
      "または使用することにより、お客様は本契約の各条項に同意したものとみなされます。\r\n\r\n"
      "第1条（許諾）\r\n本ソフトウェアを一台のコンピュータで使用することを許諾します。\r\n\r\n"
      "第2条（禁止事項）\r\n本ソフトウェアの複製、改変、再配布、貸与、リバースエンジニアリング、逆コンパイルおよび"
      "逆アセンブルを禁止します。\r\n\r\n"
      "第3条（著作権）\r\n本ソフトウェアの著作権は当社に帰属します。本ソフトウェアに含まれる画像、音声、文章その他"
      "一切の著作物についても同様です。\r\n\r\n"
      "第4条（免責）\r\n当社は、本ソフトウェアの使用または使用不能から生じるいかなる損害についても責任を負いません。"
      "\r\n\r\n第5条（契約の終了）\r\nお客様が本契約に違反した場合、当社は本契約を直ちに終了できるものとします。";
  s.SetDiscCount(2);
  s.DiscProgramSizes = {15728640, 0};
  s.DiscDataSizes = {314572800, 262144000};
  s.DiscSoundSizes = {52428800, 104857600};
  s.DiscMovieSizes = {0, 209715200};
  s.ProgramSize = 15728640;
  s.DataSize = 576716800;
  s.SoundSize = 157286400;
  s.MovieSize = 209715200;
  s.Installed = installed;
  return s;
}

// Puts the wizard on a page. The job pages are set up as their jobs show them.
void GoTo(TFormType& w, int page) {
  switch (page) {
    case TFormType::pgCopy:
      w.Notebook.SetPageIndex(page);
      w.btnBack.Hide();
      w.btnNext.Hide();
      w.SetCaption(PageCaption(page, "ディスク"));
      w.Progress.SetRange(0, 1000);
      w.Progress.SetPosition(430);
      w.LabelCopy.SetCaption(Format("データファイルを構築中(%d/%d)...", 430, 1000));
      break;
    case TFormType::pgDelete:
      w.Notebook.SetPageIndex(page);
      w.btnNext.Hide();
      w.SetCaption(PageCaption(page, ""));
      w.LabelDelTitle.SetCaption("物語 を削除しています");
      w.LabelDel.SetCaption("ファイルを削除しています...");
      break;
    case TFormType::pgUninst:
      w.CheckDelSave.Show();
      break;
    case TFormType::pgFile:
    case TFormType::pgSelDir:
    case TFormType::pgConfirm:
      // As a person reaches them: discs chosen, two components ticked.
      w.ShowPage(TFormType::pgMedia);
      w.ShowPage(TFormType::pgFile);
      w.CheckData.SetChecked(true);
      w.CheckSound.SetChecked(true);
      if (page != TFormType::pgFile) w.ShowPage(TFormType::pgSelDir);
      if (page == TFormType::pgConfirm) w.ShowPage(page);
      break;
    case TFormType::pgExit:
      // After the copy page, which hid Back and Next.
      w.btnBack.Hide();
      w.btnNext.Hide();
      w.ShowPage(page);
      break;
    default:
      if (page != w.CurrentPage()) w.ShowPage(page);
      break;
  }
}

}  // namespace
}  // namespace zarn

int main(int argc, char** argv) {
  using namespace zarn;
  std::string png, pageName;
  int seconds = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") return Usage(stdout, 0);
    if (a == "--png" && i + 1 < argc) png = argv[++i];
    else if (a == "--seconds" && i + 1 < argc) seconds = std::atoi(argv[++i]);
    else if (pageName.empty() && a[0] != '-') pageName = a;
    else return Usage(stderr, 2);
  }
  int page = -1;
  for (int i = 0; i < TFormType::kPageCount; ++i)
    if (pageName == kPages[i]) page = i;
  const SampleDialog* dialog = nullptr;
  for (const SampleDialog& d : kDialogs)
    if (pageName == d.name) dialog = &d;
  bool startMenu = pageName == kStartMenu;
  if (page < 0 && !dialog && !startMenu) {
    std::fprintf(stderr, "zarn-wizard-pages: unknown page '%s'\n", pageName.c_str());
    return Usage(stderr, 2);
  }
  if (std::string problem = FormViewerUsageError(png); !problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", "zarn-wizard-pages", problem.c_str());
    return 2;
  }
  std::unique_ptr<Platform> platform;
  try {
    platform = CreateHostPlatform();  // may refuse a damaged machine: reported below
    bool uninstall = page == TFormType::pgUninst || page == TFormType::pgDelete;
    TZarnInstallSet settings = SampleSettings(uninstall);
    TVrFileCollection archive(*platform);
    TFormViewer viewer(*platform, png, "zarn-wizard-pages");
    TApplication& app = viewer.App();
    app.SetTitle(settings.GetSetupCaption());
    if (dialog) {
      viewer.ShowDialog(dialog->kind, dialog->text, dialog->buttons, dialog->errorReport);
      return 0;
    }
    if (startMenu) {
      TFormStart menu(app, settings, nullptr);  // no background picture: no medium
      viewer.Show(menu, seconds);
      return 0;
    }
    TRunContext run{*platform, app, settings, uninstall ? nullptr : &archive, "", nullptr};
    TFormType wizard(run, nullptr);
    wizard.OnCloseQuery = nullptr;  // a look at the page: closing asks nothing
    GoTo(wizard, page);
    viewer.Show(wizard, seconds);
    return 0;
  } catch (const std::exception& e) {
    std::string message = HostUtf8(e.what());
    std::fprintf(stderr, "zarn-wizard-pages: %s\n", message.c_str());
    return 1;
  }
}
