// The form viewer on Windows: a real window, closed by the person or after a time.
#include "common/form_viewer.h"

#include "runtime/error.h"
#include "toolkit/headless/headless.h"
#include "toolkit/win32/win32_backend.h"

namespace zarn {

std::string FormViewerUsageError(const std::string& png) {
  return png.empty() ? std::string() : "--png is for the Linux build";
}

std::unique_ptr<Backend> TFormViewer::CreateViewerBackend(std::unique_ptr<TScriptedUser>&) {
  return CreateWin32Backend();
}

void TFormViewer::Show(TForm& form, int seconds) {
  app_->SetMainForm(&form);
  if (seconds > 0) CloseAfter(form, static_cast<unsigned>(seconds) * 1000);
  form.ShowModal();
}

void TFormViewer::ShowDialog(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons, bool errorReport) {
  if (errorReport)
    app_->HandleException(EZarnError(text));
  else
    app_->MessageDlg(text, kind, buttons);
}

}  // namespace zarn
