#include "runtime/zlib_streams.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>

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

// The one inflate loop, fed in pieces as the archive feeds it: every ending is told apart,
// and the limit holds to the byte.
TEST(ZStreams, InflateBlocksInPiecesAndItsEndings) {
  std::string text;
  for (int i = 0; i < 300000; ++i) text += char('a' + (i * 7 + i / 13) % 26);
  TMemoryStream m;
  m.Assign(text);
  CompressStream(m);
  const std::string packed = m.ToString();
  auto run = [&](const std::string& input, int64_t piece, int64_t limit, std::string& out) {
    size_t at = 0;
    out.clear();
    return InflateBlocks(
        [&](const uint8_t*& data) -> int64_t {
          int64_t n = std::min<int64_t>(piece, int64_t(input.size() - at));
          data = reinterpret_cast<const uint8_t*>(input.data()) + at;
          at += size_t(n);
          return n;
        },
        [&](const uint8_t* block, int64_t size) { out.append(reinterpret_cast<const char*>(block), size_t(size)); },
        limit);
  };
  std::string damaged = packed;
  damaged.back() = char(damaged.back() ^ 0x55);  // the checksum: every byte inflates, then it fails
  const int64_t whole = int64_t(text.size());
  struct Case {
    const char* what;
    std::string input;
    int64_t piece, limit;
    InflateEnd end;
  };
  const Case cases[] = {
      {"byte by byte", packed, 1, whole, InflateEnd::Complete},
      {"one piece", packed, int64_t(packed.size()), whole, InflateEnd::Complete},
      {"one byte over the limit", packed, 4096, whole - 1, InflateEnd::TooLarge},
      {"cut short", packed.substr(0, packed.size() - 3), 4096, whole, InflateEnd::Truncated},
      {"no input", "", 4096, whole, InflateEnd::Truncated},
      {"damaged", damaged, 4096, whole, InflateEnd::Damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string out;
    EXPECT_EQ(run(c.input, c.piece, c.limit, out), c.end);
    if (c.end == InflateEnd::Complete) {
      EXPECT_EQ(out, text);
    }
    EXPECT_LE(int64_t(out.size()), c.limit);
  }
}

}  // namespace
}  // namespace zarn
