#include "archive/named_collection.h"

#include <algorithm>

#include "runtime/error.h"
#include "runtime/sjis.h"

namespace zarn {

namespace {

inline unsigned char FoldByte(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

}  // namespace

// Both functions fold as the runtime's LowerCase does (ASCII letters, never the second
// byte of a double-byte character) without building folded copies: lookups run them for
// every item of a chain.
int HashOf(const std::string& name) {
  const size_t n = name.size();
  uint32_t h = static_cast<uint32_t>(n) * 16u;
  if (n >= 2) {
    const size_t at = n - 2;
    bool trail = false;
    for (size_t i = 0; i <= at; ++i) {
      if (IsLeadByte(static_cast<unsigned char>(name[i]))) {
        if (i + 1 == at) trail = true;
        ++i;
      }
    }
    unsigned char c = static_cast<unsigned char>(name[at]);
    h += (trail ? c : FoldByte(c)) + FoldByte(static_cast<unsigned char>(name[0]));
  }
  return static_cast<int>(h & 255u);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(x)) {
      // Lead bytes are no letters, and a trail byte is compared as it is.
      if (x != y) return false;
      if (++i < a.size() && a[i] != b[i]) return false;
      continue;
    }
    if (FoldByte(x) != FoldByte(y)) return false;
  }
  return true;
}

size_t THashCollection::FoldedHash::operator()(std::string_view name) const {
  // FNV-1a over the bytes as SameName compares them: letters folded, trail bytes as they are.
  uint64_t h = 14695981039346656037ull;
  auto mix = [&h](unsigned char c) { h = (h ^ c) * 1099511628211ull; };
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(c)) {
      mix(c);
      if (++i < name.size()) mix(static_cast<unsigned char>(name[i]));
      continue;
    }
    mix(FoldByte(c));
  }
  return static_cast<size_t>(h);
}

// ---- THashCollectionItem

THashCollectionItem::THashCollectionItem(THashCollection& collection) : THashCollectionItem(collection, {}) {}

THashCollectionItem::THashCollectionItem(THashCollection& collection, std::string name)
    : collection_(collection), name_(std::move(name)) {
  cachedIndex_ = collection.Count();
  collection.items_.push_back(this);
  Link();
}

namespace {
// The index of an item whose collection is freeing every item at once.
constexpr int kCleared = -2;
}  // namespace

THashCollectionItem::~THashCollectionItem() {
  if (cachedIndex_ == kCleared) return;  // the collection dropped its chains and index already
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
  auto added = collection_.byName_.emplace(std::string_view(name_), this);
  if (!added.second) {
    THashCollectionItem* same = added.first->second;
    same->samePrev_ = this;
    sameNext_ = same;
    collection_.SetHead(added.first, this);
  }
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
  if (samePrev_) {
    samePrev_->sameNext_ = sameNext_;
    if (sameNext_) sameNext_->samePrev_ = samePrev_;
  } else {
    auto it = collection_.byName_.find(std::string_view(name_));
    if (it != collection_.byName_.end() && it->second == this) {
      if (sameNext_) {
        sameNext_->samePrev_ = nullptr;
        collection_.SetHead(it, sameNext_);
      } else {
        collection_.byName_.erase(it);
      }
    }
  }
  samePrev_ = nullptr;
  sameNext_ = nullptr;
}

void THashCollectionItem::SetName(const std::string& value) {
  if (value == name_) return;
  Unlink();  // under the old name, so its index entry is found
  name_ = value;
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

void THashCollection::SetHead(NameIndex::iterator it, THashCollectionItem* item) {
  // The key must stay the head's own name: the item it was taken from may go first.
  auto node = byName_.extract(it);
  node.key() = std::string_view(item->name_);
  node.mapped() = item;
  byName_.insert(std::move(node));
}

void THashCollection::Reserve(int count) {
  if (count <= 0) return;
  items_.reserve(static_cast<size_t>(count));
  byName_.reserve(static_cast<size_t>(count));
}

int THashCollection::IndexOf(const std::string& name) const {
  auto it = byName_.find(std::string_view(name));
  return it == byName_.end() ? -1 : it->second->cachedIndex_;
}

int THashCollection::IndexOfByChain(const std::string& name) const {
  for (THashCollectionItem* p = heads_[static_cast<size_t>(HashOf(name))]; p; p = p->next_)
    if (SameName(p->name_, name)) return p->cachedIndex_;
  return -1;
}

void THashCollection::Clear() {
  // Every item goes, so the chains and the name index go at once rather than one item at
  // a time; the items are still freed from the last to the first.
  std::vector<THashCollectionItem*> items;
  items.swap(items_);
  heads_.fill(nullptr);
  byName_.clear();
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    (*it)->cachedIndex_ = kCleared;
    delete *it;
  }
}

void THashCollection::Delete(int index) { delete Item(index); }

}  // namespace zarn
