// The program's entry: one run of the launch sequence. It finds where the data is (an
// archive inside the program file, an archive file, or a folder on the medium), reads
// the settings, keeps a second copy from running, and then shows the start menu, runs
// the wizard in front of the splash window, or hands over to a temporary copy of the
// program. Starting another program is always the last step, after the settings are
// freed and the single-instance mutex is released.
//
// The launcher owns the settings record and the archive for the run and hands them,
// with the application (and through it the platform and the toolkit), to the windows it
// creates. Nothing is kept in globals, so one process can run the sequence many times.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/forms.h"
#include "wizard/run_context.h"

namespace zarn {

class TZarnInstallSet;
class TVrFileCollection;

// Creates the wizard with the splash window as its owner, shows it modally and releases
// it. The launcher does not use the wizard's result.
using TWizardRunner = std::function<void(TRunContext& run, TForm& splash)>;

// The wizard of the program.
TWizardRunner ProgramWizard();

// How a run ended.
enum class TLaunchEnd {
  NotAdministrator,  // the administrator message was shown
  NoSettings,        // no archive and no install.dat: message shown
  GameRunning,       // the installed game runs: silent end
  AlreadyRunning,    // another copy holds the title's mutex: silent end
  MenuClosed,        // the start menu was left without a choice
  StartChosen,       // the start menu's game start was chosen
  CopyMade,          // a temporary copy was written (started at the end)
  CopyFailed,        // no temporary copy could be written: message shown
  WizardRun,         // the wizard ran in this process
  Failed,            // an error reached the top and was reported
};

class TLauncher {
 public:
  // `params`: the program's parameters, without its own name.
  TLauncher(TApplication& app, std::vector<std::string> params, TWizardRunner wizard = ProgramWizard());
  ~TLauncher();

  // Runs the launch sequence to its end and returns the process's exit status (0, or 1
  // when an error reached the top).
  int Run();
  // How the jobs of this run wait for the system (handed on in the run context; empty:
  // the platform's Sleep).
  void SetPause(std::function<void(uint32_t milliseconds)> pause) { pause_ = std::move(pause); }

  // ---- what the run found and decided (read after Run)
  TLaunchEnd End() const { return end_; }
  bool ResourceArchive() const { return resourceArchive_; }
  bool AppendedArchive() const { return appendedArchive_; }
  const std::string& SourceDir() const { return sourceDir_; }
  const std::string& RunFile() const { return runFile_; }
  const std::string& RunParams() const { return runParams_; }
  // The shell's answer when RunFile was started (above 32 on success); 0 when nothing
  // was started.
  intptr_t StartResult() const { return startResult_; }

  // Attempts of the temporary copy.
  static constexpr int kCopyAttempts = 100;

 private:
  void Sequence();
  void DetectArchive();
  void LoadSettings(TZarnInstallSet& settings);
  void OpenArchive(TZarnInstallSet& settings, TVrFileCollection& archive);
  void RunWizard(TZarnInstallSet& settings, TVrFileCollection* archive);
  void MakeTemporaryCopy();
  void ScheduleOwnDeletion();
  void StartRunFile();

  TApplication& app_;
  Platform& platform_;
  std::vector<std::string> params_;
  TWizardRunner wizard_;
  std::function<void(uint32_t)> pause_;
  std::string programFile_;
  TLaunchEnd end_ = TLaunchEnd::Failed;
  bool resourceArchive_ = false;
  bool appendedArchive_ = false;
  std::string sourceDir_;
  std::string runFile_;
  std::string runParams_;
  intptr_t startResult_ = 0;
};

}  // namespace zarn
