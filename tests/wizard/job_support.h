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

  // The title's save folder in the user's local application data, made on demand; ""
  // when this machine lists no per-user folders.
  std::string UserSaveFolder() {
    std::string local;
    if (!p.SpecialFolder(csidlLocalAppData, local)) return std::string();
    std::string folder = AddBackslash(local) + CleanFolderName(title) + "\\";
    MakeFolders(folder);
    TStringList found;
    UserAppDataDirs(p, title, found);
    for (const std::string& f : found)
      if (SameText(AddBackslash(f), folder)) return folder;
    RemoveFolderTree(folder);
    return std::string();
  }

  // A fresh view for the next job of the same test.
  void NextRun() { view = RecordingView(); }
};

// Members of an ordinary game: data for the data file, separate files of its own.
inline std::vector<MemberSpec> GameMembers() {
  return {{"zarn.zpb", "project 1"},
          {"data\\scenario.txt", "シナリオ"},
          {"data\\cg01.brm", std::string(4000, 'c')},
          {"install.dat", "not a record", kOldDate, true},
          {"manual\\説明.txt", "separate file", kOldDate, true}};
}

// An installation that is nothing but a setup program with the game in its appended
// archive, and an update medium with newer members.
class BundleFixture : public JobFixture {
 protected:
  std::string bundle, update;

  void SetUp() override {
    JobFixture::SetUp();
    bundle = dest + "install.exe";
    update = machine.Scratch() + "update\\";
    TZarnInstallSet installed = BaseSettings();
    TMemoryStream record;
    installed.SaveToStream(record);
    std::vector<MemberSpec> old = {{"install.dat", record.ToString(), kOldDate, true},
                                   {"zarn.zpb", "project 1"},
                                   {"data\\a.txt", "a1"},
                                   {"data\\keep.txt", "kept"}};
    BuildArchive(machine.Scratch() + "old.pak", old);
    Put(bundle, "MZ program image");
    AppendArchive(p, bundle, machine.Scratch() + "old.pak");
  }

  void WriteUpdate(std::vector<MemberSpec> members) {
    TZarnInstallSet u = BaseSettings();
    u.UpdateMode = true;
    u.DiscFiles.Clear();
    TMemoryStream record;
    u.SaveToStream(record);
    members.push_back({"install.dat", record.ToString(), kNewDate, true});
    WriteMedium(update, u, members, {});
  }

  // The program part of the bundle, before its appended archive.
  std::string ProgramImage() {
    std::string all = Get(bundle);
    int64_t start = 0;
    for (int i = 0; i < 4; ++i) start |= int64_t(static_cast<uint8_t>(all[all.size() - 6 + i])) << (8 * i);
    EXPECT_EQ(all.substr(all.size() - 2), "zr");
    return all.substr(0, static_cast<size_t>(start));
  }
};

}  // namespace testing
}  // namespace zarn
