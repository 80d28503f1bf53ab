// The install and uninstall jobs run without a window: a view that records what they
// show and answers their questions from a script, on the machine and media of the
// wizard fixture.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "wizard/install_job.h"
#include "wizard/job_view.h"
#include "wizard/uninstall_job.h"
#include "wizard/wizard_support.h"

namespace zarn {
namespace testing {

class RecordingView : public TJobView {
 public:
  struct Question {
    TMsgDlgType kind;
    std::string text;
  };

  // Answers to the job's questions, in order; a question beyond them fails the test.
  std::deque<int> answers;
  // Runs at every ProcessMessages call, numbered from 0; may set `abort`.
  std::function<void(int call)> onMessages;
  // Runs at every wait, after it was recorded (e.g. to change the disc).
  std::function<void(uint32_t)> onPause;
  bool abort = false;  // the user has confirmed the abort

  std::vector<Question> asked;
  std::vector<std::string> headings, statuses;
  std::vector<std::string> leftFor;  // folders the job moved to before deleting
  std::vector<uint32_t> pauses;
  int calls = 0;
  int progressMax = -1, progress = -1;
  bool progressHidden = false;
  bool finished = false;
  std::string finishedText;
  int endedWith = mrNone;

  void ProcessMessages() override {
    int call = calls++;
    if (onMessages) onMessages(call);
  }
  bool AbortRequested() override { return abort; }
  int Ask(const std::string& text, TMsgDlgType kind, TMsgDlgButtons) override {
    asked.push_back({kind, text});
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text;
      return mrCancel;
    }
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowHeading(const std::string& text) override { headings.push_back(text); }
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowProgressRange(int max) override { progressMax = max; }
  void ShowProgress(int position) override { progress = position; }
  void HideProgress() override { progressHidden = true; }
  void Pause(uint32_t milliseconds) override {
    pauses.push_back(milliseconds);
    if (onPause) onPause(milliseconds);
  }
  void BringToFront() override {}
  void LeaveFolder(const std::string& elsewhere) override { leftFor.push_back(elsewhere); }
  void Finished(const std::string& text) override {
    finished = true;
    finishedText = text;
  }
  void EndWith(int modalResult) override { endedWith = modalResult; }

  std::string Status() const { return statuses.empty() ? std::string() : statuses.back(); }
  std::vector<std::string> Questions() const {
    std::vector<std::string> texts;
    for (const Question& q : asked) texts.push_back(q.text);
    return texts;
  }
};

class JobFixture : public WizardFixture {
 protected:
  RecordingView view;
  std::string error;  // the message of the error the last job raised, "" when none

  // What the wizard passes for this medium and destination, the program alone chosen.
  TInstallInput Input() {
    TInstallInput in;
    in.source = medium;
    in.dest = dest;
    return in;
  }
  TInstallInput Components(bool data, bool sound = false, bool movie = false) {
    TInstallInput in = Input();
    in.data = data;
    in.sound = sound;
    in.movie = movie;
    return in;
  }

  // Runs the install job with the record of the input's medium, as the launcher loads
  // it; false when an error left the job (its message in `error`).
  bool Install(const TInstallInput& input) {
    settings = TZarnInstallSet();
    settings.LoadFromFile(p, input.source + "install.dat");
    TRunContext& run = MakeRun(input.source, true);
    error.clear();
    try {
      TInstallJob job(run, input, view);
      job.Execute();
    } catch (const EZarnError& e) {
      error = e.Message();
      return false;
    }
    return true;
  }
  bool Install(bool data = false) { return Install(Components(data)); }

  // Runs the uninstall job on the installed copy's record in `dest`.
  bool Uninstall(bool deleteSaveData, const std::string& folder = "") {
    std::string from = folder.empty() ? dest : folder;
    settings = TZarnInstallSet();
    settings.LoadFromFile(p, from + "install.dat");
    TRunContext& run = MakeRun(from, false);
    error.clear();
    try {
      TUninstallJob job(run, TUninstallInput{from, deleteSaveData}, view);
      job.Execute();
    } catch (const EZarnError& e) {
      error = e.Message();
      return false;
    }
    return true;
  }

  // A fresh view for the next job of the same test.
  void NextRun() { view = RecordingView(); }
};

}  // namespace testing
}  // namespace zarn
