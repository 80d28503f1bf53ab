#include "launcher/start_menu.h"

#include <memory>

#include "archive/archive_reader.h"
#include "image/layered_image.h"
#include "launcher/launch_rules.h"
#include "settings/install_settings.h"
#include "settings/paths.h"

namespace zarn {

TFormStart::TFormStart(TApplication& app, const TZarnInstallSet& settings, TVrFileCollection* archive)
    : TForm(app, nullptr, "FormStart"), settings_(settings), archive_(archive) {
  SetBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);

  PaintBox.SetAlign(TAlign::alClient);
  struct Layout {
    TButton& button;
    int top, tag;
    const char* caption;
  };
  const Layout buttons[] = {
      {btnStart, 12, saStartGame, "ゲームスタート"},
      {btnInstall, 64, saInstall, "インストール"},
      {btnDirectX, 100, 2, "DirectXをインストール"},
      {btnWinMedia, 136, 3, "WindowsMediaPlayerをインストール"},
      {btnExit, 188, 0, "終了"},
  };
  for (const Layout& b : buttons) {
    b.button.SetBounds(28, b.top, 213, 29);
    b.button.SetCaption(b.caption);
    b.button.SetTag(b.tag);
  }
  btnStart.OnClick = [this](TControl& sender) { btnStartClick(sender); };
  btnInstall.OnClick = [this](TControl& sender) { btnStartClick(sender); };
  btnDirectX.OnClick = [this](TControl& sender) { btnDirectXClick(sender); };
  btnWinMedia.OnClick = [this](TControl& sender) { btnWinMediaClick(sender); };
  btnExit.OnClick = [this](TControl& sender) { btnExitClick(sender); };

  RunCreate([this] { FormCreate(); });
}

void TFormStart::FormCreate() {
  Platform& platform = App().platform();
  mediumDir_ = AddBackslash(ProgramFolder(platform.ProgramFile()));
  App().SetTitle(settings_.Title);
  SetCaption(settings_.Title);
  btnStart.SetEnabled(settings_.IsGameInstalled(platform));
  if (archive_) PaintBackground(PaintBox, settings_, *archive_);

  // Setup buttons whose program the medium lacks are hidden and the rest move up.
  if (!settings_.RuntimeSetup || !platform.FileExists(mediumDir_ + "directx\\dxsetup.exe")) {
    const int d = btnDirectX.Top() - btnInstall.Top();
    btnDirectX.Hide();
    btnWinMedia.SetTop(btnWinMedia.Top() - d);
    btnExit.SetTop(btnExit.Top() - d);
    SetClientHeight(ClientHeight() - d);
  }
  if (!settings_.RuntimeSetup || !platform.FileExists(mediumDir_ + "winmedia\\mp71.exe")) {
    const int d = btnDirectX.Top() - btnInstall.Top();
    btnWinMedia.Hide();
    btnExit.SetTop(btnExit.Top() - d);
    SetClientHeight(ClientHeight() - d);
  }
}

void TFormStart::btnStartClick(TControl& sender) {
  chosenAction_ = sender.Tag();
  SetModalResult(mrOk);
}

void TFormStart::btnExitClick(TControl&) { SetModalResult(mrCancel); }

void TFormStart::btnDirectXClick(TControl&) { RunMediumProgram("directx\\", "dxsetup.exe"); }

void TFormStart::btnWinMediaClick(TControl&) { RunMediumProgram("winmedia\\", "mp71.exe"); }

void TFormStart::RunMediumProgram(const std::string& folder, const std::string& file) {
  // The setup program reports its own failures; the window stays open either way.
  App().platform().ShellExecute("open", mediumDir_ + folder + file, "", "", kShowNormal);
}

void PaintBackground(TDXPaintBox& box, const TZarnInstallSet& settings, TVrFileCollection& archive) {
  if (settings.BackImage.empty()) return;
  TMemoryStream stream;
  archive.ExtractToStream(stream, settings.BackImage);
  TBrimFrameList frames(static_cast<int32_t>(settings.ImageKey));
  frames.LoadFromStream(stream, true, false, false);
  const TDIB& picture = frames.Frames(0).Surface;
  const int w = picture.Width(), h = picture.Height();
  TDIB& image = box.DIB();
  switch (settings.BackLayout) {
    case blCentre:
    case blStretch:
      image.SetSize(w, h, 24);
      if (!image.Empty()) image.Canvas().Draw(0, 0, picture);
      if (settings.BackLayout == blStretch)
        box.SetStretch(true);
      else
        box.SetCenter(true);
      break;
    case blTile:
      image.SetSize(box.Width(), box.Height(), 24);
      // An empty picture would never advance the tiling.
      if (image.Empty() || w <= 0 || h <= 0) break;
      for (int y = 0; y < box.Height(); y += h)
        for (int x = 0; x < box.Width(); x += w) image.Canvas().Draw(x, y, picture);
      break;
    default:
      break;  // an unknown layout draws nothing
  }
  box.Invalidate();
}

}  // namespace zarn
