#include "runtime/string_list.h"

#include "runtime/sjis.h"

namespace zarn {

namespace {
// Lists up to this long are searched one string after the other.
constexpr size_t kIndexFrom = 32;
}  // namespace

int TStringList::Add(const std::string& s) {
  items_.push_back(s);
  int i = Count() - 1;
  if (indexed_) index_.emplace(LowerCase(s), i);  // an earlier equal string stays first
  return i;
}

int TStringList::IndexOf(const std::string& s) const {
  if (items_.size() < kIndexFrom) {
    for (size_t i = 0; i < items_.size(); ++i)
      if (SameText(items_[i], s)) return static_cast<int>(i);
    return -1;
  }
  if (!indexed_) {
    index_.clear();
    index_.reserve(items_.size());
    for (size_t i = 0; i < items_.size(); ++i) index_.emplace(LowerCase(items_[i]), static_cast<int>(i));
    indexed_ = true;
  }
  auto it = index_.find(LowerCase(s));
  return it == index_.end() ? -1 : it->second;
}

int TStringList::IndexOfExact(const std::string& s) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i] == s) return static_cast<int>(i);
  return -1;
}

std::string TStringList::Text() const {
  std::string t;
  for (const auto& s : items_) t += s + "\r\n";
  return t;
}

void TStringList::SetText(const std::string& text) {
  DropIndex();
  items_.clear();
  std::string cur;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      items_.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) items_.push_back(cur);
}

}  // namespace zarn
