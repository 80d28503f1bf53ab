#include "runtime/scramble_random.h"

#include <gtest/gtest.h>

#include "runtime/error.h"

namespace zarn {
namespace {

std::vector<int32_t> Draw(int32_t seed, int32_t n) {
  TQxRandom r(seed);
  r.FillPool(n);
  std::vector<int32_t> v;
  for (int32_t i = 0; i < n; ++i) v.push_back(r.NextFromPool());
  return v;
}

TEST(Rands, SequenceIsTheLinearRecurrence) {
  TQxRandom r(1);
  std::vector<int32_t> got;
  for (int i = 0; i < 6; ++i) got.push_back(r.Next());
  EXPECT_EQ(got, (std::vector<int32_t>{1, 6, 31, 156, 781, 3906}));
  // The state wraps modulo 2^32: k-th value is Seed * (5^k - 1) / 4.
  TQxRandom big(0x7FFFFFFF);
  uint32_t state = 0;
  for (int i = 0; i < 100; ++i) {
    state = state * 5u + 0x7FFFFFFFu;
    EXPECT_EQ(big.Next(), static_cast<int32_t>(state));
  }
}

TEST(Rands, PoolPermutations) {
  EXPECT_EQ(Draw(1, 3), (std::vector<int32_t>{1, 0, 2}));
  EXPECT_EQ(Draw(1, 5), (std::vector<int32_t>{1, 3, 2, 0, 4}));
  EXPECT_EQ(Draw(0, 4), (std::vector<int32_t>{0, 1, 2, 3}));
  // A negative seed takes the remainder on the unsigned state.
  auto p = Draw(-12345, 1000);
  std::vector<bool> seen(1000);
  for (int32_t v : p) {
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 1000);
    EXPECT_FALSE(seen[v]);
    seen[v] = true;
  }
}

TEST(Rands, NextAndPoolShareState) {
  TQxRandom r(1);
  r.FillPool(5);
  EXPECT_EQ(r.Next(), 1);
  // The pool draw takes the next state, 6; 6 mod 5 = 1.
  EXPECT_EQ(r.NextFromPool(), 1);
  EXPECT_EQ(r.State(), 6u);
  EXPECT_EQ(r.Next(), 31);
}

TEST(Rands, EmptyPoolIsAnError) {
  TQxRandom r(3);
  r.FillPool(1);
  r.NextFromPool();
  EXPECT_THROW(r.NextFromPool(), EZarnError);
}

}  // namespace
}  // namespace zarn
