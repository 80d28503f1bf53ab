// The start menu: the small window shown when the program is started from the medium
// without a parameter. It starts the installed game, starts the installation, runs the
// DirectX or media player setup of the medium, or ends. Also the background painter that
// the splash window uses too.
#pragma once

#include <string>

#include "toolkit/forms.h"
#include "toolkit/pictures.h"

namespace zarn {

class TZarnInstallSet;
class TVrFileCollection;

// Chosen actions of the start menu.
enum : int { saStartGame = 0, saInstall = 1 };

class TFormStart : public TForm {
 public:
  // The window reads the settings and paints from the archive while it is created; both
  // belong to the launcher and outlive the window. `archive` may be null (no picture).
  TFormStart(TApplication& app, const TZarnInstallSet& settings, TVrFileCollection* archive);

  // Modal result 1: an action was chosen, see ChosenAction; 2: the exit button or the
  // title bar's close button.
  int ChosenAction() const { return chosenAction_; }
  // The medium's folder: the program's folder with a trailing backslash.
  const std::string& MediumDir() const { return mediumDir_; }

  // Components, in creation (and painting and Tab) order.
  TDXPaintBox PaintBox{*this, "PaintBox"};
  TButton btnStart{*this, "btnStart"};
  TButton btnInstall{*this, "btnInstall"};
  TButton btnDirectX{*this, "btnDirectX"};
  TButton btnWinMedia{*this, "btnWinMedia"};
  TButton btnExit{*this, "btnExit"};

  // Designed client area.
  static constexpr int kClientWidth = 265;
  static constexpr int kClientHeight = 230;

 private:
  void FormCreate();
  void btnStartClick(TControl& sender);
  void btnExitClick(TControl& sender);
  void btnDirectXClick(TControl& sender);
  void btnWinMediaClick(TControl& sender);
  void RunMediumProgram(const std::string& folder, const std::string& file);

  const TZarnInstallSet& settings_;
  TVrFileCollection* archive_;
  std::string mediumDir_;
  int chosenAction_ = saStartGame;
};

// Paints the product's background picture (the archive member BackImage, a layered
// picture read with ImageKey) into the box's picture as BackLayout says: 0 centred at its
// own size, 1 stretched to the box, 2 tiled over the box from its top left corner; any
// other layout, or no BackImage, leaves the picture empty. A missing member or a damaged
// picture raises the archive's or the reader's error.
void PaintBackground(TDXPaintBox& box, const TZarnInstallSet& settings, TVrFileCollection& archive);

}  // namespace zarn
