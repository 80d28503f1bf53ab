#include "progress.h"

#include <chrono>

#include "common/console.h"

namespace zarn {
namespace arc {

namespace {
int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

Progress::Progress(std::FILE* out) : out_(out), enabled_(IsTerminal(out)) {}

void Progress::Show(int64_t done, int64_t total, const std::string& item) {
  if (!enabled_) return;
  int64_t now = NowMs();
  if (lastDraw_ >= 0 && now - lastDraw_ < 100) return;
  lastDraw_ = now;
  const int kWidth = 30;
  int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
  if (percent > 100) percent = 100;
  int filled = percent * kWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kWidth - filled), '.');
  // Keep the line short enough for a narrow terminal: the item's last 40 bytes at most,
  // cut at a UTF-8 character boundary.
  std::string shown = item;
  if (shown.size() > 40) {
    size_t cut = shown.size() - 40;
    while (cut < shown.size() && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) ++cut;
    shown = "..." + shown.substr(cut);
  }
  std::fprintf(out_, "\r\x1b[K[%s] %3d%% %s", bar.c_str(), percent, shown.c_str());
  std::fflush(out_);
  drawn_ = true;
}

void Progress::Done() {
  if (!enabled_ || !drawn_) return;
  std::fprintf(out_, "\r\x1b[K");
  std::fflush(out_);
  drawn_ = false;
  lastDraw_ = -1;
}

}  // namespace arc
}  // namespace zarn
