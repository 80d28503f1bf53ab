// The install job: runs on the wizard's copy page. It copies the chosen plain files of
// the medium, builds (or, in an update, merges into) the game's data file in the
// destination, writes the separate files of the archive, verifies the data file,
// records what it installed in the destination's install.dat, makes the Start-menu
// shortcuts and writes the destination to the registry.
//
// An update whose destination holds no install.dat but a setup program with an appended
// archive of the same title is a bundle update: the new program file is built with its
// new archive in a work folder of the temporary folder and then copied over the old one.
//
// The job ends in one of these ways (what the view is told):
//   finished                         Finished
//   abort confirmed by the user      nothing more (the view reported AbortRequested)
//   disc abandoned                   EndWith(Abort)
//   destination folder not creatable  a warning, EndWith(OK)
//   verification failed              a warning, EndWith(Abort)
//   an error raised                  the error leaves Execute; the wizard's error report
//                                    shows it and the window stays on the copy page
// A run stopped by the user or failing the check takes back the files it made; whichever
// way it ends, the work folder is gone when Execute returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zarn {

class Platform;
class TApplication;
class TJobView;
class TVrFile;
class TVrFileCollection;
class TZarnInstallSet;
struct TRunContext;

// What the user chose to install.
struct TInstallInput {
  std::string source;        // the medium's folder, with a trailing backslash
  std::string dest;          // the destination, with a trailing backslash
  bool allDiscs = false;     // every disc of the set, else only the one inserted
  bool data = false;         // the data component (the program is always installed)
  bool sound = false;
  bool movie = false;
  int64_t neededBytes = 0;   // bytes of the chosen components: the length of the progress
};

class TInstallJob {
 public:
  // The run's platform, application (for the shell), settings record and medium archive
  // (none: an empty one); the run must outlive the job.
  TInstallJob(TRunContext& run, const TInstallInput& input, TJobView& view);
  ~TInstallJob();
  TInstallJob(const TInstallJob&) = delete;
  TInstallJob& operator=(const TInstallJob&) = delete;

  void Execute();

  // Progress of building the data file: counts bytes, shows every tenth item and every
  // item over 3 MiB, and stops the build when the user has confirmed the abort.
  void OnBuildProgress(TVrFileCollection& sender, TVrFile* entry, int64_t bytes, int index, int count, bool& cancel);
  // Progress of the verification, item by item.
  void OnVerifyProgress(TVrFileCollection& sender, TVrFile* entry, int64_t bytes, int index, int count, bool& cancel);

 private:
  bool Aborted() const;
  void EndWith(int modalResult);
  void ShowProgress();
  // The job's steps; false when it ended before finishing.
  bool Run();
  // Deletes the files this run created that were not there before it began, and the
  // destination folder when this run made it and it is left empty.
  void UndoCreated();
  // Remembers the folders below the destination on the way to `folder` that do not exist yet.
  void NoteNewFolders(const std::string& folder);
  void CheckSettingsNames();
  // `linkFree`, when given, is the folder the previous call of one loop of checks found
  // free of links: the same folder is not walked again, and it is updated.
  void CheckDestinationName(const std::string& name, std::string* linkFree = nullptr);
  void PrepareWorkFolder();
  void DeleteOldDataFile();
  bool ChangeDisc(int disc);
  bool CopyPlainFiles();
  bool BuildDataFile();
  void TakeBundleMembers(TVrFileCollection& from, bool newerOnly);
  void CarryOverBundleMembers();
  void WriteSeparateFiles();
  bool BuildNewBundle();
  void PutBundleInPlace();
  void RecordDataFileParts();
  void RecordInstallation();
  void MakeShortcuts();
  void CleanUp();

  Platform& platform_;
  TApplication& app_;
  TZarnInstallSet& settings_;
  std::unique_ptr<TVrFileCollection> ownMain_;  // the medium's archive when the run has none
  TVrFileCollection& main_;
  TInstallInput input_;
  TJobView& view_;
  std::string dest_;
  std::string source_;
  int64_t progressTotal_ = 0;  // bytes done
  int endedWith_ = 0;          // the modal result the job ended with, 0 while it runs
  std::unique_ptr<TVrFileCollection> data_;
  std::string workFolder_;
  std::string bundlePath_;
  std::vector<std::string> created_;  // files made by this run, full paths
  std::vector<std::string> createdFolders_;  // folders made by this run, parents first
  bool destExisted_ = true;
};

}  // namespace zarn
