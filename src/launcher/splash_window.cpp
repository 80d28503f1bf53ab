#include "launcher/splash_window.h"

#include <algorithm>
#include <cstdlib>

#include "launcher/start_menu.h"
#include "settings/install_settings.h"

namespace zarn {

TFormMain::TFormMain(TApplication& app, const TZarnInstallSet& settings, TVrFileCollection* archive)
    : TForm(app, nullptr, "FormMain"), settings_(settings), archive_(archive) {
  SetBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);

  GradBox.SetAlign(TAlign::alClient);
  GradBox.SetStartColor(clBlue);
  GradBox.SetEndColor(clNavy);
  GradBox.SetGradStep(128);
  PaintBox.SetAlign(TAlign::alClient);

  LabelRight.SetAutoSize(false);
  LabelRight.SetAlignment(TAlignment::taRightJustify);
  LabelRight.SetTransparent(false);
  LabelRight.SetColor(clBlack);
  TFont font = LabelRight.Font();
  font.color = clWhite;
  LabelRight.SetFont(font);

  RunCreate([this] { FormCreate(); });
}

void TFormMain::FormCreate() {
  App().SetTitle(settings_.Title);
  TSize screen = App().ScreenSize();
  SetClientWidth(std::max(kMinClientWidth, screen.cx - kScreenMarginX));
  SetClientHeight(std::max(kMinClientHeight, screen.cy - kScreenMarginY));
  SetCaption(settings_.Installed ? settings_.Title + "の削除" : settings_.GetSetupCaption());
  if (archive_) PaintBackground(PaintBox, settings_, *archive_);

  LabelRight.SetCaption(settings_.SplashText + " ");
  const int height = std::abs(LabelRight.Font().height);
  LabelRight.SetBounds(0, ClientHeight() - height - kStripBottom, ClientWidth(), height);
}

}  // namespace zarn
