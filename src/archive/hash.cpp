#include "archive/hash.h"

#include <algorithm>

#include "runtime/error.h"
#include "runtime/sjis.h"

namespace zarn {

int HashOf(const std::string& name) {
  std::string s = LowerCase(name);
  uint32_t h = static_cast<uint32_t>(s.size()) * 16u;
  if (s.size() >= 2)
    h += static_cast<unsigned char>(s[s.size() - 2]) + static_cast<unsigned char>(s[0]);
  return static_cast<int>(h & 255u);
}

// ---- THashCollectionItem

THashCollectionItem::THashCollectionItem(THashCollection& collection) : collection_(collection) {
  cachedIndex_ = collection.Count();
  collection.items_.push_back(this);
  Link();
}

THashCollectionItem::~THashCollectionItem() {
  auto& items = collection_.items_;
  for (size_t i = static_cast<size_t>(cachedIndex_) + 1; i < items.size(); ++i) items[i]->cachedIndex_--;
  Unlink();
  if (cachedIndex_ >= 0 && static_cast<size_t>(cachedIndex_) < items.size() && items[cachedIndex_] == this)
    items.erase(items.begin() + cachedIndex_);
}

void THashCollectionItem::Link() {
  bucket_ = HashOf(name_);
  THashCollectionItem*& head = collection_.heads_[static_cast<size_t>(bucket_)];
  if (head) {
    head->prev_ = this;
    next_ = head;
  }
  head = this;
}

void THashCollectionItem::Unlink() {
  if (prev_) {
    prev_->next_ = next_;
    if (next_) next_->prev_ = prev_;
  } else {
    collection_.heads_[static_cast<size_t>(bucket_)] = next_;
    if (next_) next_->prev_ = nullptr;
  }
  prev_ = nullptr;
  next_ = nullptr;
}

void THashCollectionItem::SetName(const std::string& value) {
  if (value == name_) return;
  name_ = value;
  Unlink();
  Link();
}

void THashCollectionItem::SetIndex(int index) {
  auto& items = collection_.items_;
  int count = static_cast<int>(items.size());
  if (index < 0) index = 0;
  if (index >= count) index = count - 1;
  int from = cachedIndex_;
  if (index == from) return;
  items.erase(items.begin() + from);
  items.insert(items.begin() + index, this);
  int lo = std::min(from, index), hi = std::max(from, index);
  for (int i = lo; i <= hi; ++i) items[static_cast<size_t>(i)]->cachedIndex_ = i;
}

// ---- THashCollection

THashCollection::~THashCollection() { Clear(); }

THashCollectionItem* THashCollection::Item(int index) const {
  if (index < 0 || index >= Count()) throw EZarnError(Format("リストのインデックスが範囲を超えています (%d)", index));
  return items_[static_cast<size_t>(index)];
}

int THashCollection::IndexOf(const std::string& name) const {
  for (THashCollectionItem* p = heads_[static_cast<size_t>(HashOf(name))]; p; p = p->next_)
    if (SameText(p->name_, name)) return p->cachedIndex_;
  return -1;
}

void THashCollection::Clear() {
  while (!items_.empty()) delete items_.back();
}

void THashCollection::Delete(int index) { delete Item(index); }

}  // namespace zarn
