#include "wizard/file_operation.h"

#include "platform/platform.h"
#include "wizard/shell_link.h"

namespace zarn {

uint16_t ShellFileOpFlags(TFileOpFlags options) {
  static const struct {
    TFileOpFlag flag;
    uint16_t bit;
  } kTable[] = {
      {fofMultiDestFiles, kShellFofMultiDestFiles},
      {fofConfirmMouse, kShellFofConfirmMouse},
      {fofSilent, kShellFofSilent},
      {fofRenameOnCollision, kShellFofRenameOnCollision},
      {fofNoConfirmation, kShellFofNoConfirmation},
      {fofAllowUndo, kShellFofAllowUndo},
      {fofFilesOnly, kShellFofFilesOnly},
      {fofSimpleProgress, kShellFofSimpleProgress},
      {fofNoConfirmMkdir, kShellFofNoConfirmMkdir},
      {fofNoErrorUI, kShellFofNoErrorUI},
  };
  uint16_t bits = 0;
  for (const auto& e : kTable)
    if (options & (1u << e.flag)) bits |= e.bit;
  return bits;
}

TFileOperation::TFileOperation(TApplication& app, TComponent* owner, const std::string& componentName)
    : TComponent(owner ? owner : &app, componentName), app_(app) {}

TFileOperation::TFileOperation(TComponent* owner, const std::string& componentName)
    : TComponent(owner, componentName), app_(ApplicationOf(owner)) {}

bool TFileOperation::Execute(uint32_t operation, const std::string& from, const std::string& to) {
  ShellFileRequest request;
  request.operation = operation;
  request.from = from;
  request.to = to;
  request.flags = ShellFileOpFlags(options_);
  if (options_ & (1u << fofSimpleProgress)) request.progressTitle = title_;
  bool aborted = false;
  app_.platform().ShellFileOperation(request, aborted);
  return aborted;
}

}  // namespace zarn
