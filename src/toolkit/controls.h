// Components and controls. A control holds its whole state (position, caption,
// visibility, enabled, checked, ...); the backend's peer shows it. Controls are usually
// members of a form class, declared in creation order, which is also their painting and
// Tab order. Event handlers are plain std::function members bound to form methods.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/backend.h"
#include "toolkit/canvas.h"
#include "toolkit/types.h"

namespace zarn {

class Platform;
class TApplication;
class TForm;
class TWinControl;
class TControl;

using TNotifyEvent = std::function<void(TControl& sender)>;

// Base of what a form or the application owns: controls and non-visual components.
// The owner keeps a list of its components in creation order (it does not free them:
// they are members or held by their creator), and a component leaves the list when it
// is destroyed.
class TComponent {
 public:
  TComponent(TComponent* owner, const std::string& name);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  TComponent* Owner() const { return owner_; }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  // Owned components in creation order.
  const std::vector<TComponent*>& Components() const { return components_; }
  // The owned component of that name (ASCII case ignored), or nullptr.
  TComponent* FindComponent(const std::string& name) const;

 private:
  TComponent* owner_;
  std::string name_;
  int tag_ = 0;
  std::vector<TComponent*> components_;
};

class TControl : public TComponent {
 public:
  TControl(TWinControl& parent, const std::string& name);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  TForm& Form();
  TApplication& Application();

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  TRect ClientRect() const { return {0, 0, width_, height_}; }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and so is every parent up to a visible form.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Enabled, and so is every parent.
  bool EffectivelyEnabled() const;

  // Caption of buttons, labels and boxes; the text of edits.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  const std::string& Text() const { return caption_; }
  void SetText(const std::string& text) { SetCaption(text); }

  // The parent's font and colour unless the control was given its own.
  const TFont& Font() const;
  void SetFont(const TFont& font);
  void SetFontColor(TColor color);
  TColor Color() const;
  void SetColor(TColor color);

  TNotifyEvent OnClick;
  // Runs the click handler (the program's own call; a user's click goes through UserClick).
  virtual void Click();
  // What a click of the user does: a button clicks, a check box toggles, a radio button
  // becomes checked.
  virtual void UserClick() { Click(); }
  // Whether the user can act on the control now: shown and enabled with all parents.
  bool CanUserAct() const { return Showing() && EffectivelyEnabled(); }

  virtual bool IsWindowed() const { return false; }
  void Invalidate();

  ControlPeer* Peer() const { return peer_.get(); }
  // The text as the user typed it into the peer: stored and reported like SetText,
  // without echoing it back to the peer.
  void PeerSetText(const std::string& text);
  // Creates the backend's peers of this control (and of its children); called when the
  // form is shown. Idempotent.
  virtual void HandleNeeded();
  // Drops the backend's peers (children first).
  virtual void DestroyHandle();

 protected:
  // For forms, which have no parent.
  TControl(TComponent* owner, const std::string& name);
  // Tells the peer that something changed.
  void Changed(TProp what);
  // Runs after the text changed (edits report it, labels resize).
  virtual void TextChanged() {}
  friend class TWinControl;

  std::unique_ptr<ControlPeer> peer_;

 private:
  void FontChangedHere();
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true, enabled_ = true;
  std::string caption_;
  std::optional<TFont> font_;
  std::optional<TColor> color_;
};

// A control with a window of its own, which can hold other controls.
class TWinControl : public TControl {
 public:
  TWinControl(TWinControl& parent, const std::string& name) : TControl(parent, name) {}
  ~TWinControl() override;
  bool IsWindowed() const override { return true; }
  // Child controls in creation order (graphic and windowed).
  const std::vector<TControl*>& Controls() const { return controls_; }
  void SetBounds(int left, int top, int width, int height) override;
  void HandleNeeded() override;
  void DestroyHandle() override;

  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v) { tabStop_ = v; }
  // Makes this the form's focused control.
  void SetFocus();
  bool Focused();

  // Paints the graphic children, in creation order, on a canvas whose origin is this
  // control's top left (the backends call this when the control's area needs painting).
  void PaintGraphicChildren(TCanvas& canvas);

 protected:
  TWinControl(TComponent* owner, const std::string& name) : TControl(owner, name) {}
  // Fits the children aligned to the client area.
  void Realign();

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
  bool tabStop_ = true;
};

// A control without a window that paints on its parent.
class TGraphicControl : public TControl {
 public:
  using TControl::TControl;
  // Paints the control on its parent's canvas, whose origin is the control's top left
  // corner. Every backend calls it.
  virtual void Paint(TCanvas& canvas) {}
};

class TButton : public TWinControl {
 public:
  TButton(TWinControl& parent, const std::string& name);
  // The button that Enter presses.
  bool Default() const { return default_; }
  void SetDefault(bool v);
  // The button that Esc presses.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  // When not mrNone, a click sets the form's modal result to this.
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }
  void Click() override;

 private:
  bool default_ = false, cancel_ = false;
  int modalResult_ = mrNone;
};

class TCheckBox : public TWinControl {
 public:
  TCheckBox(TWinControl& parent, const std::string& name);
  bool Checked() const { return checked_; }
  // Changing the state runs the click handler, whoever changed it.
  void SetChecked(bool v);
  void UserClick() override { SetChecked(!checked_); }

 private:
  bool checked_ = false;
};

// Radio buttons with the same parent form one group: checking one unchecks the others.
class TRadioButton : public TWinControl {
 public:
  TRadioButton(TWinControl& parent, const std::string& name);
  bool Checked() const { return checked_; }
  // Becoming checked runs the click handler; becoming unchecked does not.
  void SetChecked(bool v);
  void UserClick() override { SetChecked(true); }

 private:
  bool checked_ = false;
};

class TLabel : public TGraphicControl {
 public:
  TLabel(TWinControl& parent, const std::string& name);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  // With automatic sizing the label takes the size of its text whenever the text or the
  // font changes; a right-aligned label keeps its right edge.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  // A transparent label draws only its text; an opaque one fills its area first.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  void Paint(TCanvas& canvas) override;

 private:
  void TextChanged() override;
  void AdjustBounds();
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool autoSize_ = true, transparent_ = false;
};

// A one-line edit.
class TEdit : public TWinControl {
 public:
  TEdit(TWinControl& parent, const std::string& name);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  // Characters (a double-byte character counts one) the user may type; 0 = no limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v);
  // Runs whenever the text changes, by the program or by typing.
  TNotifyEvent OnChange;
  // Text typed by the user: the edit's limit applies.
  void UserType(const std::string& text);

 private:
  void TextChanged() override;
  bool readOnly_ = false;
  int maxLength_ = 0;
};

// A multi-line text box in plain text with a vertical scroll bar, usually read-only.
// Text beyond the maximum length (in characters) is cut off at a character boundary.
class TRichEdit : public TWinControl {
 public:
  TRichEdit(TWinControl& parent, const std::string& name);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v);

 private:
  void TextChanged() override;
  bool readOnly_ = true;
  int maxLength_ = 0;
};

// Cuts a Shift-JIS text after `maxChars` characters (0 = no limit), never inside a
// double-byte character.
std::string LimitChars(const std::string& text, int maxChars);

class TNotebook;

// One page of a notebook: a container shown only while it is the active page.
class TPage : public TWinControl {
 public:
  TPage(TNotebook& notebook, const std::string& name);
};

// A page container: named pages, one visible at a time.
class TNotebook : public TWinControl {
 public:
  TNotebook(TWinControl& parent, const std::string& name, const std::vector<std::string>& pageNames);
  ~TNotebook() override;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TPage& Page(int index) { return *pages_.at(static_cast<size_t>(index)); }
  // The page of that name; throws when there is none.
  TPage& Page(const std::string& name);
  int PageIndex() const { return pageIndex_; }
  void SetPageIndex(int index);
  // Name of the active page, and choosing a page by its name (-1 when unknown).
  std::string ActivePage() const;
  int IndexOfPage(const std::string& name) const;
  void SetActivePage(const std::string& name);
  TNotifyEvent OnPageChanged;
  void SetBounds(int left, int top, int width, int height) override;

 private:
  std::vector<std::unique_ptr<TPage>> pages_;
  int pageIndex_ = 0;
};

class TProgressBar : public TWinControl {
 public:
  TProgressBar(TWinControl& parent, const std::string& name);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  // The range; the position is moved into it.
  void SetRange(int min, int max);
  // Values outside the range are held at its ends.
  void SetPosition(int position);

 private:
  int min_ = 0, max_ = 100, position_ = 0;
};

// A sunken or raised line or box.
class TBevel : public TGraphicControl {
 public:
  TBevel(TWinControl& parent, const std::string& name);
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape s);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle s);
  void Paint(TCanvas& canvas) override;

 private:
  TBevelShape shape_ = TBevelShape::bsBox;
  TBevelStyle style_ = TBevelStyle::bsLowered;
};

class TDirectoryListBox;

// A list of the machine's drives; choosing one moves a linked directory list to it.
class TDriveComboBox : public TWinControl {
 public:
  TDriveComboBox(TWinControl& parent, const std::string& name);
  ~TDriveComboBox() override;
  // The chosen drive as an upper-case letter ('\0' before the list is filled).
  char Drive() const { return drive_; }
  // Chooses a drive. A letter the machine does not have is refused (throws); on a drive
  // that cannot be entered the linked list and the choice stay as they were (throws).
  void SetDrive(char letter);
  void SetDirList(TDirectoryListBox* list);
  TDirectoryListBox* DirList() const { return dirList_; }
  // Lines shown: "c: [label]" for each drive, in letter order.
  const std::vector<std::string>& Items();
  int ItemIndex();
  // Rereads the drives.
  void Refresh();
  TNotifyEvent OnChange;

 private:
  friend class TDirectoryListBox;
  void FollowList(char letter);
  std::vector<char> letters_;
  std::vector<std::string> items_;
  bool filled_ = false;
  char drive_ = 0;
  TDirectoryListBox* dirList_ = nullptr;
};

// The folders around one folder: the drive's root, each folder down to the current one,
// then the current folder's subfolders (sorted, ASCII case ignored). Opening an entry
// makes it the current folder of the list and of the process.
class TDirectoryListBox : public TWinControl {
 public:
  TDirectoryListBox(TWinControl& parent, const std::string& name);
  ~TDirectoryListBox() override;
  // The current folder: "C:\" for a root, else without a trailing backslash.
  const std::string& Directory() const { return directory_; }
  // Moves to a folder and makes it the process's current folder; a folder that cannot be
  // entered raises an error and nothing changes. Runs OnChange when the folder changed.
  void SetDirectory(const std::string& path);
  char Drive() const { return directory_.empty() ? 0 : directory_[0]; }
  // Moves to the root of another drive.
  void SetDrive(char letter);
  const std::vector<std::string>& Items() const { return items_; }
  // Full path of an entry.
  std::string ItemPath(int index) const;
  // Index of the entry of the current folder.
  int ItemIndex() const { return currentIndex_; }
  // What a double-click on an entry does.
  void OpenItem(int index);
  TNotifyEvent OnChange;

 private:
  friend class TDriveComboBox;
  void BuildList();
  std::string directory_;
  std::vector<std::string> items_;  // display texts (indented names)
  std::vector<std::string> paths_;  // full paths of the entries
  int currentIndex_ = -1;
  TDriveComboBox* driveCombo_ = nullptr;
};

// Text with mnemonic markers removed: "&Y" shows as "Y", "&&" as "&".
std::string StripMnemonic(const std::string& caption);
// The upper-case letter after a single '&', or 0.
char MnemonicOf(const std::string& caption);

}  // namespace zarn
