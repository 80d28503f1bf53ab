// The splash window: the large backdrop behind the install and uninstall wizard. A blue
// gradient, the product's background picture over it when an archive is open, and a
// black strip with a line of text near the bottom.
#pragma once

#include "toolkit/forms.h"
#include "toolkit/pictures.h"

namespace zarn {

class TZarnInstallSet;
class TVrFileCollection;

class TFormMain : public TForm {
 public:
  // `archive` is null in uninstall mode: the window then shows the gradient only.
  TFormMain(TApplication& app, const TZarnInstallSet& settings, TVrFileCollection* archive);

  // Components, in creation and painting order.
  TGradBoxControl GradBox{*this, "GradBox"};
  TDXPaintBox PaintBox{*this, "PaintBox"};
  TLabel LabelRight{*this, "LabelRight"};

  // The smallest client area, whatever the screen.
  static constexpr int kMinClientWidth = 600;
  static constexpr int kMinClientHeight = 400;
  // Space left to the screen's edges.
  static constexpr int kScreenMarginX = 100;
  static constexpr int kScreenMarginY = 200;
  // The text strip's distance from the bottom edge.
  static constexpr int kStripBottom = 8;

 private:
  void FormCreate();

  const TZarnInstallSet& settings_;
  TVrFileCollection* archive_;
};

}  // namespace zarn
