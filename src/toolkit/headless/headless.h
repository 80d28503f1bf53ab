// The headless backend: controls keep their state and nothing is shown. A scripted user
// (a test object) is asked what to do whenever the program waits for input: at every
// modal loop step, at every ProcessMessages call and at every message dialog. What it
// was shown is recorded; anything it did not expect fails the run with an
// EScriptFailure naming what appeared.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/backend.h"
#include "toolkit/forms.h"
#include "toolkit/headless/picture_canvas.h"

namespace zarn {

// A message dialog or error report as the user saw it.
struct DialogRecord {
  bool errorReport = false;  // the general error report rather than a message dialog
  TMsgDlgType kind = TMsgDlgType::mtInformation;
  std::string caption;
  std::string text;
  TMsgDlgButtons buttons = 0;
  int result = mrNone;  // the button the user chose
};

class TScriptedUser {
 public:
  // One thing the user does, in the order the steps were added.
  class Step {
   public:
    // The modal window this step expects to act on (its component name).
    Step& OnForm(const std::string& formName);
    // Run at a ProcessMessages call of a long job instead of at a modal wait; the first
    // `skipCalls` calls pass without it.
    Step& DuringWork(int skipCalls = 0);
    // For dialog steps: the dialog must be of this kind and show exactly this text.
    Step& Expect(TMsgDlgType kind, const std::string& text);
    // For dialog steps: the text must contain this.
    Step& ExpectContaining(const std::string& fragment);

   private:
    friend class TScriptedUser;
    enum class Kind { Action, Dialog, ErrorReport } kind_ = Kind::Action;
    std::string what_;
    std::function<void(TForm&)> action_;
    std::string form_;
    bool duringWork_ = false;
    int skip_ = 0;
    bool checkKind_ = false;
    TMsgDlgType dialogKind_ = TMsgDlgType::mtInformation;
    bool exactText_ = false;
    std::string text_;
    int answer_ = mrNone;
  };

  // ---- actions on the window that waits for input
  Step& Click(const std::string& control);
  // Ticks or unticks a check box, or checks a radio button, by clicking it when its state
  // differs.
  Step& Check(const std::string& control, bool checked = true);
  Step& Type(const std::string& edit, const std::string& text);
  Step& ChooseFolder(const std::string& dirList, const std::string& folder);
  Step& ChooseDrive(const std::string& driveCombo, char drive);
  // Enter: clicks the default button.
  Step& PressEnter();
  // The title bar's close button.
  Step& CloseWindow();
  // Anything else; `what` names it in the log and in failure messages.
  Step& Do(const std::string& what, std::function<void(TForm&)> action);

  // ---- the next message dialog: the button to choose (a result: mrOk, mrYes, ...)
  Step& Answer(int result);
  // The next general error report, whose text must contain `fragment` (empty: any).
  Step& AcceptError(const std::string& fragment = "");

  // ---- what happened
  const std::vector<DialogRecord>& Dialogs() const { return dialogs_; }
  // One line for every window shown, dialog and step taken.
  const std::vector<std::string>& Log() const { return log_; }
  const std::vector<std::string>& Failures() const { return failures_; }
  // Every step was taken.
  bool Finished() const { return steps_.empty(); }
  // The steps not yet taken, one per line.
  std::string Pending() const;

  // ---- called by the headless backend
  void FormShown(TForm& form, bool modal);
  void AtModal(TForm& form);
  void AtProcessMessages(TForm* form);
  int AtDialog(DialogRecord record);

 private:
  Step& Add(Step::Kind kind, const std::string& what, std::function<void(TForm&)> action);
  [[noreturn]] void Fail(const std::string& message);
  void Run(Step& step, TForm& form);
  TControl& Control(TForm& form, const std::string& name);
  std::string Describe(const Step& step) const;
  std::deque<std::unique_ptr<Step>> steps_;
  std::vector<DialogRecord> dialogs_;
  std::vector<std::string> log_;
  std::vector<std::string> failures_;
};

class HeadlessBackend : public Backend {
 public:
  explicit HeadlessBackend(TScriptedUser& user, TSize screen = {1024, 768}) : user_(user), screen_(screen) {}
  std::unique_ptr<ControlPeer> CreatePeer(TControl& control) override;
  void RunModal(TForm& form) override;
  void ProcessMessages(TApplication& app) override;
  void Run(TApplication& app) override;
  int MessageDialog(TApplication& app, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override;
  void ShowError(TApplication& app, const std::string& text) override;
  TSize ScreenSize() override { return screen_; }
  void SetScreenSize(TSize size) { screen_ = size; }
  TSize TextExtent(const TFont& font, const std::string& text) override;
  TScriptedUser& User() { return user_; }

 private:
  TScriptedUser& user_;
  TSize screen_;
};

// Paints a form's client area into a 24-bit picture of its size, as the headless backend imagines it: each container,
// then its graphic controls in creation order, then its windowed controls (which lie
// above graphic ones, as windows do). Text is drawn with the glyphs of `glyphs` (boxes
// with kBoxText), by default those of TGlyphFont::Default().
void RenderForm(TForm& form, TDIB& picture);
void RenderForm(TForm& form, TDIB& picture, TGlyphFont* glyphs);

// Paints a form as its window looks on the screen: the client area as RenderForm paints
// it, inside the dialog frame and under the title bar with the form's caption, a small
// window icon and the close button.
void RenderWindow(TForm& form, TDIB& picture);

// Paints a message dialog (or error report) as the system's message box shows it: the
// caption in the title bar, the icon of its kind, the text wrapped to the box's width
// and its buttons in a row below, the first one the default. The box is laid out
// with Wine's rules, its buttons placed by FitMessageButtons as the Windows backend places them.
void RenderMessageDialog(const DialogRecord& dialog, TDIB& picture);

// Writes a picture as a 24-bit PNG file at a path of the host. Throws EZarnError when
// the file cannot be written or the build has no PNG support.
void SavePng(const TDIB& picture, const std::string& hostPath);

}  // namespace zarn
