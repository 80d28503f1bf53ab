// A one-line progress bar on standard error, drawn only when that is a terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace zarn {
namespace arc {

class Progress {
 public:
  explicit Progress(std::FILE* out);
  ~Progress() { Done(); }
  // Shows `done` of `total` bytes and the item at hand; redrawn at most every 100 ms.
  void Show(int64_t done, int64_t total, const std::string& item);
  // Clears the line.
  void Done();
  bool Enabled() const { return enabled_; }

 private:
  std::FILE* out_;
  bool enabled_;
  bool drawn_ = false;
  int64_t lastDraw_ = -1;
};

}  // namespace arc
}  // namespace zarn
