// A form shown only to be looked at, for the programs that show the toolkit's windows
// (the gallery, the wizard's pages): on Windows a real window, closed by the person or
// after a time; on Linux the headless picture of the form, saved as PNG.
#pragma once

#include <memory>
#include <string>

#include "toolkit/forms.h"

namespace zarn {

class TScriptedUser;

// Empty when the picture path `png` suits this build (given on Linux, not on Windows),
// else the usage error to print.
std::string FormViewerUsageError(const std::string& png);

class TFormViewer {
 public:
  // `png` is the picture's host path (Linux) and must be empty on Windows; `tool` names
  // the program in error messages. Raises EZarnError when `png` does not suit the build.
  TFormViewer(Platform& platform, const std::string& png, const std::string& tool);
  ~TFormViewer();
  TApplication& App() { return *app_; }
  // Shows the form modally as the main window, closed after `seconds` when positive
  // (Windows), or renders it into the picture file (Linux).
  void Show(TForm& form, int seconds);
  // Shows a message dialog (`errorReport`: the general error report) as the program
  // shows it: the system's message box (Windows) or its picture (Linux).
  void ShowDialog(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons, bool errorReport);

 private:
  // The build's backend: headless with a scripted user (kept in `user`) on Linux, real
  // windows on Windows.
  static std::unique_ptr<Backend> CreateViewerBackend(std::unique_ptr<TScriptedUser>& user);

  std::string png_;
  std::unique_ptr<TScriptedUser> user_;
  std::unique_ptr<Backend> backend_;
  std::unique_ptr<TApplication> app_;
};

}  // namespace zarn
