#include "auto_user.h"

#include "image/dib_picture.h"
#include "runtime/sjis.h"
#include "wizard/wizard_window.h"

namespace zarn {
namespace setuptool {

namespace {

// Thrown when the person cannot get on; ends the run through the launcher's clean-up.
struct GiveUp : EScriptFailure {
  using EScriptFailure::EScriptFailure;
};

constexpr int kMaxActionsPerWindow = 300;

std::string OneLine(std::string s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') continue;
    out += s[i] == '\n' ? std::string(" / ") : std::string(1, s[i]);
  }
  return out;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

AutoUser::AutoUser(const Choices& choices, std::ostream& out, TSize screen)
    : HeadlessBackend(static_cast<TScriptedUser&>(*this), screen), choices_(choices), out_(out) {}

std::string AutoUser::Text(const std::string& sjis) const { return ToUtf8 ? ToUtf8(StripMnemonic(sjis)) : sjis; }

void AutoUser::Line(const std::string& text) { out_ << text << std::endl; }

std::unique_ptr<ControlPeer> AutoUser::CreatePeer(TControl& control) {
  // A form shown without waiting (the splash window) is announced here.
  if (auto* form = dynamic_cast<TForm*>(&control); form && !form->Modal() && !form->Visible()) {
    Line("window " + form->Name() + " \"" + Text(form->Caption()) + "\" " + std::to_string(form->ClientWidth()) + "x" +
         std::to_string(form->ClientHeight()));
  }
  return nullptr;
}

void AutoUser::Run(TApplication& app) {
  if (TForm* main = app.MainForm()) main->Close();
}

void AutoUser::RunModal(TForm& form) {
  Line("window " + form.Name() + " \"" + Text(form.Caption()) + "\" " + std::to_string(form.ClientWidth()) + "x" +
       std::to_string(form.ClientHeight()));
  int actions = 0;
  while (!form.ModalEnds()) {
    if (++actions > kMaxActionsPerWindow) {
      stuck_ = true;
      Line("  stuck: the window does not close; giving up");
      throw GiveUp("the window " + form.Name() + " does not close");
    }
    Act(form);
  }
  Line("  closed " + form.Name() + " (result " + std::to_string(form.ModalResult()) + ")");
}

void AutoUser::Act(TForm& form) {
  if (!choices_.act) {
    Screenshot(form, "");
    Line("  close the window");
    form.App().Guard([&] { form.Close(); });
    return;
  }
  if (form.Name() == "FormStart")
    ActOnStartMenu(form);
  else if (dynamic_cast<TFormType*>(&form))
    ActOnWizard(form);
  else {
    Line("  close the window");
    form.App().Guard([&] { form.Close(); });
  }
}

void AutoUser::ActOnStartMenu(TForm& form) {
  std::string buttons;
  for (const char* name : {"btnStart", "btnInstall", "btnDirectX", "btnWinMedia", "btnExit"}) {
    TControl& b = form.FindControl(name);
    if (!b.Visible()) continue;
    buttons += (buttons.empty() ? "" : ", ") + Text(b.Caption()) + (b.Enabled() ? "" : " (disabled)");
  }
  Line("  buttons: " + buttons);
  Screenshot(form, "");
  TControl& choice = form.FindControl(choices_.startGame ? "btnStart" : "btnInstall");
  TControl& chosen = choice.CanUserAct() ? choice : form.FindControl("btnExit");
  Line("  click " + Text(chosen.Caption()));
  form.App().Guard([&] { chosen.UserClick(); });
}

void AutoUser::ActOnWizard(TForm& form) {
  auto& wizard = static_cast<TFormType&>(form);
  const int page = wizard.CurrentPage();
  const std::string pageName = wizard.Notebook.ActivePage();
  const std::string state = pageName + "|" + wizard.Caption();
  if (lastState_[&form] != state) {
    lastState_[&form] = state;
    Line("  page " + pageName + " \"" + Text(wizard.Caption()) + "\"");
    Screenshot(form, pageName);
  }
  auto click = [&](TControl& c) {
    if (!c.CanUserAct()) {
      stuck_ = true;
      Line("  stuck: " + c.Name() + " cannot be clicked on page " + pageName);
      throw GiveUp("cannot click " + c.Name());
    }
    Line("  click " + Text(c.Caption()));
    form.App().Guard([&] { c.UserClick(); });
  };
  auto tick = [&](TControl& c, bool on) {
    bool now = false;
    if (auto* box = dynamic_cast<TCheckBox*>(&c)) now = box->Checked();
    if (auto* radio = dynamic_cast<TRadioButton*>(&c)) now = radio->Checked();
    if (now == on || !c.CanUserAct()) return;
    Line(std::string(on ? "  tick " : "  untick ") + Text(c.Caption()));
    form.App().Guard([&] { c.UserClick(); });
  };

  switch (page) {
    case TFormType::pgLicense:
      tick(wizard.CheckLicense, true);
      break;
    case TFormType::pgMedia:
      if (choices_.discs == 1) tick(wizard.RadioDiskAll, true);
      if (choices_.discs == 2) tick(wizard.RadioDiskThis, true);
      break;
    case TFormType::pgFile: {
      const std::pair<TCheckBox*, const char*> boxes[] = {
          {&wizard.CheckData, "data"}, {&wizard.CheckSound, "sound"}, {&wizard.CheckMovie, "movie"}};
      for (const auto& b : boxes)
        if (b.first->Visible()) tick(*b.first, !choices_.componentsGiven || choices_.components.count(b.second) > 0);
      Line("  " + Text(wizard.LabelSize.Caption()));
      break;
    }
    case TFormType::pgSelDir:
      if (!choices_.dir.empty() && wizard.EditDir.Text() != choices_.dir) {
        Line("  type " + Text(choices_.dir));
        form.App().Guard([&] { wizard.EditDir.UserType(choices_.dir); });
      }
      Line("  folder " + Text(wizard.EditDir.Text()) + "; " + Text(wizard.LabelSzDrv.Caption()));
      break;
    case TFormType::pgUninst:
      if (wizard.CheckDelSave.Visible()) tick(wizard.CheckDelSave, choices_.deleteSaves);
      break;
    case TFormType::pgExit:
      Line("  " + Text(wizard.LabelExit.Caption()));
      exitPageReached_ = true;
      click(wizard.btnAbort);
      return;
    case TFormType::pgCopy:
    case TFormType::pgDelete:
      // The job returned without reaching the exit page: give up the wizard.
      Line("  the job stopped on page " + pageName + "; closing the wizard");
      abandoning_ = true;
      click(wizard.btnAbort);
      return;
    default:
      break;
  }
  click(wizard.btnNext);
}

void AutoUser::ProcessMessages(TApplication& app) {
  // Long jobs: print each new heading of the copy and delete pages.
  auto* wizard = dynamic_cast<TFormType*>(app.ActiveModalForm());
  if (!wizard) return;
  std::string heading = wizard->CurrentPage() == TFormType::pgDelete ? wizard->LabelDelTitle.Caption()
                                                                      : wizard->LabelCopyCap.Caption();
  if (!heading.empty() && heading != lastProgress_) {
    lastProgress_ = heading;
    Line("  " + Text(heading));
  }
}

int AutoUser::MessageDialog(TApplication&, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) {
  Line("dialog [" + Text(DialogCaption(kind)) + "] " + OneLine(Text(text)));
  int answer = ButtonResult(ButtonAt(buttons, 0));
  if (Contains(text, "を入れてからOKをクリックしてください")) {
    // "ディスク%dを..."
    int disc = 0;
    const std::string head = "ディスク";
    size_t at = text.find(head);
    if (at != std::string::npos)
      for (size_t i = at + head.size(); i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        disc = disc * 10 + (text[i] - '0');
    if (choices_.act && InsertDisc && InsertDisc(disc)) {
      answer = mrOk;
    } else {
      abandoning_ = true;
      answer = (buttons & mbAbort) ? mrAbort : mrCancel;
    }
  } else if (Contains(text, "を中断しますか")) {
    answer = abandoning_ || !choices_.act ? mrYes : mrNo;
  } else if (Contains(text, "じゅうぶんな空き容量がありません")) {
    answer = mrYes;
  } else if (buttons & mbOK) {
    answer = mrOk;
  }
  for (int i = 0; i < ButtonCount(buttons); ++i)
    if (ButtonResult(ButtonAt(buttons, i)) == answer) Line("  answer " + Text(ButtonCaption(ButtonAt(buttons, i))));
  return answer;
}

void AutoUser::ShowError(TApplication&, const std::string& text) { Line("error: " + OneLine(Text(text))); }

void AutoUser::Screenshot(TForm& form, const std::string& what) {
  if (choices_.screenshots.empty()) return;
  TDIB picture;
  TForm* owner = form.OwnerForm();
  if (owner && owner->Visible()) {
    // The window in front of its owner, where the screen has them.
    RenderForm(*owner, picture);
    TDIB front;
    RenderForm(form, front);
    const int x = form.Left() - owner->Left(), y = form.Top() - owner->Top();
    TDIBCanvas& canvas = picture.Canvas();
    canvas.SetOrigin(0, 0);  // the renderer leaves the canvas on its last control
    canvas.SetClipRect(TRect{});
    canvas.FillRect(TRect::Bounds(x - 2, y - 22, front.Width() + 4, front.Height() + 24), MakeColor(60, 60, 60));
    canvas.FillRect(TRect::Bounds(x, y - 20, front.Width(), 18), MakeColor(0, 84, 166));
    canvas.Draw(x, y, front);
  } else {
    RenderForm(form, picture);
  }
  char name[64];
  std::snprintf(name, sizeof name, "%02d-%s%s%s.png", ++shots_, form.Name().c_str(), what.empty() ? "" : "-",
                what.c_str());
  std::string path = choices_.screenshots + "/" + name;
  try {
    SavePng(picture, path);
    Line("  picture " + path);
  } catch (const std::exception& e) {
    Line(std::string("  picture not saved: ") + e.what());
  }
}

}  // namespace setuptool
}  // namespace zarn
