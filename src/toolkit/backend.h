// What a toolkit backend provides: a window for each control, the modal loop, pending
// messages, message dialogs and the error box. The controls keep all state; a backend
// shows it (win32/) or hands it to a scripted user (headless/).
#pragma once

#include <memory>
#include <string>

#include "toolkit/types.h"

namespace zarn {

class TApplication;
class TControl;
class TForm;
struct TFont;

// What changed on a control, so the backend updates only that.
enum class TProp {
  Bounds, Caption, Visible, Enabled, Checked, Items, ItemIndex, Position, Font, Color, Default,
  ReadOnly, MaxLength, Focus, Range,
};

// The backend's side of one control (for example its window).
class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void Update(TProp what) = 0;
  // Repaint a part of the control's area (in its own coordinates).
  virtual void Invalidate(const TRect& r) {}
  virtual void SetFocus() {}
};

class Backend {
 public:
  virtual ~Backend() = default;
  // The peer of a control whose form is being shown; nullptr when the backend keeps none.
  // Called parent first, in creation order.
  virtual std::unique_ptr<ControlPeer> CreatePeer(TControl& control) = 0;
  // Runs until `form.ModalEnds()` says the modal loop is over.
  virtual void RunModal(TForm& form) = 0;
  // Lets pending input and painting happen during a long job.
  virtual void ProcessMessages(TApplication& app) = 0;
  // Runs the program's message loop until the application is terminated.
  virtual void Run(TApplication& app) = 0;
  // Shows a message dialog and returns the result of the button chosen.
  virtual int MessageDialog(TApplication& app, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) = 0;
  // The general error report: shows an error's message in a box; the program goes on.
  virtual void ShowError(TApplication& app, const std::string& text) = 0;
  // Size of the desktop's work area.
  virtual TSize ScreenSize() = 0;
  // Size a text takes in a font.
  virtual TSize TextExtent(const TFont& font, const std::string& text) = 0;
};

}  // namespace zarn
