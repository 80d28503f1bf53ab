// The form viewer on Linux: the headless backend, the form rendered into a PNG file.
#include "common/form_viewer.h"

#include "toolkit/headless/headless.h"

namespace zarn {

std::string FormViewerUsageError(const std::string& png) {
  return png.empty() ? "the Linux build needs --png FILE" : std::string();
}

std::unique_ptr<Backend> TFormViewer::CreateViewerBackend(std::unique_ptr<TScriptedUser>& user) {
  user = std::make_unique<TScriptedUser>();
  return std::make_unique<HeadlessBackend>(*user);
}

void TFormViewer::Show(TForm& form, int) {
  TDIB picture;
  RenderWindow(form, picture);
  SavePng(picture, png_);
}

void TFormViewer::ShowDialog(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons, bool errorReport) {
  DialogRecord dialog;
  dialog.errorReport = errorReport;
  dialog.kind = errorReport ? TMsgDlgType::mtError : kind;
  dialog.caption = errorReport ? app_->Title() : DialogCaption(kind);
  dialog.text = text;
  dialog.buttons = errorReport ? mbOK : buttons;
  TDIB picture;
  RenderMessageDialog(dialog, picture);
  SavePng(picture, png_);
}

}  // namespace zarn
