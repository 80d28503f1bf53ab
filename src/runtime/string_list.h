// An ordered list of Shift-JIS strings.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace zarn {

class TStringList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& operator[](int i) const { return items_.at(static_cast<size_t>(i)); }
  std::string& operator[](int i) {
    DropIndex();  // the caller may change the string
    return items_.at(static_cast<size_t>(i));
  }
  int Add(const std::string& s);
  void Insert(int i, const std::string& s) {
    DropIndex();
    items_.insert(items_.begin() + i, s);
  }
  void Delete(int i) {
    DropIndex();
    items_.erase(items_.begin() + i);
  }
  void Clear() {
    DropIndex();
    items_.clear();
  }
  // First index of a string equal to `s` without regard to ASCII case; -1 if none. Long
  // lists answer from an index of their strings in lower case, built at the first lookup
  // and kept up to date by Add.
  int IndexOf(const std::string& s) const;
  // First index of a string equal to `s` byte for byte; -1 if none.
  int IndexOfExact(const std::string& s) const;
  // Lines joined with CR LF after each, as a text box or file shows them.
  std::string Text() const;
  // Replaces the content by the lines of `text` (CR LF, LF or CR ends a line).
  void SetText(const std::string& text);
  const std::vector<std::string>& Items() const { return items_; }
  bool operator==(const TStringList& o) const { return items_ == o.items_; }

  std::vector<std::string>::const_iterator begin() const { return items_.begin(); }
  std::vector<std::string>::const_iterator end() const { return items_.end(); }

 private:
  void DropIndex() {
    indexed_ = false;
    index_.clear();
  }

  std::vector<std::string> items_;
  mutable bool indexed_ = false;
  mutable std::unordered_map<std::string, int> index_;  // lower case -> first index
};

}  // namespace zarn
