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
// The job ends in one of these ways:
//   finished                         exit page, modal result unchanged
//   abort confirmed / disc abandoned  modal result Abort (3), the window closes
//   destination folder not creatable  modal result OK (1), the window closes
//   verification failed              message, modal result Abort (3)
//   an error raised                  the error report shows it; the window stays on the
//                                    copy page with only its abort button
// Whichever way, the work folder is gone when Execute returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zarn {

class Platform;
class TFormType;
class TVrFile;
class TVrFileCollection;
class TZarnInstallSet;

class TInstallJob {
 public:
  explicit TInstallJob(TFormType& form);
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
  void ShowProgress();
  // The steps, each false when the job has ended.
  // The job's steps; false when it ended before the exit page.
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

  TFormType& form_;
  Platform& platform_;
  TZarnInstallSet& settings_;
  std::string dest_;
  std::string source_;
  std::unique_ptr<TVrFileCollection> data_;
  std::string workFolder_;
  std::string bundlePath_;
  std::vector<std::string> created_;  // files made by this run, full paths
  std::vector<std::string> createdFolders_;  // folders made by this run, parents first
  bool destExisted_ = true;
};

}  // namespace zarn
