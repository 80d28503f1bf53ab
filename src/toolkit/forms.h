// Forms and the application object.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/backend.h"
#include "toolkit/controls.h"

namespace zarn {

class Platform;
class TForm;

// One per run: created by the program's entry with the platform and the backend, and
// handed to every window. Owns nothing but what one run needs.
class TApplication : public TComponent {
 public:
  TApplication(Platform& platform, Backend& backend);
  ~TApplication() override;

  Platform& platform() { return platform_; }
  Backend& backend() { return backend_; }

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  // Full path of the program file.
  std::string ExeName();
  // The main window: forms are centred on it, and the message loop ends when it closes.
  TForm* MainForm() const { return mainForm_; }
  void SetMainForm(TForm* form) { mainForm_ = form; }

  // Runs the message loop until Terminate (or the main form closes).
  void Run();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Lets pending window messages (input, painting) be handled during a long job.
  void ProcessMessages();

  // The general error report: shows the message of an error that reached the toolkit
  // in a box, and the program goes on.
  void HandleException(const std::exception& error);
  // Runs an event handler; an error it raises goes to the error report. Failures of a
  // scripted test user pass through.
  void Guard(const std::function<void()>& handler);

  // A message dialog captioned by its kind; returns the result of the chosen button.
  int MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons);

  TSize ScreenSize() { return backend_.ScreenSize(); }

  // Forms that exist, in creation order, and the modal ones from outermost to innermost.
  const std::vector<TForm*>& Forms() const { return forms_; }
  const std::vector<TForm*>& ModalForms() const { return modal_; }
  TForm* ActiveModalForm() const { return modal_.empty() ? nullptr : modal_.back(); }

 private:
  friend class TForm;
  Platform& platform_;
  Backend& backend_;
  std::string title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  std::vector<TForm*> forms_;
  std::vector<TForm*> modal_;
};

// A top-level window. Its Width and Height are those of the client area; Left and Top
// place the window on the screen.
class TForm : public TWinControl {
 public:
  // `owner` is the window this one stays in front of (nullptr: the application).
  TForm(TApplication& app, TForm* owner, const std::string& name);
  ~TForm() override;

  TApplication& App() { return app_; }
  TForm* OwnerForm() const { return ownerForm_; }

  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  void SetClientWidth(int v) { SetWidth(v); }
  void SetClientHeight(int v) { SetHeight(v); }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition p) { position_ = p; }

  // Shows the form without waiting.
  void ShowForm();
  // Shows the form and runs until its modal result is set and the close query allows
  // closing; returns the modal result. Other windows of the program take no input
  // meanwhile.
  int ShowModal();
  bool Modal() const { return modal_; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  // What the title bar's close button does: a modal form gets the modal result Cancel;
  // another form hides when its close query allows.
  void Close();
  // Asks OnCloseQuery whether the form may close.
  bool CloseQuery();
  std::function<void(bool& canClose)> OnCloseQuery;
  // Destroys the window (the object stays until its owner frees it).
  void Release();

  // For the backends' modal loops: true when the modal result is set and the close query
  // allowed closing (a refused close clears the modal result).
  bool ModalEnds();

  // The control that has the keyboard focus.
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  // The button Enter presses, and the one Esc presses (nullptr when there is none).
  TButton* DefaultButton();
  TButton* CancelButton();

  // A control of this form by name (ASCII case ignored); throws when missing or of another
  // class.
  TControl& FindControl(const std::string& name);
  template <typename T>
  T& Find(const std::string& name) {
    T* control = dynamic_cast<T*>(&FindControl(name));
    if (!control) ThrowWrongClass(name);
    return *control;
  }

 protected:
  // Runs the form's creation handler; call it at the end of the derived form's
  // constructor. An error the handler raises goes to the error report, and the form is
  // still usable with whatever was set up before the error.
  void RunCreate(const std::function<void()>& formCreate);

 private:
  void PlaceOnScreen();
  [[noreturn]] void ThrowWrongClass(const std::string& name);
  TApplication& app_;
  TForm* ownerForm_;
  TBorderStyle borderStyle_ = TBorderStyle::bsDialog;
  TPosition position_ = TPosition::poScreenCenter;
  bool modal_ = false;
  int modalResult_ = mrNone;
  TWinControl* activeControl_ = nullptr;
};

}  // namespace zarn
