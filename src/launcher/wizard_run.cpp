#include "launcher/launcher.h"
#include "wizard/wizard_window.h"

namespace zarn {

TWizardRunner ProgramWizard() {
  return [](TRunContext& run, TForm& splash) {
    TFormType wizard(run, &splash);
    wizard.ShowModal();
    wizard.Release();
  };
}

}  // namespace zarn
