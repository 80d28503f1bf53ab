#include "launcher/launcher.h"
#include "wizard/insttype.h"

namespace zarn {

TWizardRunner ProgramWizard() {
  return [](TRunContext& run, TForm& splash) {
    TFormType wizard(run, &splash);
    wizard.ShowModal();
    wizard.Release();
  };
}

}  // namespace zarn
