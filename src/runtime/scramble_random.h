// TQxRandom: the small deterministic generator that scrambles archive directories and
// the rows and tiles of layered images. Writer and reader draw the same sequence from
// the same seed, so its arithmetic is part of both file formats.
#pragma once

#include <cstdint>
#include <vector>

namespace zarn {

class TQxRandom {
 public:
  explicit TQxRandom(int32_t seed) : seed_(static_cast<uint32_t>(seed)) {}

  // State := State * 5 + Seed (mod 2^32); returns the new state as a signed value.
  int32_t Next() {
    state_ = state_ * 5u + seed_;
    return static_cast<int32_t>(state_);
  }
  // Pool := 0 .. n-1.
  void FillPool(int32_t n);
  // Advances the state and removes and returns the pool value at State mod (values left).
  // Raises EZarnError on an empty pool.
  int32_t NextFromPool();
  int32_t PoolLeft() const { return static_cast<int32_t>(pool_.size()); }
  uint32_t State() const { return state_; }

 private:
  uint32_t seed_;
  uint32_t state_ = 0;
  std::vector<int32_t> pool_;
  int32_t poolSize_ = 0;
};

}  // namespace zarn
