#include "toolkit/headless/headless.h"

#include "runtime/error.h"
#include "runtime/sjis.h"
#include "toolkit/headless/glyphs.h"
#include "toolkit/headless/likeness.h"

namespace zarn {

// ---- steps

TScriptedUser::Step& TScriptedUser::Step::OnForm(const std::string& formName) {
  form_ = formName;
  return *this;
}

TScriptedUser::Step& TScriptedUser::Step::DuringWork(int skipCalls) {
  duringWork_ = true;
  skip_ = skipCalls < 0 ? 0 : skipCalls;
  return *this;
}

TScriptedUser::Step& TScriptedUser::Step::Expect(TMsgDlgType kind, const std::string& text) {
  checkKind_ = true;
  dialogKind_ = kind;
  exactText_ = true;
  text_ = text;
  return *this;
}

TScriptedUser::Step& TScriptedUser::Step::ExpectContaining(const std::string& fragment) {
  exactText_ = false;
  text_ = fragment;
  return *this;
}

TScriptedUser::Step& TScriptedUser::Add(Step::Kind kind, const std::string& what,
                                        std::function<void(TForm&)> action) {
  steps_.push_back(std::make_unique<Step>());
  Step& s = *steps_.back();
  s.kind_ = kind;
  s.what_ = what;
  s.action_ = std::move(action);
  return s;
}

void TScriptedUser::Fail(const std::string& message) {
  failures_.push_back(message);
  log_.push_back("FAILED: " + message);
  throw EScriptFailure(message);
}

TControl& TScriptedUser::Control(TForm& form, const std::string& name) {
  try {
    return form.FindControl(name);
  } catch (const EZarnError& e) {
    Fail(e.what());
  }
}

namespace {
template <typename T>
T& As(TControl& control, const char* kind, const std::function<void(const std::string&)>& fail) {
  T* t = dynamic_cast<T*>(&control);
  if (!t) fail(control.Name() + " is not " + kind);
  return *t;
}
}  // namespace

TScriptedUser::Step& TScriptedUser::Click(const std::string& name) {
  return Add(Step::Kind::Action, "click " + name, [this, name](TForm& form) {
    TControl& c = Control(form, name);
    if (!c.CanUserAct()) Fail("cannot click " + name + ": it is hidden or disabled");
    form.App().Guard([&] { c.UserClick(); });
  });
}

TScriptedUser::Step& TScriptedUser::Check(const std::string& name, bool checked) {
  return Add(Step::Kind::Action, (checked ? "tick " : "untick ") + name, [this, name, checked](TForm& form) {
    TControl& c = Control(form, name);
    if (!c.CanUserAct()) Fail("cannot click " + name + ": it is hidden or disabled");
    bool now;
    if (auto* box = dynamic_cast<TCheckBox*>(&c)) {
      now = box->Checked();
    } else if (auto* radio = dynamic_cast<TRadioButton*>(&c)) {
      now = radio->Checked();
      if (!checked && now) Fail("a radio button cannot be unchecked by clicking it: " + name);
    } else {
      Fail(name + " is neither a check box nor a radio button");
    }
    if (now != checked) form.App().Guard([&] { c.UserClick(); });
  });
}

TScriptedUser::Step& TScriptedUser::Type(const std::string& name, const std::string& text) {
  return Add(Step::Kind::Action, "type into " + name, [this, name, text](TForm& form) {
    auto& edit = As<TEdit>(Control(form, name), "an edit", [this](const std::string& m) { Fail(m); });
    if (!edit.CanUserAct() || edit.ReadOnly()) Fail("cannot type into " + name + ": hidden, disabled or read-only");
    form.App().Guard([&] { edit.UserType(text); });
  });
}

TScriptedUser::Step& TScriptedUser::ChooseFolder(const std::string& name, const std::string& folder) {
  return Add(Step::Kind::Action, "choose folder " + folder + " in " + name, [this, name, folder](TForm& form) {
    auto& list = As<TDirectoryListBox>(Control(form, name), "a directory list", [this](const std::string& m) { Fail(m); });
    if (!list.CanUserAct()) Fail("cannot use " + name + ": it is hidden or disabled");
    form.App().Guard([&] { list.SetDirectory(folder); });
  });
}

TScriptedUser::Step& TScriptedUser::ChooseDrive(const std::string& name, char drive) {
  return Add(Step::Kind::Action, "choose drive " + std::string(1, drive) + " in " + name,
             [this, name, drive](TForm& form) {
               auto& combo = As<TDriveComboBox>(Control(form, name), "a drive list", [this](const std::string& m) { Fail(m); });
               if (!combo.CanUserAct()) Fail("cannot use " + name + ": it is hidden or disabled");
               form.App().Guard([&] { combo.SetDrive(drive); });
             });
}

TScriptedUser::Step& TScriptedUser::PressEnter() {
  return Add(Step::Kind::Action, "press Enter", [this](TForm& form) {
    TButton* b = form.DefaultButton();
    if (!b) Fail("Enter pressed, but " + form.Name() + " has no usable default button");
    form.App().Guard([&] { b->UserClick(); });
  });
}

TScriptedUser::Step& TScriptedUser::CloseWindow() {
  return Add(Step::Kind::Action, "close the window", [](TForm& form) { form.App().Guard([&] { form.Close(); }); });
}

TScriptedUser::Step& TScriptedUser::Do(const std::string& what, std::function<void(TForm&)> action) {
  return Add(Step::Kind::Action, what, [action](TForm& form) { form.App().Guard([&] { action(form); }); });
}

TScriptedUser::Step& TScriptedUser::Answer(int result) {
  Step& s = Add(Step::Kind::Dialog, "answer a dialog with " + IntToStr(result), nullptr);
  s.answer_ = result;
  return s;
}

TScriptedUser::Step& TScriptedUser::AcceptError(const std::string& fragment) {
  Step& s = Add(Step::Kind::ErrorReport, "accept an error report", nullptr);
  s.text_ = fragment;
  s.answer_ = mrOk;
  return s;
}

std::string TScriptedUser::Describe(const Step& step) const {
  std::string d = step.what_;
  if (!step.text_.empty()) d += " (\"" + step.text_ + "\")";
  if (!step.form_.empty()) d += " on " + step.form_;
  if (step.duringWork_) d += " during work";
  return d;
}

std::string TScriptedUser::Pending() const {
  std::string r;
  for (const auto& s : steps_) r += Describe(*s) + "\n";
  return r;
}

// ---- what the backend reports

void TScriptedUser::FormShown(TForm& form, bool modal) {
  log_.push_back(std::string(modal ? "modal " : "show ") + form.Name() + " \"" + form.Caption() + "\"");
}

void TScriptedUser::Run(Step& step, TForm& form) {
  if (!step.form_.empty() && !SameText(step.form_, form.Name()))
    Fail("step '" + Describe(step) + "' expected window " + step.form_ + ", but " + form.Name() + " waits for input");
  log_.push_back(form.Name() + ": " + step.what_);
  step.action_(form);
}

void TScriptedUser::AtModal(TForm& form) {
  std::string waiting = form.Name() + " \"" + form.Caption() + "\"";
  if (steps_.empty()) Fail("no step left, and window " + waiting + " waits for input");
  Step& front = *steps_.front();
  if (front.kind_ != Step::Kind::Action)
    Fail("expected a dialog (" + Describe(front) + "), but window " + waiting + " waits for input");
  if (front.duringWork_)
    Fail("step '" + Describe(front) + "' was for a long job, but window " + waiting + " waits for input");
  std::unique_ptr<Step> step = std::move(steps_.front());
  steps_.pop_front();
  Run(*step, form);
}

void TScriptedUser::AtProcessMessages(TForm* form) {
  if (steps_.empty()) return;
  Step& front = *steps_.front();
  if (front.kind_ != Step::Kind::Action || !front.duringWork_) return;
  if (front.skip_ > 0) {
    --front.skip_;
    return;
  }
  if (!form) Fail("step '" + Describe(front) + "' has no window to act on");
  std::unique_ptr<Step> step = std::move(steps_.front());
  steps_.pop_front();
  Run(*step, *form);
}

int TScriptedUser::AtDialog(DialogRecord record) {
  std::string shown = (record.errorReport ? "error report [" : "dialog [") + record.caption + "] " + record.text;
  log_.push_back(shown);
  if (steps_.empty() || steps_.front()->kind_ == Step::Kind::Action) Fail("unexpected " + shown);
  std::unique_ptr<Step> step = std::move(steps_.front());
  steps_.pop_front();
  bool wantError = step->kind_ == Step::Kind::ErrorReport;
  if (wantError != record.errorReport)
    Fail("expected " + std::string(wantError ? "an error report" : "a message dialog") + ", got " + shown);
  if (step->checkKind_ && step->dialogKind_ != record.kind) Fail("dialog of another kind: " + shown);
  if (step->exactText_ ? record.text != step->text_ : record.text.find(step->text_) == std::string::npos)
    Fail("dialog text differs: expected \"" + step->text_ + "\", got " + shown);
  int answer = step->answer_;
  bool offered = false;
  for (int i = 0; i < ButtonCount(record.buttons); ++i)
    if (ButtonResult(ButtonAt(record.buttons, i)) == answer) offered = true;
  if (!offered) Fail("answer " + IntToStr(answer) + " is not a button of " + shown);
  record.result = answer;
  dialogs_.push_back(record);
  return answer;
}

// ---- backend

std::unique_ptr<ControlPeer> HeadlessBackend::CreatePeer(TControl&) { return nullptr; }

void HeadlessBackend::RunModal(TForm& form) {
  user_.FormShown(form, true);
  while (!form.ModalEnds()) user_.AtModal(form);
}

void HeadlessBackend::ProcessMessages(TApplication& app) { user_.AtProcessMessages(app.ActiveModalForm()); }

void HeadlessBackend::Run(TApplication& app) {
  TForm* main = app.MainForm();
  if (main) user_.FormShown(*main, false);
  while (!app.Terminated() && main && main->Visible()) user_.AtModal(*main);
}

int HeadlessBackend::MessageDialog(TApplication&, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) {
  DialogRecord r;
  r.kind = kind;
  r.caption = DialogCaption(kind);
  r.text = text;
  r.buttons = buttons;
  return user_.AtDialog(r);
}

void HeadlessBackend::ShowError(TApplication& app, const std::string& text) {
  DialogRecord r;
  r.errorReport = true;
  r.kind = TMsgDlgType::mtError;
  r.caption = app.Title();
  r.text = text;
  r.buttons = mbOK;
  user_.AtDialog(r);
}

TSize HeadlessBackend::TextExtent(const TFont& font, const std::string& text) {
  return BoxTextExtent(text, font.height);
}

// ---- rendering

namespace {
void PaintTree(TWinControl& control, TPictureCanvas& canvas, int ox, int oy, const TRect& clip) {
  canvas.SetOrigin(ox, oy);
  canvas.SetClip(clip);
  canvas.font = control.Font();
  PaintLikeness(control, canvas);
  canvas.SetOrigin(ox, oy);
  canvas.SetClip(clip);
  control.PaintGraphicChildren(canvas);
  for (TControl* child : control.Controls()) {
    auto* w = dynamic_cast<TWinControl*>(child);
    if (!w || !w->Visible()) continue;
    int cx = ox + w->Left(), cy = oy + w->Top();
    PaintTree(*w, canvas, cx, cy, IntersectRect(clip, Bounds(cx, cy, w->Width(), w->Height())));
  }
}
}  // namespace

void RenderForm(TForm& form, TDIB& picture) { RenderForm(form, picture, &TGlyphFont::Default()); }

void RenderForm(TForm& form, TDIB& picture, TGlyphFont* glyphs) {
  picture.SetSize(form.ClientWidth(), form.ClientHeight(), 24);
  if (picture.Empty()) return;
  TPictureCanvas canvas(picture, glyphs);
  canvas.FillRect({0, 0, picture.Width(), picture.Height()}, form.Color());
  PaintTree(form, canvas, 0, 0, {0, 0, picture.Width(), picture.Height()});
}

}  // namespace zarn
