#include "toolkit/controls.h"

#include <algorithm>

#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "toolkit/forms.h"

namespace zarn {

namespace {
const TFont& DefaultFont() {
  static const TFont font;
  return font;
}

template <typename T>
void EraseValue(std::vector<T>& v, const T& value) {
  v.erase(std::remove(v.begin(), v.end(), value), v.end());
}
}  // namespace

// ---- TComponent

TComponent::TComponent(TComponent* owner, const std::string& name) : owner_(owner), name_(name) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  for (TComponent* c : components_) c->owner_ = nullptr;
  if (owner_) EraseValue(owner_->components_, this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : components_)
    if (SameText(c->Name(), name)) return c;
  return nullptr;
}

// ---- TControl

TControl::TControl(TWinControl& parent, const std::string& name)
    : TComponent(&parent.Form(), name), parent_(&parent) {
  parent.controls_.push_back(this);
}

TControl::TControl(TComponent* owner, const std::string& name) : TComponent(owner, name) {}

TControl::~TControl() {
  peer_.reset();
  if (parent_) {
    EraseValue(parent_->controls_, this);
    if (!IsWindowed() && parent_->peer_) parent_->peer_->Invalidate(BoundsRect());
  }
}

TForm& TControl::Form() {
  TControl* c = this;
  while (c->parent_) c = c->parent_;
  TForm* form = dynamic_cast<TForm*>(c);
  if (!form) throw EZarnError("コントロールがフォームの上にありません");
  return *form;
}

TApplication& TControl::Application() { return Form().App(); }

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  bool graphic = !IsWindowed() && parent_;
  if (graphic && Visible()) Invalidate();
  left_ = left, top_ = top, width_ = width, height_ = height;
  if (graphic) {
    if (Visible()) Invalidate();
  } else {
    Changed(TProp::Bounds);
  }
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  if (align_ == TAlign::alClient && parent_) SetBounds(0, 0, parent_->Width(), parent_->Height());
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (!IsWindowed() && parent_) {
    Invalidate();
    visible_ = visible;
    Invalidate();
    return;
  }
  visible_ = visible;
  Changed(TProp::Visible);
}

bool TControl::Showing() const {
  if (!visible_) return false;
  return parent_ ? parent_->Showing() : true;
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (IsWindowed()) Changed(TProp::Enabled);
  else Invalidate();
}

bool TControl::EffectivelyEnabled() const {
  if (!enabled_) return false;
  return parent_ ? parent_->EffectivelyEnabled() : true;
}

void TControl::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Changed(TProp::Caption);
  TextChanged();
}

void TControl::PeerSetText(const std::string& text) {
  if (text == caption_) return;
  caption_ = text;
  TextChanged();
}

const TFont& TControl::Font() const {
  if (font_) return *font_;
  return parent_ ? parent_->Font() : DefaultFont();
}

void TControl::SetFont(const TFont& font) {
  font_ = font;
  FontChangedHere();
}

void TControl::FontChangedHere() {
  Changed(TProp::Font);
  TextChanged();
  if (auto* w = dynamic_cast<TWinControl*>(this))
    for (TControl* child : w->controls_)
      if (!child->font_) child->FontChangedHere();
}

void TControl::SetFontColor(TColor color) {
  TFont f = Font();
  f.color = color;
  SetFont(f);
}

TColor TControl::Color() const {
  if (color_) return *color_;
  return parent_ ? parent_->Color() : clBtnFace;
}

void TControl::SetColor(TColor color) {
  color_ = color;
  Changed(TProp::Color);
}

void TControl::Click() {
  if (OnClick) OnClick(*this);
}

void TControl::Invalidate() {
  if (peer_) {
    peer_->Invalidate(ClientRect());
  } else if (!IsWindowed() && parent_ && parent_->peer_) {
    parent_->peer_->Invalidate(BoundsRect());
  }
}

void TControl::HandleNeeded() {
  if (!peer_) peer_ = Application().backend().CreatePeer(*this);
}

void TControl::DestroyHandle() { peer_.reset(); }

void TControl::Changed(TProp what) {
  if (!IsWindowed()) {
    Invalidate();
    return;
  }
  // A control made after its form was shown gets its window on its first change.
  if (!peer_ && parent_ && parent_->peer_) HandleNeeded();
  if (peer_) peer_->Update(what);
}

// ---- TWinControl

TWinControl::~TWinControl() {
  for (TControl* c : controls_) c->parent_ = nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  Realign();
}

void TWinControl::Realign() {
  for (TControl* c : controls_)
    if (c->Align() == TAlign::alClient) c->SetBounds(0, 0, Width(), Height());
}

void TWinControl::HandleNeeded() {
  TControl::HandleNeeded();
  // Copy: creating a peer never adds controls, but be safe against it.
  std::vector<TControl*> children = controls_;
  for (TControl* c : children) c->HandleNeeded();
}

void TWinControl::DestroyHandle() {
  for (TControl* c : controls_) c->DestroyHandle();
  TControl::DestroyHandle();
}

void TWinControl::SetFocus() {
  Form().SetActiveControl(this);
}

bool TWinControl::Focused() { return Form().ActiveControl() == this; }

void TWinControl::PaintGraphicChildren(TCanvas& canvas) {
  int ox = canvas.OriginX(), oy = canvas.OriginY();
  TRect clip = canvas.Clip();
  for (TControl* c : controls_) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->Visible()) continue;
    canvas.SetOrigin(ox + c->Left(), oy + c->Top());
    canvas.SetClip(IntersectRect(clip, Bounds(ox + c->Left(), oy + c->Top(), c->Width(), c->Height())));
    canvas.font = c->Font();
    g->Paint(canvas);
  }
  canvas.SetOrigin(ox, oy);
  canvas.SetClip(clip);
}

// ---- helpers

std::string StripMnemonic(const std::string& caption) {
  std::string r;
  for (size_t i = 0; i < caption.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(caption[i]);
    if (IsLeadByte(c) && i + 1 < caption.size()) {
      r += caption[i];
      r += caption[++i];
    } else if (c == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') r += caption[++i];
    } else {
      r += caption[i];
    }
  }
  return r;
}

char MnemonicOf(const std::string& caption) {
  for (size_t i = 0; i < caption.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(caption[i]);
    if (IsLeadByte(c)) {
      ++i;
    } else if (c == '&' && i + 1 < caption.size()) {
      if (caption[i + 1] == '&') {
        ++i;
        continue;
      }
      unsigned char m = static_cast<unsigned char>(caption[i + 1]);
      if (IsLeadByte(m)) return 0;
      return static_cast<char>(m >= 'a' && m <= 'z' ? m - 32 : m);
    }
  }
  return 0;
}

std::string LimitChars(const std::string& text, int maxChars) {
  if (maxChars <= 0) return text;
  size_t i = 0;
  int chars = 0;
  while (i < text.size() && chars < maxChars) {
    i += (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    ++chars;
  }
  return text.substr(0, i);
}

// ---- TButton

TButton::TButton(TWinControl& parent, const std::string& name) : TWinControl(parent, name) {
  SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool v) {
  if (v == default_) return;
  if (v)
    for (TComponent* c : Form().Components())
      if (auto* b = dynamic_cast<TButton*>(c); b && b != this && b->default_) b->SetDefault(false);
  default_ = v;
  Changed(TProp::Default);
}

void TButton::Click() {
  if (modalResult_ != mrNone) Form().SetModalResult(modalResult_);
  TControl::Click();
}

// ---- TCheckBox, TRadioButton

TCheckBox::TCheckBox(TWinControl& parent, const std::string& name) : TWinControl(parent, name) {
  SetBounds(0, 0, 97, 17);
}

void TCheckBox::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  Changed(TProp::Checked);
  Click();
}

TRadioButton::TRadioButton(TWinControl& parent, const std::string& name) : TWinControl(parent, name) {
  SetBounds(0, 0, 113, 17);
}

void TRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  Changed(TProp::Checked);
  if (!v) return;
  for (TControl* c : Parent()->Controls())
    if (auto* r = dynamic_cast<TRadioButton*>(c); r && r != this) r->SetChecked(false);
  Click();
}

// ---- TLabel

TLabel::TLabel(TWinControl& parent, const std::string& name) : TGraphicControl(parent, name) {
  SetBounds(0, 0, 0, Font().height);
}

void TLabel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}

void TLabel::SetAutoSize(bool v) {
  autoSize_ = v;
  AdjustBounds();
}

void TLabel::SetTransparent(bool v) {
  transparent_ = v;
  Invalidate();
}

void TLabel::TextChanged() { AdjustBounds(); }

void TLabel::AdjustBounds() {
  if (!autoSize_) return;
  TSize ext = Application().backend().TextExtent(Font(), Caption());
  int height = std::max(ext.cy, Font().height);
  int left = Left();
  if (alignment_ == TAlignment::taRightJustify) left = Left() + Width() - ext.cx;
  SetBounds(left, Top(), ext.cx, height);
}

void TLabel::Paint(TCanvas& canvas) {
  if (!transparent_) canvas.FillRect(ClientRect(), Color());
  TSize ext = canvas.TextExtent(Caption());
  int x = 0;
  if (alignment_ == TAlignment::taRightJustify) x = Width() - ext.cx;
  else if (alignment_ == TAlignment::taCenter) x = (Width() - ext.cx) / 2;
  if (!EffectivelyEnabled()) canvas.font.color = clGrayText;
  canvas.TextOut(x, 0, Caption(), ClientRect());
}

// ---- TEdit, TRichEdit

TEdit::TEdit(TWinControl& parent, const std::string& name) : TWinControl(parent, name) {
  SetColor(clWindow);
  SetBounds(0, 0, 121, 20);
}

void TEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  Changed(TProp::ReadOnly);
}

void TEdit::SetMaxLength(int v) {
  maxLength_ = std::max(v, 0);
  Changed(TProp::MaxLength);
}

void TEdit::UserType(const std::string& text) { SetText(LimitChars(text, maxLength_)); }

void TEdit::TextChanged() {
  if (OnChange) OnChange(*this);
}

TRichEdit::TRichEdit(TWinControl& parent, const std::string& name) : TWinControl(parent, name) {
  SetColor(clWindow);
  SetBounds(0, 0, 185, 89);
}

void TRichEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  Changed(TProp::ReadOnly);
}

void TRichEdit::SetMaxLength(int v) {
  maxLength_ = std::max(v, 0);
  Changed(TProp::MaxLength);
  TextChanged();
}

void TRichEdit::TextChanged() {
  std::string limited = LimitChars(Text(), maxLength_);
  if (limited.size() != Text().size()) SetText(limited);
}

// ---- TNotebook

TPage::TPage(TNotebook& notebook, const std::string& name) : TWinControl(notebook, name) {
  SetTabStop(false);
  SetAlign(TAlign::alClient);
}

TNotebook::TNotebook(TWinControl& parent, const std::string& name, const std::vector<std::string>& pageNames)
    : TWinControl(parent, name) {
  SetTabStop(false);
  SetBounds(0, 0, 150, 150);
  for (const std::string& page : pageNames) {
    pages_.push_back(std::make_unique<TPage>(*this, page));
    if (pages_.size() > 1) pages_.back()->SetVisible(false);
  }
}

TNotebook::~TNotebook() {
  // Pages go first, children of the notebook, while it is still whole.
  while (!pages_.empty()) pages_.pop_back();
}

TPage& TNotebook::Page(const std::string& name) {
  int i = IndexOfPage(name);
  if (i < 0) throw EZarnError(Format("ページ %s はありません", name));
  return *pages_[static_cast<size_t>(i)];
}

int TNotebook::IndexOfPage(const std::string& name) const {
  for (size_t i = 0; i < pages_.size(); ++i)
    if (SameText(pages_[i]->Name(), name)) return static_cast<int>(i);
  return -1;
}

std::string TNotebook::ActivePage() const {
  if (pageIndex_ < 0 || pageIndex_ >= PageCount()) return "";
  return pages_[static_cast<size_t>(pageIndex_)]->Name();
}

void TNotebook::SetPageIndex(int index) {
  if (index < 0 || index >= PageCount()) throw EZarnError(Format("ページ %d はありません", index));
  if (index == pageIndex_) return;
  // Show the new page before hiding the old one, so the area never flashes empty.
  pages_[static_cast<size_t>(index)]->SetVisible(true);
  if (pageIndex_ >= 0 && pageIndex_ < PageCount()) pages_[static_cast<size_t>(pageIndex_)]->SetVisible(false);
  pageIndex_ = index;
  if (OnPageChanged) OnPageChanged(*this);
}

void TNotebook::SetActivePage(const std::string& name) {
  int i = IndexOfPage(name);
  if (i < 0) throw EZarnError(Format("ページ %s はありません", name));
  SetPageIndex(i);
}

void TNotebook::SetBounds(int left, int top, int width, int height) {
  TWinControl::SetBounds(left, top, width, height);
}

// ---- TProgressBar

TProgressBar::TProgressBar(TWinControl& parent, const std::string& name) : TWinControl(parent, name) {
  SetTabStop(false);
  SetBounds(0, 0, 150, 16);
}

void TProgressBar::SetRange(int min, int max) {
  if (max < min) std::swap(min, max);
  min_ = min, max_ = max;
  Changed(TProp::Range);
  SetPosition(position_);
}

void TProgressBar::SetPosition(int position) {
  position = std::min(std::max(position, min_), max_);
  if (position == position_) return;
  position_ = position;
  Changed(TProp::Position);
}

// ---- TBevel

TBevel::TBevel(TWinControl& parent, const std::string& name) : TGraphicControl(parent, name) {
  SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape s) {
  shape_ = s;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle s) {
  style_ = s;
  Invalidate();
}

void TBevel::Paint(TCanvas& canvas) {
  TColor dark = clBtnShadow, light = clBtnHighlight;
  if (style_ == TBevelStyle::bsRaised) std::swap(dark, light);
  int w = Width(), h = Height();
  switch (shape_) {
    case TBevelShape::bsBox:
      canvas.Frame3D(ClientRect(), dark, light);
      break;
    case TBevelShape::bsFrame:
      canvas.FrameRect({0, 0, w - 1, h - 1}, dark);
      canvas.FrameRect({1, 1, w, h}, light);
      break;
    case TBevelShape::bsTopLine:
      canvas.FillRect({0, 0, w, 1}, dark);
      canvas.FillRect({0, 1, w, 2}, light);
      break;
    case TBevelShape::bsBottomLine:
      canvas.FillRect({0, h - 2, w, h - 1}, dark);
      canvas.FillRect({0, h - 1, w, h}, light);
      break;
    case TBevelShape::bsLeftLine:
      canvas.FillRect({0, 0, 1, h}, dark);
      canvas.FillRect({1, 0, 2, h}, light);
      break;
    case TBevelShape::bsRightLine:
      canvas.FillRect({w - 2, 0, w - 1, h}, dark);
      canvas.FillRect({w - 1, 0, w, h}, light);
      break;
  }
}

// ---- TDriveComboBox

TDriveComboBox::TDriveComboBox(TWinControl& parent, const std::string& name) : TWinControl(parent, name) {
  SetColor(clWindow);
  SetBounds(0, 0, 145, 18);
}

void TDriveComboBox::Refresh() {
  Platform& platform = Application().platform();
  letters_.clear();
  items_.clear();
  uint32_t drives = platform.LogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    char letter = static_cast<char>('A' + i);
    std::string root = std::string(1, letter) + ":\\";
    std::string item = std::string(1, static_cast<char>('a' + i)) + ":";
    // Only drives that answer at once are asked for their label (no spinning media).
    uint32_t type = platform.DriveType(root);
    if (type == dtFixed || type == dtRemote || type == dtRamDisk) {
      std::string label = platform.VolumeLabel(root);
      if (!label.empty()) item += " [" + label + "]";
    }
    letters_.push_back(letter);
    items_.push_back(item);
  }
  filled_ = true;
  if (drive_ == 0 && !letters_.empty()) {
    std::string current = platform.GetCurrentDirectory();
    char c = current.empty() ? 0 : static_cast<char>(toupper(static_cast<unsigned char>(current[0])));
    drive_ = std::find(letters_.begin(), letters_.end(), c) != letters_.end() ? c : letters_.front();
  }
  Changed(TProp::Items);
}

const std::vector<std::string>& TDriveComboBox::Items() {
  if (!filled_) Refresh();
  return items_;
}

int TDriveComboBox::ItemIndex() {
  if (!filled_) Refresh();
  auto it = std::find(letters_.begin(), letters_.end(), drive_);
  return it == letters_.end() ? -1 : static_cast<int>(it - letters_.begin());
}

void TDriveComboBox::SetDrive(char letter) {
  letter = static_cast<char>(toupper(static_cast<unsigned char>(letter)));
  if (!filled_) Refresh();
  if (std::find(letters_.begin(), letters_.end(), letter) == letters_.end())
    throw EZarnError(Format("ドライブ %s: はありません", std::string(1, letter)));
  if (dirList_) {
    dirList_->SetDrive(letter);  // throws when the drive cannot be entered
    if (drive_ == letter) return;  // the list's move has already reported it
  }
  if (letter == drive_) return;
  drive_ = letter;
  Changed(TProp::ItemIndex);
  if (OnChange) OnChange(*this);
}

void TDriveComboBox::FollowList(char letter) {
  letter = static_cast<char>(toupper(static_cast<unsigned char>(letter)));
  if (letter == drive_) return;
  if (!filled_) Refresh();
  drive_ = letter;
  Changed(TProp::ItemIndex);
  if (OnChange) OnChange(*this);
}

// Unlinks the directory list, so a list that outlives the combo box never reaches it.
TDriveComboBox::~TDriveComboBox() {
  if (dirList_ && dirList_->driveCombo_ == this) dirList_->driveCombo_ = nullptr;
}

void TDriveComboBox::SetDirList(TDirectoryListBox* list) {
  if (dirList_ && dirList_->driveCombo_ == this) dirList_->driveCombo_ = nullptr;
  dirList_ = list;
  if (list) {
    list->driveCombo_ = this;
    if (list->Drive()) FollowList(list->Drive());
  }
}

// ---- TDirectoryListBox

namespace {
std::string NormalizeFolder(std::string path) {
  if (path.size() == 2 && path[1] == ':') return path + "\\";
  while (path.size() > 3 && EndsWithDelimiter(path, '\\')) path.pop_back();
  return path;
}
}  // namespace

TDirectoryListBox::TDirectoryListBox(TWinControl& parent, const std::string& name) : TWinControl(parent, name) {
  SetColor(clWindow);
  SetBounds(0, 0, 145, 97);
}

TDirectoryListBox::~TDirectoryListBox() {
  if (driveCombo_ && driveCombo_->dirList_ == this) driveCombo_->dirList_ = nullptr;
}

void TDirectoryListBox::SetDirectory(const std::string& path) {
  Platform& platform = Application().platform();
  std::string target = NormalizeFolder(path);
  if (target.empty() || !platform.SetCurrentDirectory(target))
    throw EZarnError(Format("フォルダ %s を開けません", path));
  std::string now = NormalizeFolder(platform.GetCurrentDirectory());
  if (now.empty()) now = target;
  if (now.size() >= 2 && now[1] == ':') now[0] = static_cast<char>(toupper(static_cast<unsigned char>(now[0])));
  bool changed = now != directory_;
  directory_ = now;
  BuildList();
  if (!changed) return;
  if (OnChange) OnChange(*this);
  if (driveCombo_ && Drive()) driveCombo_->FollowList(Drive());
}

void TDirectoryListBox::SetDrive(char letter) {
  letter = static_cast<char>(toupper(static_cast<unsigned char>(letter)));
  if (Drive() && toupper(static_cast<unsigned char>(Drive())) == letter) return;
  SetDirectory(std::string(1, letter) + ":\\");
}

void TDirectoryListBox::BuildList() {
  items_.clear();
  paths_.clear();
  // The chain from the root down to the current folder.
  std::vector<std::string> parts = SplitDelimited(directory_, '\\');
  if (!parts.empty() && parts.back().empty()) parts.pop_back();
  std::string path;
  std::string indent;
  for (size_t i = 0; i < parts.size(); ++i) {
    path += parts[i];
    if (i == 0) path += "\\";
    items_.push_back(indent + (i == 0 ? LowerCase(path) : parts[i]));
    paths_.push_back(NormalizeFolder(path));
    if (i > 0) path += "\\";
    indent += "  ";
  }
  currentIndex_ = static_cast<int>(items_.size()) - 1;
  // Then the subfolders of the current folder.
  std::vector<DirEntry> entries;
  std::vector<std::string> subfolders;
  if (Application().platform().ListDirectory(directory_, entries))
    for (const DirEntry& e : entries)
      if ((e.attributes & faDirectory) && e.name != "." && e.name != "..") subfolders.push_back(e.name);
  std::sort(subfolders.begin(), subfolders.end(),
            [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
  std::string base = EndsWithDelimiter(directory_, '\\') ? directory_ : directory_ + "\\";
  for (const std::string& name : subfolders) {
    items_.push_back(indent + name);
    paths_.push_back(base + name);
  }
  Changed(TProp::Items);
}

std::string TDirectoryListBox::ItemPath(int index) const { return paths_.at(static_cast<size_t>(index)); }

void TDirectoryListBox::OpenItem(int index) { SetDirectory(ItemPath(index)); }

}  // namespace zarn
