#include "common/form_viewer.h"

#include "runtime/error.h"
#include "toolkit/headless/headless.h"

namespace zarn {

TFormViewer::TFormViewer(Platform& platform, const std::string& png, const std::string& tool) : png_(png) {
  std::string problem = FormViewerUsageError(png);
  if (!problem.empty()) throw EZarnError(tool + ": " + problem);
  backend_ = CreateViewerBackend(user_);
  app_ = std::make_unique<TApplication>(platform, *backend_);
}

TFormViewer::~TFormViewer() = default;

}  // namespace zarn
