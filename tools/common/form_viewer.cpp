#include "toolkit/form_viewer.h"

#include "runtime/error.h"
#include "toolkit/headless/headless.h"
#ifdef _WIN32
#include "toolkit/win32/win32_backend.h"
#endif

namespace zarn {

std::string FormViewerUsageError(const std::string& png) {
#ifdef _WIN32
  return png.empty() ? std::string() : "--png is for the Linux build";
#else
  return png.empty() ? "the Linux build needs --png FILE" : std::string();
#endif
}

TFormViewer::TFormViewer(Platform& platform, const std::string& png, const std::string& tool) : png_(png) {
  std::string problem = FormViewerUsageError(png);
  if (!problem.empty()) throw EZarnError(tool + ": " + problem);
#ifdef _WIN32
  backend_ = CreateWin32Backend();
#else
  user_ = std::make_unique<TScriptedUser>();
  backend_ = std::make_unique<HeadlessBackend>(*user_);
#endif
  app_ = std::make_unique<TApplication>(platform, *backend_);
}

TFormViewer::~TFormViewer() = default;

void TFormViewer::Show(TForm& form, int seconds) {
#ifdef _WIN32
  app_->SetMainForm(&form);
  if (seconds > 0) CloseAfter(form, static_cast<unsigned>(seconds) * 1000);
  form.ShowModal();
#else
  (void)seconds;
  TDIB picture;
  RenderForm(form, picture);
  SavePng(picture, png_);
#endif
}

}  // namespace zarn
