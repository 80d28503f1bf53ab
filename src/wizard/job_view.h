// What the install and uninstall jobs show and ask while they run. The wizard window
// shows it on its copy and delete pages; tests put a double in its place and drive the
// jobs without a window.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/types.h"

namespace zarn {

class TJobView {
 public:
  virtual ~TJobView() = default;

  // Lets pending messages be handled: the user may click the abort button meanwhile.
  virtual void ProcessMessages() = 0;
  // True once the user has confirmed the abort (or the job ended as aborted).
  virtual bool AbortRequested() = 0;
  // A message box; returns the button's result (mrOk, mrYes, ...).
  virtual int Ask(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) = 0;

  // The step under way ("データファイルをチェックしています", "<title> を削除しています").
  virtual void ShowHeading(const std::string& text) = 0;
  // The item under way ("game.exe をコピー中...").
  virtual void ShowStatus(const std::string& text) = 0;
  // The progress bar: its end (its start is 0), and how far it is.
  virtual void ShowProgressRange(int max) = 0;
  virtual void ShowProgress(int position) = 0;
  // The item and the bar are put away (while the shortcuts are made).
  virtual void HideProgress() = 0;

  // Waits for the shell or the system to catch up.
  virtual void Pause(uint32_t milliseconds) = 0;
  // Brings the job's window back in front after the shell opened one of its own.
  virtual void BringToFront() = 0;
  // The job is about to delete the folder it works in: whatever holds it (the window's
  // folder list, the process's current folder) moves to `elsewhere`.
  virtual void LeaveFolder(const std::string& elsewhere) = 0;

  // The job has finished: `text` is the closing message ("" keeps the window's own).
  virtual void Finished(const std::string& text) = 0;
  // The job ended before it finished; the window closes with `modalResult`.
  virtual void EndWith(int modalResult) = 0;
};

}  // namespace zarn
