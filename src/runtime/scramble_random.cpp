#include "runtime/scramble_random.h"

#include "runtime/error.h"

namespace zarn {

void TQxRandom::FillPool(int32_t n) {
  poolSize_ = n;
  pool_.clear();
  if (n <= 0) return;
  pool_.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) pool_.push_back(i);
}

int32_t TQxRandom::NextFromPool() {
  if (pool_.empty()) throw EZarnError("乱数プールが空です");
  state_ = state_ * 5u + seed_;
  size_t k = state_ % static_cast<uint32_t>(pool_.size());
  int32_t v = pool_[k];
  pool_.erase(pool_.begin() + static_cast<std::ptrdiff_t>(k));
  return v;
}

}  // namespace zarn
