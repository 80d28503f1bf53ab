#include "settings/zlib_streams.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "runtime/error.h"

namespace zarn {
namespace {

TEST(ZStreams, RoundTripAndFormat) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "zarn " + std::to_string(i % 37);
  TMemoryStream m;
  m.Assign(text);
  CompressStream(m);
  EXPECT_EQ(m.Position(), m.Size());
  ASSERT_GE(m.Size(), 6);
  EXPECT_EQ(m.Memory()[0], 0x78);  // zlib header
  EXPECT_EQ(m.Memory()[1], 0x01);  // level 1 (fastest)
  EXPECT_LT(m.Size(), static_cast<int64_t>(text.size()));
  DecompressStream(m);
  EXPECT_EQ(m.Position(), 0);
  EXPECT_EQ(m.ToString(), text);
}

TEST(ZStreams, EmptyAndLargeOutputAcrossBlocks) {
  TMemoryStream m;
  CompressStream(m);
  DecompressStream(m);
  EXPECT_EQ(m.Size(), 0);
  std::string big(2500000, 'x');  // inflates through three blocks
  m.Assign(big);
  CompressStream(m);
  DecompressStream(m);
  EXPECT_EQ(m.ToString(), big);
}

TEST(ZStreams, DamagedDataRaises) {
  TMemoryStream m;
  m.Assign(std::string(100, 'a'));
  CompressStream(m);
  std::string packed = m.ToString();
  // Truncated at every length: an error, never a hang or a silent success.
  for (size_t n = 0; n + 1 < packed.size(); ++n) {
    TMemoryStream t;
    t.Assign(packed.substr(0, n));
    EXPECT_THROW(DecompressStream(t), EZarnError) << n;
  }
  TMemoryStream junk;
  junk.Assign("not zlib at all");
  EXPECT_THROW(DecompressStream(junk), EZlibError);
}

TEST(ZStreams, InflationBombIsCapped) {
  TMemoryStream m;
  m.Assign(std::string(3000000, '\0'));
  CompressStream(m);
  EXPECT_THROW(DecompressStream(m, 1000000), EFormatError);
}

}  // namespace
}  // namespace zarn
