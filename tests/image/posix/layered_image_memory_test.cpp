// Peak memory of reading layered pictures: a short stream cannot claim much memory, even
// when every frame it names is a legal picture.
#include <gtest/gtest.h>

#include "common/layered_image_writer.h"
#include "image/layered_image.h"
#include "support/posix/memory_limit.h"

namespace zarn {
namespace {

using testing::WithMemoryLimit;

std::string Read(const std::string& bytes, bool firstFrameOnly) {
  TBrimFrameList list(0);
  TMemoryStream m;
  m.Assign(bytes);
  list.LoadFromStream(m, firstFrameOnly, false, false);
  return "read " + std::to_string(list.Count()) + " frames";
}

TEST(BrimMemory, ManyEmptyFramesStopBeforeMemoryIsExhausted) {
  if (!testing::kMemoryLimitsWork) GTEST_SKIP() << "no address-space limit under the sanitizers";
  // 3,000 frames of 1024 x 1024 at 24 bits without a layer: a legal picture of 9 GB from
  // about 120 KB.
  BrimPlan plan;
  FrameSource empty;
  empty.width = 1024;
  empty.height = 1024;
  plan.frames.assign(3000, empty);
  std::string bytes = BrimWriter::Write(plan);
  ASSERT_LT(bytes.size(), 200000u);
  const int64_t limit = int64_t(320) << 20;
  EXPECT_EQ(WithMemoryLimit(limit, [&] { return Read(bytes, false); }), "exception: 画像が大きすぎます");
  // The first frame alone, as the installer reads its background, is still read.
  EXPECT_EQ(WithMemoryLimit(limit, [&] { return Read(bytes, true); }), "read 1 frames");
  // A few such frames are what a short stream can carry.
  plan.frames.resize(10);
  std::string ten = BrimWriter::Write(plan);
  EXPECT_EQ(WithMemoryLimit(limit, [&] { return Read(ten, false); }), "read 10 frames");
}

}  // namespace
}  // namespace zarn
