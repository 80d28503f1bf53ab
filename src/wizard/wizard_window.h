// The install wizard: one fixed-size dialog that walks the user through its pages and
// then runs the install job or, for an installed copy, the uninstall job inside the
// window.
//
// Install mode:   Hello -> License -> Media -> file -> seldir -> confirm -> copy -> exit
// Uninstall mode: uninst -> delete -> exit
//
// Pages the settings do not need are switched off and never visited. The jobs run on
// the copy and delete pages, on the one UI thread, given what the pages chose; the window
// shows their progress and asks their questions. They let pending window messages be
// handled at their progress points, and the form's modal result Abort (3), set when the
// user confirms the abort question, is the only signal that stops them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "toolkit/forms.h"
#include "wizard/file_operation.h"
#include "wizard/shell_link.h"
#include "wizard/run_context.h"

namespace zarn {

class TFormType : public TForm {
 public:
  // Page indexes, in the notebook's fixed order.
  enum : int {
    pgHello = 0,
    pgLicense,
    pgMedia,
    pgFile,
    pgSelDir,
    pgConfirm,
    pgCopy,
    pgExit,
    pgUninst,
    pgDelete,
    kPageCount
  };

  // Builds the window and runs its creation steps (FormCreate). `owner` is the window it
  // stays in front of (the splash window), or nullptr.
  TFormType(TRunContext& run, TForm* owner);
  ~TFormType() override;

  // ---- controls, in creation order
  TNotebook Notebook;
  TRichEdit EditHello;
  TLabel Label2, Label4;
  TRichEdit EditLicense;
  TCheckBox CheckLicense;
  TLabel LabelDisk;
  TRadioButton RadioDiskAll, RadioDiskThis;
  TLabel Label1;
  TCheckBox CheckProg, CheckData, CheckSound, CheckMovie;
  TLabel LabelSize;
  TLabel Label3;
  TEdit EditDir;
  TDirectoryListBox Directory;
  TDriveComboBox Drive;
  TLabel LabelSzDrv, LabelSzNeed;
  TLabel Label5, LabelBack, LabelBack2;
  TLabel LabelCopyCap, LabelCopy;
  TProgressBar Progress;
  TLabel LabelExit;
  TLabel LabelUninst, Label7;
  TCheckBox CheckDelSave;
  TLabel LabelDelTitle, LabelDel;
  TBevel Bevel1;
  TButton btnBack, btnNext, btnAbort;
  TFileOperation FileOperation;
  TShellLink ShellLink;

  // ---- wizard state
  bool PageEnabled[kPageCount] = {};
  int64_t NeededBytes = 0;     // bytes of the chosen components
  std::string SubFolderName;   // product folder appended to the folder the user picks

  // ---- operations
  void FormCreate();
  void ShowPage(int index);
  int CurrentPage() { return Notebook.PageIndex(); }
  void btnNextClick();
  void btnBackClick();
  void btnAbortClick();
  void FormCloseQuery(bool& canClose);
  void CheckLicenseClick();
  void CheckProgClick();
  void CheckDataClick();
  void DriveChange();
  void DirectoryChange();
  void UpdateSizes();
  // Free megabytes of a drive; 0 when the system cannot tell.
  int32_t DriveFreeMB(char letter);
  void ShowDriveFree();
  // The destination with a trailing backslash: the Windows folder for a system-folder
  // install, else the text of EditDir.
  std::string DestDir();
  // Lowest / highest enabled page, -1 if none.
  int FirstOpenPage() const;
  int LastOpenPage() const;

  // The folder the setup program reads the medium from, with a trailing backslash: the
  // command-line parameter (the folder of an archive file given there), or the program's
  // own folder when there is none.
  std::string SourceFolder();

  // Chosen once at creation from the settings' Installed flag.
  bool UninstallMode() const { return uninstallMode_; }
  // Waits for the shell or the system (the run's pause hook, else the platform's Sleep).
  void Pause(uint32_t milliseconds);
  // Brings the wizard back in front after the shell has opened a window of its own.
  void BringToFront();

  TRunContext& Run() { return run_; }

 private:
  void UpdateButtons();
  // Moves the drive list and directory list to a proposal without rewriting EditDir.
  void PointListsAt(const std::string& path);

  TRunContext& run_;
  bool creating_ = false;
  bool uninstallMode_ = false;
};

// The caption shown on each page, given the settings' word for a medium.
std::string PageCaption(int page, const std::string& mediaName);

}  // namespace zarn
