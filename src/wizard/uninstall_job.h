// The uninstall job: runs on the wizard's delete page in an installed copy. It removes
// the program group, the files the install recorded, optionally the save data (in the
// installed folder and in every user's save folder), the game's settings file, the
// folders left empty, the registry key and the entry in the list of installed programs.
//
// Only names of the record that are plain relative paths inside the installed folder are
// deleted, never a folder that still holds anything, and never anything when the folder
// is a drive root or a system folder. The registry goes last, so an uninstall stopped
// halfway leaves the game registered.
#pragma once

#include <string>

namespace zarn {

class Platform;
class TApplication;
class TJobView;
class TZarnInstallSet;
struct TRunContext;

// What the user chose to uninstall.
struct TUninstallInput {
  std::string folder;            // the installed folder, with a trailing backslash
  bool deleteSaveData = false;   // the save data goes too
};

class TUninstallJob {
 public:
  // The run's platform, application (for the shell) and the installed copy's record; the
  // run must outlive the job.
  TUninstallJob(TRunContext& run, const TUninstallInput& input, TJobView& view);
  // Ends with the view told Finished, or returns early when the user confirmed the abort;
  // an error (a folder that cannot be the game's) leaves as an exception.
  void Execute();

  // Why a folder cannot be uninstalled from ("" when it can): a drive root, the Windows,
  // system or Program Files folder, or a folder that holds the Windows folder.
  static std::string RefusalReason(Platform& platform, const std::string& folder);

 private:
  bool Aborted() const;
  void DeleteInstalledFiles();
  void DeleteSaveData();

  Platform& platform_;
  TApplication& app_;
  TZarnInstallSet& settings_;
  TUninstallInput input_;
  TJobView& view_;
  std::string base_;
};

}  // namespace zarn
