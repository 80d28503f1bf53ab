// What one run of the setup program hands to its windows and jobs. The launcher owns
// every object named here for the length of the run; the windows only borrow them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zarn {

class Platform;
class TApplication;
class TZarnInstallSet;
class TVrFileCollection;

struct TRunContext {
  // The machine the run works on (the application's own platform).
  Platform& platform;
  // The toolkit's application object: dialogs, pending messages, the error report.
  TApplication& app;
  // The settings record of the run. The install job may reload it from the next disc's
  // install.dat, so it must stay the same object for the whole run.
  TZarnInstallSet& settings;
  // The open archive of the medium, or nullptr (uninstall mode). The install job closes
  // and reopens it when the discs are changed.
  TVrFileCollection* archive;
  // The first command-line parameter as given (a source folder, or an archive file),
  // or empty when the program was started without one.
  std::string parameter;
  // How the jobs wait for the shell and the system to catch up (after removing the
  // program group, after creating shortcuts, ...). Empty: the platform's Sleep. Tests
  // that drive many runs set it to record the waits instead of sleeping through them.
  std::function<void(uint32_t milliseconds)> pause;
};

}  // namespace zarn
