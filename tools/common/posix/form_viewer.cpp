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
  RenderForm(form, picture);
  SavePng(picture, png_);
}

}  // namespace zarn
