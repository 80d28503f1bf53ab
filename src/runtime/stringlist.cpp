#include "runtime/stringlist.h"

#include "runtime/sjis.h"

namespace zarn {

int TStringList::IndexOf(const std::string& s) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameText(items_[i], s)) return static_cast<int>(i);
  return -1;
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
