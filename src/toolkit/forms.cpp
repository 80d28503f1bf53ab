#include "toolkit/forms.h"

#include <algorithm>

#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"

namespace zarn {

// ---- dialog kinds and buttons

std::string DialogCaption(TMsgDlgType kind) {
  switch (kind) {
    case TMsgDlgType::mtWarning: return "警告";
    case TMsgDlgType::mtError: return "エラー";
    case TMsgDlgType::mtInformation: return "情報";
    case TMsgDlgType::mtConfirmation: return "確認";
  }
  return "";
}

namespace {
const TMsgDlgButtons kButtonOrder[] = {mbYes, mbNo, mbOK, mbCancel, mbAbort};
}

std::string ButtonCaption(TMsgDlgButtons button) {
  switch (button) {
    case mbYes: return "はい(&Y)";
    case mbNo: return "いいえ(&N)";
    case mbOK: return "OK";
    case mbCancel: return "キャンセル";
    case mbAbort: return "中止(&A)";
  }
  return "";
}

int ButtonResult(TMsgDlgButtons button) {
  switch (button) {
    case mbYes: return mrYes;
    case mbNo: return mrNo;
    case mbOK: return mrOk;
    case mbCancel: return mrCancel;
    case mbAbort: return mrAbort;
  }
  return mrNone;
}

int ButtonCount(TMsgDlgButtons buttons) {
  int n = 0;
  for (TMsgDlgButtons b : kButtonOrder)
    if (buttons & b) ++n;
  return n;
}

TMsgDlgButtons ButtonAt(TMsgDlgButtons buttons, int index) {
  for (TMsgDlgButtons b : kButtonOrder)
    if ((buttons & b) && index-- == 0) return b;
  return 0;
}

TButtonRow FitMessageButtons(int clientWidth, int width, int gap, int count, int widestCaption) {
  TButtonRow row;
  row.width = std::max(width, widestCaption + 16);
  row.gap = gap;
  int span = count * row.width + (count - 1) * gap;
  row.grown = std::max(0, span + 2 * gap - clientWidth);
  row.firstLeft = (clientWidth + row.grown - span) / 2;
  return row;
}

// ---- TApplication

TApplication::TApplication(Platform& platform, Backend& backend)
    : TComponent(nullptr, "Application"), platform_(platform), backend_(backend) {}

TApplication::~TApplication() = default;

std::string TApplication::ExeName() { return platform_.ProgramFile(); }

void TApplication::Run() {
  terminated_ = false;
  backend_.Run(*this);
}

void TApplication::ProcessMessages() { backend_.ProcessMessages(*this); }

void TApplication::HandleException(const std::exception& error) {
  std::string text = error.what();
  if (text.empty()) text = "エラーが発生しました";
  backend_.ShowError(*this, text);
}

void TApplication::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const EScriptFailure&) {
    throw;
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

int TApplication::MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
  buttons &= mbYes | mbNo | mbOK | mbCancel | mbAbort;
  if (buttons == 0) buttons = mbOK;
  return backend_.MessageDialog(*this, kind, text, buttons);
}

// ---- TForm

TForm::TForm(TApplication& app, TForm* owner, const std::string& name)
    : TWinControl(&app, name), app_(app), ownerForm_(owner) {
  SetVisible(false);
  SetBounds(0, 0, 320, 240);
  app_.forms_.push_back(this);
}

TForm::~TForm() {
  DestroyHandle();
  auto& forms = app_.forms_;
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  auto& modal = app_.modal_;
  modal.erase(std::remove(modal.begin(), modal.end(), this), modal.end());
  if (app_.mainForm_ == this) app_.mainForm_ = nullptr;
  for (TForm* f : app_.forms_)
    if (f->ownerForm_ == this) f->ownerForm_ = nullptr;
}

void TForm::SetBorderStyle(TBorderStyle s) {
  borderStyle_ = s;
  Changed(TProp::Bounds);
}

void TForm::RunCreate(const std::function<void()>& formCreate) { app_.Guard(formCreate); }

void TForm::PlaceOnScreen() {
  TRect area{0, 0, 0, 0};
  auto centreOn = [&](TForm* f) {
    if (f && f != this && f->Visible()) {
      area = f->BoundsRect();
      return true;
    }
    return false;
  };
  switch (position_) {
    case TPosition::poDesigned:
      return;
    case TPosition::poMainFormCenter:
      if (!centreOn(app_.MainForm())) centreOn(ownerForm_);
      break;
    case TPosition::poOwnerFormCenter:
      if (!centreOn(ownerForm_)) centreOn(app_.MainForm());
      break;
    case TPosition::poScreenCenter:
      break;
  }
  if (area.IsEmpty()) {
    TSize screen = app_.ScreenSize();
    area = {0, 0, screen.cx, screen.cy};
  }
  int left = area.Left + (area.Width() - Width()) / 2;
  int top = area.Top + (area.Height() - Height()) / 2;
  SetBounds(std::max(left, 0), std::max(top, 0), Width(), Height());
}

void TForm::ShowForm() {
  if (!Visible()) PlaceOnScreen();
  HandleNeeded();
  SetVisible(true);
}

int TForm::ShowModal() {
  if (modal_) throw EZarnError("このウィンドウは既に表示されています");
  modalResult_ = mrNone;
  modal_ = true;
  app_.modal_.push_back(this);
  struct Leave {
    TForm& form;
    ~Leave() {
      form.SetVisible(false);
      form.modal_ = false;
      auto& modal = form.app_.modal_;
      modal.erase(std::remove(modal.begin(), modal.end(), &form), modal.end());
    }
  } leave{*this};
  ShowForm();
  app_.backend().RunModal(*this);
  return modalResult_;
}

bool TForm::ModalEnds() {
  if (modalResult_ == mrNone) return false;
  bool canClose = false;
  app_.Guard([&] { canClose = CloseQuery(); });
  if (!canClose) modalResult_ = mrNone;
  return canClose;
}

void TForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (CloseQuery()) {
    SetVisible(false);
    if (app_.MainForm() == this) app_.Terminate();
  }
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(canClose);
  return canClose;
}

void TForm::Release() {
  SetVisible(false);
  DestroyHandle();
}

void TForm::SetActiveControl(TWinControl* control) {
  activeControl_ = control;
  if (control && control->Peer()) control->Peer()->SetFocus();
}

TButton* TForm::DefaultButton() {
  for (TComponent* c : Components())
    if (auto* b = dynamic_cast<TButton*>(c); b && b->Default() && b->CanUserAct()) return b;
  return nullptr;
}

TButton* TForm::CancelButton() {
  for (TComponent* c : Components())
    if (auto* b = dynamic_cast<TButton*>(c); b && b->Cancel() && b->CanUserAct()) return b;
  return nullptr;
}

TControl& TForm::FindControl(const std::string& name) {
  for (TComponent* c : Components())
    if (auto* control = dynamic_cast<TControl*>(c); control && SameText(c->Name(), name)) return *control;
  throw EZarnError(Format("%s にコントロール %s はありません", Name(), name));
}

void TForm::ThrowWrongClass(const std::string& name) {
  throw EZarnError(Format("%s のコントロール %s は求める種類ではありません", Name(), name));
}

}  // namespace zarn
